// The value functions of one open settings source: the registry hive or an options file, both
// held in memory while a load or save visits many values, so that the source is read once and
// written once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/profile_file.h"
#include "platform/registry.h"
#include "platform/user_interface.h"

namespace qv {

// Longest text a read returns: 1023 characters, the rest of a 2048-byte buffer of UTF-16
// characters being the terminating zero.
inline constexpr std::size_t kMaxTextChars = 1023;
inline constexpr std::size_t kTextBufferBytes = 2048;

// "%d" and "%f" as the stores write them.
std::string formatInt(std::int32_t value);
std::string formatReal(double value);

class SettingsValues {
  public:
    virtual ~SettingsValues() = default;

    // Opens the subkey (section) for reading, false when it does not exist, or for writing,
    // creating it when absent.
    virtual bool OpenSettingsKey(std::string_view subkey, bool create) = 0;
    virtual std::int32_t ReadIntValue(std::string_view subkey, std::string_view name,
                                      std::int32_t defaultValue) = 0;
    virtual std::string ReadTextValue(std::string_view subkey, std::string_view name,
                                      std::string_view defaultValue) = 0;
    virtual bool WriteIntValue(std::string_view subkey, std::string_view name,
                               std::int32_t value) = 0;
    virtual bool WriteTextValue(std::string_view subkey, std::string_view name,
                                std::string_view text) = 0;

    // The text read with an empty default, then ParseReal with the default.
    double ReadRealValue(std::string_view subkey, std::string_view name, double defaultValue);
    // The value formatted with "%f", then written as text.
    bool WriteRealValue(std::string_view subkey, std::string_view name, double value);
};

// Values below `root` of a registry hive: integers as REG_DWORD, texts as REG_SZ. A value of
// the other type, a missing value and a missing key all read as the default.
class HiveValues final : public SettingsValues {
  public:
    HiveValues(platform::RegistryHive& hive, std::string_view root) : hive_(hive), root_(root) {}

    bool OpenSettingsKey(std::string_view subkey, bool create) override;
    std::int32_t ReadIntValue(std::string_view subkey, std::string_view name,
                              std::int32_t defaultValue) override;
    std::string ReadTextValue(std::string_view subkey, std::string_view name,
                              std::string_view defaultValue) override;
    bool WriteIntValue(std::string_view subkey, std::string_view name, std::int32_t value) override;
    bool WriteTextValue(std::string_view subkey, std::string_view name,
                        std::string_view text) override;

  private:
    std::string keyPath(std::string_view subkey) const;

    platform::RegistryHive& hive_;
    std::string root_;
};

// Values of an options file loaded into memory; writes change the document, save() puts it
// back in one piece.
class DocumentValues final : public SettingsValues {
  public:
    DocumentValues(platform::ProfileDocument& document, std::string path,
                   platform::UserInterface& ui)
        : document_(document), path_(std::move(path)), ui_(ui) {}

    bool OpenSettingsKey(std::string_view subkey, bool create) override;
    std::int32_t ReadIntValue(std::string_view subkey, std::string_view name,
                              std::int32_t defaultValue) override;
    std::string ReadTextValue(std::string_view subkey, std::string_view name,
                              std::string_view defaultValue) override;
    bool WriteIntValue(std::string_view subkey, std::string_view name, std::int32_t value) override;
    bool WriteTextValue(std::string_view subkey, std::string_view name,
                        std::string_view text) override;

    // Writes the document over the file; when that fails, shows "Unable to write %s:\n%s"
    // with the path and the system's error text, and the file is left as it was.
    bool save();
    // Shows that message for the last error.
    void reportWriteFailure() const;

  private:
    platform::ProfileDocument& document_;
    std::string path_;
    platform::UserInterface& ui_;
};

// The profile-file reads of the platform, over a document already in memory.
// The value's leading decimal integer (optional sign), 0 when it starts with no digits,
// defaultValue when the key is missing.
std::int32_t profileInt(const platform::ProfileDocument& document, std::string_view section,
                        std::string_view key, std::int32_t defaultValue);
// The value, or defaultValue when the key is missing, cut to bufferChars - 1 characters.
std::string profileString(const platform::ProfileDocument& document, std::string_view section,
                          std::string_view key, std::string_view defaultValue,
                          std::size_t bufferChars);

}  // namespace qv
