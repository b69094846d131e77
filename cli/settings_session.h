// The settings of the command-line tool as every program of the system keeps
// them: the user's stored settings, loaded at start, with the option files
// and the single-setting calls of the other programs.
#pragma once

#include <string>

#include "platform/file_dialog.h"
#include "platform/registry.h"
#include "platform/user_interface.h"
#include "settings/aci_to_rgb.h"
#include "settings/option_files.h"
#include "settings/program_info.h"
#include "settings/settings_store.h"
#include "settings/transfer.h"
#include "settings/wmf_settings.h"

namespace qv::cli {

class SettingsSession {
public:
    explicit SettingsSession(platform::UserInterface& ui);

    // Loads the stored settings as the programs do at start.
    void load() { transfer.LoadSettings(); }

    // One setting by name as the scripting function does it: an integer value
    // goes to an integer setting first, then to a real one; a real value only
    // to a real setting. False with `error` naming the setting and what it
    // accepts.
    bool setOption(const std::string& name, const std::string& value, std::string& error);

    WmfSettings settings;
    PaletteColorSource colors{settings};
    platform::Registry registry;
    SettingsStore store;
    SettingsTransfer transfer;
    platform::ScriptedFileDialogs noDialogs;  // the tool always names its files
    OptionFiles files{transfer, noDialogs};
};

// "NAME VALUE" as option files write the value ("%d" or "%f").
std::string settingValueText(const WmfSettings& settings, const std::string& name);

}  // namespace qv::cli
