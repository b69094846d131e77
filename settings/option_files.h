// Option files: sets of settings kept as QW3 files, and the pen widths and pen numbers of a
// plotter configuration (PC2) file taken into the per-colour table.
#pragma once

#include <optional>
#include <string>

#include "platform/file_dialog.h"
#include "settings/transfer.h"

namespace qv {

class OptionFiles {
  public:
    OptionFiles(SettingsTransfer& transfer, platform::FileDialogService& dialogs)
        : transfer_(transfer), dialogs_(dialogs) {}

    // Writes every setting into the file; without a path a save dialog asks for one, and
    // cancelling it writes nothing. True when the file was written (callers of the dialogs
    // need not look: a failure has shown its message).
    bool SaveOptionsFile(const std::optional<std::string>& path = std::nullopt);
    // Loads a QW3 file (a path ending in ".QW3" in any case) or imports any other path as a
    // PC2 file; without a path an open dialog asks for one. False when the dialog was
    // cancelled, which leaves the record untouched.
    bool LoadOptionsFile(const std::optional<std::string>& path = std::nullopt);

  private:
    void importPlotterFile(const std::string& path);

    SettingsTransfer& transfer_;
    platform::FileDialogService& dialogs_;
};

}  // namespace qv
