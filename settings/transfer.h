// Loading and saving the settings record: the registry at start and end, options files on
// request, and single settings by name.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

#include "settings/aci_to_rgb.h"
#include "settings/program_info.h"
#include "settings/settings_store.h"
#include "settings/settings_values.h"
#include "settings/wmf_settings.h"

namespace qv {

enum class TransferMode {
    ReadRegistry = 0,   // every setting from the registry, defaults for missing or bad ones
    WriteRegistry = 1,  // every setting into the registry
    SetByName = 2,      // the one setting of a given name, when the new value passes its test
    ReadFile = 3,       // every setting from an options file
    WriteFile = 4,      // every setting into an options file
};

// "Settings written": the date as "%Y-%b-%d" with English month names, e.g. 2014-May-01.
std::string settingsWrittenDate(const std::tm& date);

class SettingsTransfer {
  public:
    SettingsTransfer(WmfSettings& settings, const ColorIndexSource& colors, SettingsStore& store,
                     const ProgramInfo& program)
        : settings_(settings), colors_(colors), store_(store), program_(program) {}

    WmfSettings& settings() const { return settings_; }
    const ColorIndexSource& colors() const { return colors_; }
    SettingsStore& store() const { return store_; }
    const ProgramInfo& program() const { return program_; }

    // Every setting, colour row and identification value in the given direction; `file` is
    // the options file of ReadFile and WriteFile. The registry or the file is read once and,
    // when writing, written once. False when the writing failed or the mode is SetByName.
    bool TransferSettings(TransferMode mode, std::string_view file = {});
    // The integer settings in their stored order; in SetByName `fileOrName` names the setting
    // (without regard to case) and `value` is its new value.
    bool TransferIntSettings(TransferMode mode, std::string_view fileOrName,
                             std::int32_t value = 0);
    // The same for the real settings.
    bool TransferRealSettings(TransferMode mode, std::string_view fileOrName, double value = 0.0);

    // The start of a program: registers "Quorvex Clipboard" as ClipboardNotifyMessage, loads
    // everything from the registry, warns about a forced palette, computes Equals, applies the
    // program's start-up corrections and reads the statistics and ShowSplash.
    void LoadSettings();
    // Writes everything to the registry, then the statistics and ShowSplash whatever the rest
    // gave. True when all of it was written.
    bool SaveSettings();

    // Sets one integer (real) setting by name when the value passes its test; nothing is saved.
    bool SetIntOption(std::string_view name, std::int32_t value);
    bool SetRealOption(std::string_view name, double value);

    // Id of the registered window message "Quorvex Clipboard", set by LoadSettings.
    std::uint32_t ClipboardNotifyMessage = 0;

  private:
    bool run(TransferMode mode, std::string_view file,
             const std::function<bool(SettingsValues&)>& work);
    bool transferAll(SettingsValues& values, TransferMode mode);
    bool transferInts(SettingsValues* values, TransferMode mode, std::string_view name,
                      std::int32_t value);
    bool transferReals(SettingsValues* values, TransferMode mode, std::string_view name,
                       double value);
    bool transferColors(SettingsValues& values, TransferMode mode, bool colorOnly);
    void readStatistics(SettingsValues& values);
    bool writeStatistics(SettingsValues& values);

    WmfSettings& settings_;
    const ColorIndexSource& colors_;
    SettingsStore& store_;
    const ProgramInfo& program_;
};

}  // namespace qv
