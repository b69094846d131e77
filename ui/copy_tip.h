// The after-copy tooltip of the programs: a new TFXDataTip at the mouse
// pointer, with the application's main window as its parent.
#pragma once

#include <functional>
#include <string>

#include "engine/clipboard_exchange.h"
#include "platform/window/wnd.h"

namespace qv::ui {

class CopyTipUi : public ClipboardUi {
  public:
    // `mainWindow` names the application's main window when a tip is shown:
    // the hidden frame in the tray program, the host's main window in the
    // plug-in. Without it, the framework's application main window is used.
    explicit CopyTipUi(std::function<platform::win::CWnd*()> mainWindow = {});

    // Nothing when the mouse position cannot be read.
    void showCopyTip(const std::string& text) override;

  private:
    std::function<platform::win::CWnd*()> mainWindow_;
};

}  // namespace qv::ui
