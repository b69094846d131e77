// Delivers the clipboard's viewer-chain messages to the framework's windows.
#pragma once

#include "platform/clipboard.h"
#include "platform/window/window_api.h"

namespace qv::platform::win {

// Plug into Clipboard::setMessageSink: WM_DRAWCLIPBOARD and WM_CHANGECBCHAIN
// reach the window's message map like any other message, sent (not posted),
// so a viewer runs while the clipboard's writer is still in its close.
class ClipboardWindows : public ClipboardMessageSink {
public:
    void onClipboardMessage(WindowId to, uint32_t msg, uint64_t wParam, int64_t lParam) override {
        if (IsWindow(to)) SendMessageW(to, msg, WPARAM(wParam), LPARAM(lParam));
    }
};

}  // namespace qv::platform::win
