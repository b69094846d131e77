#include "cli/cli_helpers.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "support/test_support.h"

namespace qv::test {

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::filesystem::path> wmfFilesIn(const std::string& relativeDir,
                                              const std::string& exclude) {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(sourcePath(relativeDir), ec)) {
        const std::string name = e.path().filename().string();
        if (!e.is_regular_file() || e.path().extension() != ".wmf") continue;
        if (!exclude.empty() && name.size() >= exclude.size() &&
            name.compare(name.size() - exclude.size(), exclude.size(), exclude) == 0)
            continue;
        files.push_back(e.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::string offsetText(size_t offset) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%08zX", offset);
    return buf;
}

std::string shortHex(size_t value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%zX", value);
    return buf;
}

std::string testNameOf(const std::filesystem::path& path) {
    std::string name = path.parent_path().filename().string() + "_" + path.stem().string();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

std::vector<std::string> folderListing(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace qv::test
