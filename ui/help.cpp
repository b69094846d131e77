#include "ui/help.h"

#include <filesystem>
#include <system_error>

namespace qv::ui {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kTopicSeparator = "::/";

// Percent-encodes what a file URL path cannot hold as it is.
std::string urlPath(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '/' || c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    return out;
}

std::optional<fs::path> existingPage(const fs::path& folder, const std::string& page) {
    if (folder.empty()) return std::nullopt;
    fs::path p = folder / "docs" / "help" / page;
    std::error_code ec;
    if (!fs::is_regular_file(p, ec)) return std::nullopt;
    fs::path absolute = fs::absolute(p, ec);
    return ec ? p : absolute.lexically_normal();
}

}  // namespace

std::string HelpContext::defaultSourceFolder() {
#ifdef QV_SOURCE_DIR
    return QV_SOURCE_DIR;
#else
    return {};
#endif
}

std::string helpPagePath(std::string_view topic) {
    size_t at = topic.find(kTopicSeparator);
    if (at == std::string_view::npos) return "index.html";
    std::string page(topic.substr(at + kTopicSeparator.size()));
    return page.empty() ? "index.html" : page;
}

std::optional<std::string> helpPageUrl(const HelpContext& context, std::string_view topic) {
    std::string page = helpPagePath(topic);
    // A topic never leaves the help folder.
    for (const fs::path& part : fs::path(page))
        if (part == "..") return std::nullopt;
    std::optional<fs::path> found = existingPage(context.ProgramFolder, page);
    if (!found) found = existingPage(context.sourceFolder, page);
    if (!found) return std::nullopt;
    return "file://" + urlPath(found->string());
}

void ShowHelp(const HelpContext& context, std::string_view topic) {
    if (std::optional<std::string> url = helpPageUrl(context, topic)) context.desktop.open(*url);
}

}  // namespace qv::ui
