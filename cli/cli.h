// The command-line tool's commands and what they share.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "platform/user_interface.h"
#include "settings/aci_to_rgb.h"
#include "settings/wmf_settings.h"

namespace qv::cli {

// Exit status of every command.
enum Exit { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

using Args = std::vector<std::string>;

// What a command runs with: the settings record, the colour source and one
// engine reporting to standard error.
struct Context {
    Context();
    WmfSettings settings;
    PaletteColorSource colors{settings};
    platform::StderrUserInterface ui;
    Engine engine{settings, ui};
};

// True when the arguments ask for help.
bool wantsHelp(const Args& args);
// The first argument that looks like an option ("-x", "--x"), or null.
const std::string* firstOption(const Args& args);
// Prints "quorvex: MESSAGE" and the command's usage line to standard error.
int usageError(const std::string& message, const char* usage);

int runInfo(const Args& args);
int runRecords(const Args& args);
int runPalette(const Args& args);
int runNormalize(const Args& args);
int runOptions(const Args& args);
int runImprove(const Args& args);

}  // namespace qv::cli
