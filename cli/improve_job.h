// One file of quorvex improve: its own settings, engine and message buffer,
// so that files can be improved on several threads at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/engine_state.h"
#include "platform/user_interface.h"
#include "settings/wmf_settings.h"

namespace qv::cli {

// Keeps every message box for the job's report; questions get their default
// answer (OK or Yes), as on the command line.
class BufferingUserInterface : public platform::UserInterface {
  public:
    platform::MessageResult showMessage(const platform::MessageBox& box) override;
    std::vector<platform::MessageBox> messages;
};

struct ImproveResult {
    std::string source;
    std::filesystem::path target;
    bool ok = false;
    std::vector<platform::MessageBox> messages;
    uintmax_t inputBytes = 0;  // size of the source file, for the progress line
    Size outputSize;           // window extent of the output
    double outputScale = 0;    // its logical units per inch
    bool metric = false;
    RewriteStats stats;
};

// Improves `source` into `target` with a copy of `settings`.
ImproveResult improveFile(const WmfSettings& settings, const std::string& source,
                          const std::filesystem::path& target);

// "OUT: 14.36 x 10.06 in; 9 pens, 0 fills, 0 colours rewritten; 0 outlines
// removed; background removed; 0 bitmaps turned; 217 -> 218 records".
std::string describeResult(const ImproveResult& r);

// Each message as "quorvex: FILE: CAPTION: TEXT", one after the other.
std::string describeMessages(const ImproveResult& r);

}  // namespace qv::cli
