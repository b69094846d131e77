// Initialization files ("profile" files): [section] headers and key=value
// lines, sections and keys looked up without regard to case.
//
// Reading accepts blank lines, \r\n and \n, and ignores lines that are
// neither headers nor key=value pairs. Writing follows the rules of the
// platform's profile service: an existing key gets its value replaced in
// place, a missing key is appended at the end of its section, a missing
// section is appended at the end of the file with the key; every other line
// stays as it is. A file is written whole to a temporary file and renamed, so
// it is never left half written.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace qv::platform {

// A profile file held in memory, for many reads and writes at once.
class ProfileDocument {
public:
    ProfileDocument();
    ~ProfileDocument();
    ProfileDocument(ProfileDocument&&) noexcept;
    ProfileDocument& operator=(ProfileDocument&&) noexcept;

    // An empty document when the file does not exist or cannot be read.
    static ProfileDocument load(const std::filesystem::path& path);
    static ProfileDocument fromText(const std::string& text);
    std::string text() const;
    // Writes the document over the file atomically; false with errno set.
    bool save(const std::filesystem::path& path) const;

    std::optional<std::string> get(const std::string& section, const std::string& key) const;
    void set(const std::string& section, const std::string& key, const std::string& value);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The platform's profile functions over real files.
// GetPrivateProfileIntW: the value's leading decimal integer (optional sign),
// 0 when it starts with no digits, `defaultValue` when the key is missing.
int GetPrivateProfileIntW(const std::string& section, const std::string& key, int defaultValue,
                          const std::filesystem::path& path);
// GetPrivateProfileStringW: the value, at most bufferChars - 1 characters,
// `defaultValue` (cut the same way) when the key is missing.
std::string GetPrivateProfileStringW(const std::string& section, const std::string& key,
                                     const std::string& defaultValue, size_t bufferChars,
                                     const std::filesystem::path& path);
// WritePrivateProfileStringW: one value written; false with errno set when
// the file could not be written (it is then unchanged).
bool WritePrivateProfileStringW(const std::string& section, const std::string& key, const std::string& value,
                                const std::filesystem::path& path);

}  // namespace qv::platform
