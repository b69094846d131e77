#include "settings/settings_values.h"

#include <cerrno>
#include <cstdio>

#include "platform/system_error.h"
#include "settings/parse_real.h"

namespace qv {

namespace {

using platform::RegType;
using platform::RegValue;

// UTF-16 code units of a UTF-8 text: one per character, two for those beyond the basic plane.
std::size_t utf16Length(std::string_view text) {
    std::size_t units = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80) ++units;  // a lead byte or a plain character
        if (c >= 0xF0) ++units;           // a four-byte sequence needs a surrogate pair
    }
    return units;
}

// The first bufferChars - 1 characters of a UTF-8 text; a character is never split.
std::string cut(std::string_view text, std::size_t bufferChars) {
    std::size_t chars = bufferChars == 0 ? 0 : bufferChars - 1;
    std::size_t end = 0;
    while (end < text.size() && chars > 0) {
        ++end;
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
        --chars;
    }
    return std::string(text.substr(0, end));
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Neither the hive nor an options file can hold a line break inside a name or a value.
bool storable(std::string_view subkey, std::string_view name, std::string_view text) {
    auto clean = [](std::string_view s) { return s.find_first_of("\r\n") == s.npos; };
    return clean(subkey) && clean(name) && clean(text);
}

}  // namespace

std::string formatInt(std::int32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", static_cast<int>(value));
    return buf;
}

std::string formatReal(double value) {
    const int length = std::snprintf(nullptr, 0, "%f", value);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), "%f", value);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

double SettingsValues::ReadRealValue(std::string_view subkey, std::string_view name,
                                     double defaultValue) {
    return ParseReal(ReadTextValue(subkey, name, ""), defaultValue);
}

bool SettingsValues::WriteRealValue(std::string_view subkey, std::string_view name, double value) {
    return WriteTextValue(subkey, name, formatReal(value));
}

std::string HiveValues::keyPath(std::string_view subkey) const {
    std::string path = root_;
    path += '\\';
    path += subkey;
    return path;
}

bool HiveValues::OpenSettingsKey(std::string_view subkey, bool create) {
    const std::string path = keyPath(subkey);
    if (!create) return hive_.hasKey(path);
    hive_.createKey(path);
    return true;
}

std::int32_t HiveValues::ReadIntValue(std::string_view subkey, std::string_view name,
                                      std::int32_t defaultValue) {
    if (!OpenSettingsKey(subkey, false)) return defaultValue;
    const auto value = hive_.get(keyPath(subkey), std::string(name));
    if (!value || value->type != RegType::Dword) return defaultValue;
    return static_cast<std::int32_t>(value->dword);
}

std::string HiveValues::ReadTextValue(std::string_view subkey, std::string_view name,
                                      std::string_view defaultValue) {
    if (!OpenSettingsKey(subkey, false)) return std::string(defaultValue);
    const auto value = hive_.get(keyPath(subkey), std::string(name));
    if (!value || value->type != RegType::Sz) return std::string(defaultValue);
    // The text and its terminating zero must fit the buffer.
    if ((utf16Length(value->text) + 1) * 2 > kTextBufferBytes) return std::string(defaultValue);
    return value->text;
}

bool HiveValues::WriteIntValue(std::string_view subkey, std::string_view name, std::int32_t value) {
    if (!storable(subkey, name, {}) || !OpenSettingsKey(subkey, true)) return false;
    hive_.set(keyPath(subkey), std::string(name),
              RegValue::fromDword(static_cast<std::uint32_t>(value)));
    return true;
}

bool HiveValues::WriteTextValue(std::string_view subkey, std::string_view name,
                                std::string_view text) {
    if (!storable(subkey, name, text) || !OpenSettingsKey(subkey, true)) return false;
    hive_.set(keyPath(subkey), std::string(name), RegValue::fromText(std::string(text)));
    return true;
}

// Sections of a profile file need no opening: a read of a missing one gives the default, a
// write creates it.
bool DocumentValues::OpenSettingsKey(std::string_view, bool) {
    return true;
}

std::int32_t DocumentValues::ReadIntValue(std::string_view subkey, std::string_view name,
                                          std::int32_t defaultValue) {
    return profileInt(document_, subkey, name, defaultValue);
}

std::string DocumentValues::ReadTextValue(std::string_view subkey, std::string_view name,
                                          std::string_view defaultValue) {
    return profileString(document_, subkey, name, defaultValue, kMaxTextChars + 1);
}

bool DocumentValues::WriteIntValue(std::string_view subkey, std::string_view name,
                                   std::int32_t value) {
    return WriteTextValue(subkey, name, formatInt(value));
}

bool DocumentValues::WriteTextValue(std::string_view subkey, std::string_view name,
                                    std::string_view text) {
    if (!storable(subkey, name, text)) {
        errno = EINVAL;
        reportWriteFailure();
        return false;
    }
    document_.set(std::string(subkey), std::string(name), std::string(text));
    return true;
}

bool DocumentValues::save() {
    errno = 0;
    if (document_.save(path_)) return true;
    reportWriteFailure();
    return false;
}

void DocumentValues::reportWriteFailure() const {
    const std::string reason = platform::SystemErrorText();
    ui_.ShowError(0, "Unable to write %s:\n%s", path_.c_str(), reason.c_str());
}

std::int32_t profileInt(const platform::ProfileDocument& document, std::string_view section,
                        std::string_view key, std::int32_t defaultValue) {
    const auto value = document.get(std::string(section), std::string(key));
    if (!value) return defaultValue;
    std::size_t i = 0;
    while (i < value->size() && isBlank((*value)[i])) ++i;
    bool negative = false;
    if (i < value->size() && ((*value)[i] == '-' || (*value)[i] == '+')) {
        negative = (*value)[i] == '-';
        ++i;
    }
    // Wraps like the 32-bit arithmetic of the platform's reader.
    std::uint32_t number = 0;
    for (; i < value->size() && (*value)[i] >= '0' && (*value)[i] <= '9'; ++i) {
        number = number * 10u + static_cast<std::uint32_t>((*value)[i] - '0');
    }
    return static_cast<std::int32_t>(negative ? 0u - number : number);
}

std::string profileString(const platform::ProfileDocument& document, std::string_view section,
                          std::string_view key, std::string_view defaultValue,
                          std::size_t bufferChars) {
    const auto value = document.get(std::string(section), std::string(key));
    return cut(value ? std::string_view(*value) : defaultValue, bufferChars);
}

}  // namespace qv
