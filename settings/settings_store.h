// The settings' value functions over the registry or an options file.
//
// Every function takes a subkey (section) name, a value (key) name and an optional file path.
// Reads use the options file whenever a path is given, writes only when it is not empty; else
// the registry below the root key of HKEY_CURRENT_USER is used. Each single-value function
// reads or rewrites its source around its one value; loads and saves that visit many values
// run in a session instead, which reads the hive or file once and writes it once. A damaged
// hive that the registry moved aside while reading is reported through ShowError with the
// registry's own text.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "platform/user_interface.h"
#include "settings/settings_values.h"

namespace qv {

inline constexpr std::string_view kSettingsRoot = "Software\\Talmund\\Quorvex";

// Absent: the registry. A path: the options file.
using SettingsFile = std::optional<std::string_view>;

class SettingsStore {
  public:
    SettingsStore(const platform::Registry& registry, platform::UserInterface& ui)
        : registry_(registry), ui_(ui) {}

    void setRoot(std::string_view root) { root_ = root; }
    const std::string& root() const { return root_; }
    platform::UserInterface& ui() const { return ui_; }

    // Reading: true when the subkey exists. Writing: creates it when absent; false when the
    // registry could not be written.
    bool OpenSettingsKey(std::string_view subkey, bool create) const;

    // Registry: the value when it exists as REG_DWORD, else defaultValue. File: the entry read
    // as a signed decimal integer, defaultValue when missing.
    std::int32_t ReadIntValue(std::string_view subkey, std::string_view name, SettingsFile file,
                              std::int32_t defaultValue) const;
    // Registry: the value when it is REG_SZ of at most 1023 characters, else defaultValue.
    // File: the entry (at most 1023 characters), defaultValue when missing.
    std::string ReadTextValue(std::string_view subkey, std::string_view name, SettingsFile file,
                              std::string_view defaultValue) const;
    // The text read with an empty default, then ParseReal with defaultValue.
    double ReadRealValue(std::string_view subkey, std::string_view name, SettingsFile file,
                         double defaultValue) const;

    // Registry: REG_DWORD. File: "%d". A failed file write shows "Unable to write %s:\n%s";
    // a failed registry write only returns false.
    bool WriteIntValue(std::string_view subkey, std::string_view name, SettingsFile file,
                       std::int32_t value) const;
    // Registry: REG_SZ.
    bool WriteTextValue(std::string_view subkey, std::string_view name, SettingsFile file,
                        std::string_view text) const;
    // "%f", then written as text.
    bool WriteRealValue(std::string_view subkey, std::string_view name, SettingsFile file,
                        double value) const;

    // Runs `work` over one reading of the source that a read with `file` uses.
    void readSession(SettingsFile file, const std::function<void(SettingsValues&)>& work) const;
    // Runs `work` over the source that a write with `file` uses, held in memory, and writes the
    // source once when `work` returns true: the registry under its lock, replaced atomically;
    // a file in one piece, with the one message above when that fails. True when `work`
    // returned true and the source was written.
    bool writeSession(SettingsFile file, const std::function<bool(SettingsValues&)>& work) const;

    // Adds jobs to the stored "Jobs" under "Statistics" in one step under the registry's lock,
    // so programs counting at the same time lose nothing. Writes nothing else.
    bool AddJobsToStatistics(std::int32_t jobs) const;

  private:
    void reportProblem(const std::string& problem) const;

    const platform::Registry& registry_;
    platform::UserInterface& ui_;
    std::string root_{kSettingsRoot};
};

}  // namespace qv
