// The command line of quorvex improve: files, where the results go, the
// number of workers and the settings changed for this run.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "settings/wmf_settings.h"

namespace qv::cli {

enum class OutputMode { None, File, Folder, InPlace };

struct SettingChange {
    std::string name;
    std::string value;
};

struct ImproveOptions {
    std::vector<std::string> files;
    OutputMode mode = OutputMode::None;
    std::string output;  // the file of -o or the folder of -d
    unsigned jobs = 0;   // 0: one per hardware thread
    std::vector<SettingChange> changes;
    std::string optionsFile;  // --options FILE: an option file for this run only
    bool quiet = false;
};

// Reads the arguments; false with `error` set on bad usage. Settings are
// only collected here; applySetting checks them.
bool parseImproveArgs(const Args& args, ImproveOptions& options, std::string& error);

// Sets one setting from NAME=VALUE text. False with `error` naming the setting
// and what it accepts when the name is unknown or the value refused.
bool applySetting(WmfSettings& settings, const SettingChange& change, std::string& error);

// The file each input is written to, in input order. False with `error` set
// when two inputs would be written to the same file.
bool planTargets(const ImproveOptions& options, std::vector<std::filesystem::path>& targets,
                 std::string& error);

}  // namespace qv::cli
