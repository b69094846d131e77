#include "platform/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "platform/names.h"

namespace qv::platform {

namespace fs = std::filesystem;

namespace {


bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

struct Line {
    enum class Kind { Section, Pair, Blank, Other };
    Kind kind = Kind::Other;
    std::string raw;    // without its line end
    std::string end;    // its own line end as read ("\r\n", "\n", or none for a last line)
    std::string name;   // section name or key, trimmed
    std::string value;  // Pair: the text after '=', trimmed, quotes kept
};

Line parseLine(std::string_view raw) {
    Line line;
    line.raw = std::string(raw);
    std::string_view t = trim(raw);
    if (t.empty()) {
        line.kind = Line::Kind::Blank;
    } else if (t.front() == ';') {
        line.kind = Line::Kind::Other;
    } else if (t.front() == '[') {
        size_t close = t.find(']');
        if (close != std::string_view::npos) {
            line.kind = Line::Kind::Section;
            line.name = std::string(trim(t.substr(1, close - 1)));
        }
    } else if (size_t eq = t.find('='); eq != std::string_view::npos) {
        std::string_view key = trim(t.substr(0, eq));
        if (!key.empty()) {
            line.kind = Line::Kind::Pair;
            line.name = std::string(key);
            line.value = std::string(trim(t.substr(eq + 1)));
        }
    }
    return line;
}

Line pairLine(const std::string& key, const std::string& value) {
    Line line;
    line.kind = Line::Kind::Pair;
    line.name = key;
    line.value = value;
    line.raw = key + "=" + value;
    return line;
}

bool hasLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}


// The first `chars` characters of UTF-8 text; a character is never split.
std::string firstChars(const std::string& s, size_t chars) {
    size_t i = 0;
    while (i < s.size() && chars > 0) {
        ++i;
        while (i < s.size() && (uint8_t(s[i]) & 0xC0) == 0x80) ++i;
        --chars;
    }
    return s.substr(0, i);
}

}  // namespace

struct ProfileDocument::Impl {
    std::string bom;  // a UTF-8 byte-order mark, kept as it was
    std::vector<Line> lines;
    // The file's own line end is kept. A new file gets \r\n, the line end of
    // the platform these files come from, so they read the same there.
    std::string eol = "\r\n";
    bool finalEol = true;

    std::optional<size_t> findSection(const std::string& section) const {
        for (size_t i = 0; i < lines.size(); ++i) {
            if (lines[i].kind == Line::Kind::Section && sameName(lines[i].name, section)) return i;
        }
        return std::nullopt;
    }

    size_t sectionEnd(size_t header) const {
        size_t i = header + 1;
        while (i < lines.size() && lines[i].kind != Line::Kind::Section) ++i;
        return i;
    }

    std::optional<size_t> findKey(size_t header, const std::string& key) const {
        size_t end = sectionEnd(header);
        for (size_t i = header + 1; i < end; ++i) {
            if (lines[i].kind == Line::Kind::Pair && sameName(lines[i].name, key)) return i;
        }
        return std::nullopt;
    }

    // New lines get the file's own line end; a last line that had none gets
    // one when a line is written after it.
    void insert(size_t at, Line line) {
        line.end = eol;
        if (at >= lines.size()) {
            if (!lines.empty() && lines.back().end.empty()) lines.back().end = eol;
            lines.push_back(std::move(line));
            finalEol = true;
        } else {
            lines.insert(lines.begin() + ptrdiff_t(at), std::move(line));
        }
    }
};

ProfileDocument::ProfileDocument() : impl_(std::make_unique<Impl>()) {}
ProfileDocument::~ProfileDocument() = default;
ProfileDocument::ProfileDocument(ProfileDocument&&) noexcept = default;
ProfileDocument& ProfileDocument::operator=(ProfileDocument&&) noexcept = default;

ProfileDocument ProfileDocument::fromText(const std::string& text) {
    ProfileDocument doc;
    Impl& impl = *doc.impl_;
    std::string_view rest = text;
    if (rest.substr(0, 3) == "\xEF\xBB\xBF") {
        impl.bom = std::string(rest.substr(0, 3));
        rest.remove_prefix(3);
    }
    size_t firstNl = rest.find('\n');
    if (firstNl != std::string_view::npos) {
        impl.eol = (firstNl > 0 && rest[firstNl - 1] == '\r') ? "\r\n" : "\n";
    }
    impl.finalEol = rest.empty() || rest.back() == '\n';
    while (!rest.empty()) {
        // Every line keeps its own line end, so lines we do not write come
        // back exactly as they were, whatever mixture of ends the file has.
        size_t nl = rest.find('\n');
        std::string_view line = rest.substr(0, nl);
        std::string end;
        if (nl != std::string_view::npos) {
            end = "\n";
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
                end = "\r\n";
            }
        }
        rest.remove_prefix(nl == std::string_view::npos ? rest.size() : nl + 1);
        Line parsed = parseLine(line);
        parsed.end = std::move(end);
        impl.lines.push_back(std::move(parsed));
    }
    return doc;
}

ProfileDocument ProfileDocument::load(const fs::path& path) {
    std::string text;
    if (readWholeFile(path, text) != ReadStatus::Ok) return ProfileDocument();
    return fromText(text);
}

std::string ProfileDocument::text() const {
    std::string out = impl_->bom;
    const auto& lines = impl_->lines;
    for (const Line& line : lines) {
        out += line.raw;
        out += line.end;
    }
    return out;
}

bool ProfileDocument::save(const fs::path& path) const {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            return false;
        }
        // A file nobody may write is read-only, for every user: the rename
        // below would otherwise replace it where its folder is writable.
        if ((st.st_mode & 0222) == 0) {
            errno = EACCES;
            return false;
        }
        if (::access(path.c_str(), W_OK) != 0) return false;
    }
    std::string data = text();
    std::span<const uint8_t> piece(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    const std::span<const uint8_t> pieces[] = {piece};
    return writeFileAtomically(path, pieces);
}

std::optional<std::string> ProfileDocument::get(const std::string& section,
                                                const std::string& key) const {
    auto header = impl_->findSection(section);
    if (!header) return std::nullopt;
    auto at = impl_->findKey(*header, key);
    if (!at) return std::nullopt;
    std::string value = impl_->lines[*at].value;
    // A value in double quotes is read without them.
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

void ProfileDocument::set(const std::string& section, const std::string& key,
                          const std::string& value) {
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value)) {
        throw std::invalid_argument("profile entry with a line break: " + key);
    }
    Impl& impl = *impl_;
    auto header = impl.findSection(section);
    if (!header) {
        if (!impl.lines.empty() && impl.lines.back().kind != Line::Kind::Blank) {
            impl.insert(impl.lines.size(), parseLine(""));
        }
        impl.insert(impl.lines.size(), parseLine("[" + section + "]"));
        impl.insert(impl.lines.size(), pairLine(key, value));
        return;
    }
    if (auto at = impl.findKey(*header, key)) {
        Line& line = impl.lines[*at];
        std::string end = line.end;
        line = pairLine(line.name, value);  // the key keeps its stored spelling
        line.end = end;
        return;
    }
    size_t end = impl.sectionEnd(*header);
    size_t after = *header + 1;
    for (size_t i = *header + 1; i < end; ++i) {
        if (impl.lines[i].kind == Line::Kind::Pair) after = i + 1;
    }
    impl.insert(after, pairLine(key, value));
}

int GetPrivateProfileIntW(const std::string& section, const std::string& key, int defaultValue,
                          const fs::path& path) {
    auto value = ProfileDocument::load(path).get(section, key);
    if (!value) return defaultValue;
    std::string_view s = *value;
    size_t i = 0;
    while (i < s.size() && isSpace(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    // Digits beyond 32 bits wrap around, so that an unsigned 32-bit value
    // written as such reads back as the same bits.
    uint32_t v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) v = v * 10 + uint32_t(s[i] - '0');
    if (negative) v = 0u - v;
    return int(v);
}

std::string GetPrivateProfileStringW(const std::string& section, const std::string& key,
                                     const std::string& defaultValue, size_t bufferChars,
                                     const fs::path& path) {
    if (bufferChars == 0) return {};
    auto value = ProfileDocument::load(path).get(section, key);
    return firstChars(value ? *value : defaultValue, bufferChars - 1);
}

bool WritePrivateProfileStringW(const std::string& section, const std::string& key,
                                const std::string& value, const fs::path& path) {
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(value)) {
        errno = EINVAL;
        return false;
    }
    std::string text;
    ProfileDocument doc;
    switch (readWholeFile(path, text)) {
        case ReadStatus::Failed:
            return false;  // never replace a file that could not be read
        case ReadStatus::Ok:
            doc = ProfileDocument::fromText(text);
            break;
        case ReadStatus::Missing:
            break;
    }
    doc.set(section, key, value);
    return doc.save(path);
}

}  // namespace qv::platform
