// The clipboard's viewer chain reaches framework windows through their message maps.
#include <gtest/gtest.h>

#include "platform/clipboard.h"
#include "platform/user_interface.h"
#include "platform/window/clipboard_windows.h"
#include "platform/window/framework.h"
#include "platform/window/headless_backend.h"
#include "platform/window/wnd.h"

namespace qv::platform::win {
namespace {

class Viewer : public CWnd {
public:
    explicit Viewer(Clipboard& cb) : clipboard(cb) {}
    Clipboard& clipboard;
    int draws = 0;
    int seenFormats = 0;
    HWND next = 0;
    LRESULT OnDrawClipboard(WPARAM, LPARAM) {
        ++draws;
        // A viewer may read the new contents from inside the notification.
        if (clipboard.OpenClipboard(GetSafeHwnd())) {
            seenFormats = clipboard.CountClipboardFormats();
            clipboard.CloseClipboard();
        }
        return 0;
    }
    LRESULT OnChangeChain(WPARAM removed, LPARAM nextWindow) {
        if (HWND(removed) == next) next = HWND(nextWindow);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Viewer, CWnd)
    ON_MESSAGE(WM_DRAWCLIPBOARD, &Viewer::OnDrawClipboard)
    ON_MESSAGE(WM_CHANGECBCHAIN, &Viewer::OnChangeChain)
END_MESSAGE_MAP()

TEST(ClipboardWindows, ViewerWindowsGetTheChainMessagesThroughTheirMaps) {
    HeadlessBackend backend;
    RecordingUserInterface ui;
    Framework framework(backend, ui);
    ClipboardWindows sink;
    Clipboard clipboard(&sink);

    Viewer first(clipboard), second(clipboard);
    ASSERT_TRUE(first.CreateEx(0, "", "first", WS_POPUP, {0, 0, 10, 10}, nullptr, 0));
    ASSERT_TRUE(second.CreateEx(0, "", "second", WS_POPUP, {0, 0, 10, 10}, nullptr, 0));
    first.next = clipboard.SetClipboardViewer(first.GetSafeHwnd());
    second.next = clipboard.SetClipboardViewer(second.GetSafeHwnd());
    const int before = second.draws;

    ASSERT_TRUE(clipboard.OpenClipboard(0));
    clipboard.EmptyClipboard();
    clipboard.SetClipboardData(CF_TEXT, GlobalAlloc(GMEM_MOVEABLE, 4));
    clipboard.CloseClipboard();
    EXPECT_EQ(second.draws, before + 1);  // the head of the chain is told
    EXPECT_EQ(second.seenFormats, 1);

    clipboard.ChangeClipboardChain(first.GetSafeHwnd(), first.next);
    EXPECT_EQ(second.next, first.next);  // the head learned that its successor left
}

}  // namespace
}  // namespace qv::platform::win
