// RegistryHive: the lines of a registry export file, with the values of the
// current user's keys reachable by key path and value name.
//
// Every line is kept. Key lines, REG_DWORD and REG_SZ value lines are
// understood; values of other types (hex:, hex(2):, ... possibly continued
// over lines ending in a backslash), keys of other roots, comments and lines
// that cannot be understood are written back exactly as they were read.
#include <cstdio>
#include <stdexcept>

#include "platform/registry.h"
#include "platform/names.h"
#include "platform/registry_encoding.h"

namespace qv::platform {

namespace {

constexpr const char* kHeader5 = "Windows Registry Editor Version 5.00";
constexpr const char* kHeader4 = "REGEDIT4";
constexpr const char* kCurrentUser = "HKEY_CURRENT_USER";


bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && (isBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    return s;
}

// "Software\\Talmund\\" and "Software\\Talmund" name the same key.
std::string normalizeKeyPath(std::string_view path) {
    while (!path.empty() && path.front() == '\\') path.remove_prefix(1);
    while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    return std::string(path);
}

// Reads a quoted string with the export's escapes (\\ and \") starting at
// s[pos] == '"'; on success pos is just past the closing quote.
std::optional<std::string> readQuoted(std::string_view s, size_t& pos) {
    if (pos >= s.size() || s[pos] != '"') return std::nullopt;
    std::string out;
    for (size_t i = pos + 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') {
            pos = i + 1;
            return out;
        }
        if (c == '\\') {
            if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) return std::nullopt;
            out += s[++i];
            continue;
        }
        out += c;
    }
    return std::nullopt;
}

std::string quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

std::optional<uint32_t> readDword(std::string_view s) {
    if (s.size() < 6 || !sameName(s.substr(0, 6), "dword:")) return std::nullopt;
    std::string_view digits = trimRight(s.substr(6));
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    uint32_t v = 0;
    for (char c : digits) {
        int d;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (lowerAscii(c) >= 'a' && lowerAscii(c) <= 'f') {
            d = lowerAscii(c) - 'a' + 10;
        } else {
            return std::nullopt;
        }
        v = v << 4 | uint32_t(d);
    }
    return v;
}

struct Entry {
    enum class Kind { Header, Blank, Comment, Key, Value, Verbatim };
    Kind kind = Kind::Verbatim;
    // The line as read (continuation lines joined by '\n') or as written.
    std::string raw;
    // Key lines: whether the key lies below the current user, and its path there.
    bool currentUser = false;
    std::string path;
    // Value lines: the name ("" for the default value, '@') and, for the two
    // types understood, the value; other types are kept in `raw` only.
    std::string name;
    std::optional<RegValue> value;
};

std::string valueLine(const std::string& name, const RegValue& value) {
    std::string line = name.empty() ? "@" : quote(name);
    line += '=';
    if (value.type == RegType::Dword) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", unsigned(value.dword));
        line += buf;
    } else {
        line += quote(value.text);
    }
    return line;
}

// `bracketed` is the line without surrounding blanks: "[...]".
Entry keyEntry(std::string_view line, std::string_view bracketed) {
    Entry e;
    e.kind = Entry::Kind::Key;
    e.raw = std::string(line);
    std::string_view inner = bracketed.substr(1, bracketed.size() - 2);
    // "[-HKEY_...]" removes a key on import; it names no key of ours.
    if (!inner.empty() && inner.front() == '-') return e;
    std::string_view root = inner.substr(0, inner.find('\\'));
    if (!sameName(root, kCurrentUser)) return e;
    e.currentUser = true;
    e.path = normalizeKeyPath(inner.substr(root.size()));
    return e;
}

// A value line: its name and, when it is a REG_DWORD or REG_SZ, its value.
// Sets `continued` when the value's data goes on in the next line.
std::optional<Entry> valueEntry(std::string_view line, bool& continued) {
    continued = false;
    Entry e;
    e.kind = Entry::Kind::Value;
    e.raw = std::string(line);
    std::string_view s = trimLeft(line);
    size_t pos = 0;
    if (!s.empty() && s[0] == '@') {
        pos = 1;
    } else {
        auto name = readQuoted(s, pos);
        if (!name) return std::nullopt;
        e.name = std::move(*name);
    }
    while (pos < s.size() && isBlank(s[pos])) ++pos;
    if (pos >= s.size() || s[pos] != '=') return std::nullopt;
    ++pos;
    while (pos < s.size() && isBlank(s[pos])) ++pos;
    std::string_view data = s.substr(pos);
    if (!data.empty() && data[0] == '"') {
        size_t end = 0;
        auto text = readQuoted(data, end);
        if (text && trimRight(data.substr(end)).empty()) e.value = RegValue::fromText(*text);
    } else if (auto dword = readDword(data)) {
        e.value = RegValue::fromDword(*dword);
    } else if (data.size() >= 3 && sameName(data.substr(0, 3), "hex")) {
        std::string_view t = trimRight(data);
        continued = !t.empty() && t.back() == '\\';
    }
    return e;
}

}  // namespace

struct RegistryHive::Impl {
    std::vector<Entry> entries;
    // Line end of the file read; a new hive uses the export files' \r\n.
    std::string eol = "\r\n";
    bool finalEol = true;

    // Index one past the last entry of the block that starts at key entry k.
    size_t blockEnd(size_t k) const {
        size_t i = k + 1;
        while (i < entries.size() && entries[i].kind != Entry::Kind::Key) ++i;
        return i;
    }

    bool isKey(size_t i, const std::string& path) const {
        return entries[i].kind == Entry::Kind::Key && entries[i].currentUser &&
               sameName(entries[i].path, path);
    }

    // The last key line naming `path` (a key may appear more than once; on
    // import the later lines win).
    std::optional<size_t> lastKey(const std::string& path) const {
        for (size_t i = entries.size(); i-- > 0;) {
            if (isKey(i, path)) return i;
        }
        return std::nullopt;
    }

    std::optional<size_t> lastValue(const std::string& path, const std::string& name) const {
        std::optional<size_t> found;
        bool inKey = false;
        for (size_t i = 0; i < entries.size(); ++i) {
            const Entry& e = entries[i];
            if (e.kind == Entry::Kind::Key) {
                inKey = isKey(i, path);
            } else if (inKey && e.kind == Entry::Kind::Value && sameName(e.name, name)) {
                found = i;
            }
        }
        return found;
    }

    // A value whose data goes on with a backslash at the very end of the file
    // would swallow the next line written after it: a blank line in between
    // ends it, as the format reads continuation lines.
    static bool dangles(const Entry& e) {
        std::string_view raw = e.raw;
        size_t nl = raw.rfind('\n');
        std::string_view last = trimRight(nl == std::string_view::npos ? raw : raw.substr(nl + 1));
        return e.kind != Entry::Kind::Comment && !last.empty() && last.back() == '\\';
    }
    void insertAt(size_t at, Entry e) {
        if (at > 0 && dangles(entries[at - 1])) {
            Entry blank;
            blank.kind = Entry::Kind::Blank;
            entries.insert(entries.begin() + ptrdiff_t(at), std::move(blank));
            ++at;
        }
        entries.insert(entries.begin() + ptrdiff_t(at), std::move(e));
    }
    void append(Entry e) {
        insertAt(entries.size(), std::move(e));
        finalEol = true;
    }
};

RegistryHive::RegistryHive() : impl_(std::make_unique<Impl>()) {
    Entry header;
    header.kind = Entry::Kind::Header;
    header.raw = kHeader5;
    impl_->entries.push_back(std::move(header));
    Entry blank;
    blank.kind = Entry::Kind::Blank;
    impl_->entries.push_back(std::move(blank));
}

RegistryHive::~RegistryHive() = default;
RegistryHive::RegistryHive(RegistryHive&&) noexcept = default;
RegistryHive& RegistryHive::operator=(RegistryHive&&) noexcept = default;

std::optional<RegistryHive> RegistryHive::parse(const std::string& bytes) {
    auto decoded = decodeHiveText(bytes);
    if (!decoded) return std::nullopt;
    const std::string& text = *decoded;

    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t nl = text.find('\n', start);
        if (nl == std::string::npos) {
            lines.push_back(std::string_view(text).substr(start));
            break;
        }
        lines.push_back(std::string_view(text).substr(start, nl - start));
        start = nl + 1;
    }
    if (lines.empty()) return std::nullopt;
    std::string_view first = trimRight(lines[0]);
    if (first != kHeader5 && first != kHeader4) return std::nullopt;

    RegistryHive hive;
    Impl& impl = *hive.impl_;
    impl.entries.clear();
    impl.eol = (!lines[0].empty() && lines[0].back() == '\r') ? "\r\n" : "\n";
    impl.finalEol = text.back() == '\n';

    auto stripCr = [](std::string_view l) {
        if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
        return l;
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view line = stripCr(lines[i]);
        std::string_view t = trimRight(trimLeft(line));
        Entry e;
        e.raw = std::string(line);
        if (i == 0) {
            e.kind = Entry::Kind::Header;
        } else if (t.empty()) {
            e.kind = Entry::Kind::Blank;
        } else if (t.front() == ';') {
            e.kind = Entry::Kind::Comment;
        } else if (t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            e = keyEntry(line, t);
        } else {
            bool continued = false;
            if (auto v = valueEntry(line, continued)) e = std::move(*v);
            while (continued && i + 1 < lines.size()) {
                std::string_view next = stripCr(lines[++i]);
                e.raw += '\n';
                e.raw += next;
                std::string_view nt = trimRight(next);
                continued = !nt.empty() && nt.back() == '\\';
            }
        }
        impl.entries.push_back(std::move(e));
    }
    return hive;
}

std::string RegistryHive::text() const {
    std::string out;
    const auto& entries = impl_->entries;
    for (size_t i = 0; i < entries.size(); ++i) {
        for (char c : entries[i].raw) {
            if (c == '\n') {
                out += impl_->eol;
            } else {
                out += c;
            }
        }
        if (i + 1 < entries.size() || impl_->finalEol) out += impl_->eol;
    }
    return out;
}

bool RegistryHive::hasKey(const std::string& keyPath) const {
    std::string path = normalizeKeyPath(keyPath);
    if (path.empty()) return true;  // HKEY_CURRENT_USER itself
    for (const Entry& e : impl_->entries) {
        if (e.kind != Entry::Kind::Key || !e.currentUser || e.path.size() < path.size()) continue;
        // A key exists when it or one of its subkeys is listed.
        if (sameName(std::string_view(e.path).substr(0, path.size()), path) &&
            (e.path.size() == path.size() || e.path[path.size()] == '\\')) {
            return true;
        }
    }
    return false;
}

void RegistryHive::createKey(const std::string& keyPath) {
    std::string path = normalizeKeyPath(keyPath);
    if (impl_->lastKey(path)) return;
    auto& entries = impl_->entries;
    if (entries.empty() || entries.back().kind != Entry::Kind::Blank) {
        Entry blank;
        blank.kind = Entry::Kind::Blank;
        impl_->append(std::move(blank));
    }
    Entry key;
    key.kind = Entry::Kind::Key;
    key.currentUser = true;
    key.path = path;
    key.raw = "[" + std::string(kCurrentUser) + (path.empty() ? "" : "\\" + path) + "]";
    impl_->append(std::move(key));
}

std::optional<RegValue> RegistryHive::get(const std::string& keyPath,
                                          const std::string& name) const {
    auto i = impl_->lastValue(normalizeKeyPath(keyPath), name);
    if (!i) return std::nullopt;
    return impl_->entries[*i].value;
}

void RegistryHive::set(const std::string& keyPath, const std::string& name, const RegValue& value) {
    // A line break cannot be written inside a quoted value of an export file.
    if (name.find_first_of("\r\n") != std::string::npos ||
        (value.type == RegType::Sz && value.text.find_first_of("\r\n") != std::string::npos)) {
        throw std::invalid_argument("registry value with a line break: " + name);
    }
    std::string path = normalizeKeyPath(keyPath);
    auto& entries = impl_->entries;
    if (auto i = impl_->lastValue(path, name)) {
        Entry& e = entries[*i];
        e.value = value;
        e.raw = valueLine(e.name, value);  // the stored spelling of the name
        return;
    }
    Entry e;
    e.kind = Entry::Kind::Value;
    e.name = name;
    e.value = value;
    e.raw = valueLine(name, value);
    if (auto k = impl_->lastKey(path)) {
        size_t end = impl_->blockEnd(*k);
        size_t at = *k + 1;
        for (size_t i = *k + 1; i < end; ++i) {
            auto kind = entries[i].kind;
            if (kind == Entry::Kind::Value || kind == Entry::Kind::Verbatim) at = i + 1;
        }
        if (at == entries.size()) {
            impl_->append(std::move(e));
        } else {
            impl_->insertAt(at, std::move(e));
        }
        return;
    }
    createKey(path);
    impl_->append(std::move(e));
}

}  // namespace qv::platform
