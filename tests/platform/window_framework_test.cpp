#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/window/cmd_ui.h"
#include "platform/window/dialog.h"
#include "platform/window/framework.h"
#include "platform/window/headless_backend.h"
#include "platform/window/single_instance.h"
#include "platform/window/ui_script.h"
#include "platform/window/win_app.h"
#include "support/test_support.h"

namespace qv::platform::win {
namespace {

// A fresh headless machine with the sample templates loaded.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(fw.resources().loadFile(
            test::sourcePath("resources/sample_options.dlg").string(), error))
            << error;
    }
    HeadlessBackend backend;
    RecordingUserInterface ui;
    ScriptedFileDialogs files;
    Framework fw{backend, ui, &files};
};

// --- Message maps ---

class CBaseWnd : public CWnd {
  public:
    std::vector<std::string> calls;
    void OnSave() { calls.push_back("base save"); }
    void OnLoad() { calls.push_back("base load"); }
    void OnTimer(UINT_PTR id) { calls.push_back("timer " + std::to_string(id)); }
    LRESULT OnPing(WPARAM w, LPARAM) { return LRESULT(w * 2); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CBaseWnd, CWnd)
ON_COMMAND(40017, &CBaseWnd::OnSave)
ON_COMMAND(40016, &CBaseWnd::OnLoad)
ON_WM_TIMER()
ON_MESSAGE(WM_USER + 1, &CBaseWnd::OnPing)
END_MESSAGE_MAP()

UINT registeredPing = 0;

class CDerivedWnd : public CBaseWnd {
  public:
    void OnSave() { calls.push_back("derived save"); }
    void OnRange(UINT id) { calls.push_back("range " + std::to_string(id)); }
    void OnEdited() { calls.push_back("edited"); }
    LRESULT OnRegistered(WPARAM, LPARAM) { return 77; }
    void OnUpdateSave(CCmdUI* ui) { ui->Enable(enableSave); }
    void OnUpdateAuto(CCmdUI* ui) { ui->SetCheck(autoOn); }
    bool enableSave = false;
    int autoOn = 1;
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CDerivedWnd, CBaseWnd)
ON_COMMAND(40017, &CDerivedWnd::OnSave)
ON_COMMAND_RANGE(40005, 40006, &CDerivedWnd::OnRange)
ON_EN_CHANGE(1014, &CDerivedWnd::OnEdited)
ON_REGISTERED_MESSAGE(registeredPing, &CDerivedWnd::OnRegistered)
ON_UPDATE_COMMAND_UI(40017, &CDerivedWnd::OnUpdateSave)
ON_UPDATE_COMMAND_UI(40005, &CDerivedWnd::OnUpdateAuto)
END_MESSAGE_MAP()

TEST_F(WindowTest, MessageMapsDispatchToTheMostDerivedHandlerAndFallBackToTheBase) {
    CDerivedWnd w;
    ASSERT_TRUE(w.CreateEx(0, "Test", "title", WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0));
    registeredPing = 0xC123;
    struct Case {
        UINT message;
        WPARAM wParam;
        const char* call;
        LRESULT result;
    } cases[] = {
        {WM_COMMAND, MAKEWPARAM(40017, 0), "derived save", 0},
        {WM_COMMAND, MAKEWPARAM(40016, 0), "base load", 0},
        {WM_COMMAND, MAKEWPARAM(40006, 0), "range 40006", 0},
        {WM_COMMAND, MAKEWPARAM(1014, EN_CHANGE), "edited", 0},
        {WM_COMMAND, MAKEWPARAM(1014, BN_CLICKED), nullptr, 0},  // another notification
        {WM_COMMAND, MAKEWPARAM(40099, 0), nullptr, 0},          // no handler anywhere
        {WM_USER + 1, 21, nullptr, 42},
        {0xC123, 0, nullptr, 77},
    };
    for (const Case& c : cases) {
        w.calls.clear();
        EXPECT_EQ(w.SendMessage(c.message, c.wParam), c.result) << c.message << " " << c.wParam;
        if (c.call)
            EXPECT_EQ(w.calls, std::vector<std::string>{c.call}) << c.call;
        else
            EXPECT_TRUE(w.calls.empty()) << c.wParam;
    }
}

TEST_F(WindowTest, CommandUpdateHandlersSetTheItemsWhenThePopupOpens) {
    CDerivedWnd w;
    ASSERT_TRUE(w.CreateEx(0, "Test", "", WS_POPUP, RECT{}, nullptr, 0));
    CMenu bar;
    CMenu& file = bar.appendPopup("&File");
    file.appendItem(40017, "&Save Options");
    file.appendItem(40016, "&Load Options");
    file.appendItem(40005, "&Enable automodify");
    w.SetMenu(&bar);
    EXPECT_TRUE(bar.isEnabled(40017));  // nothing asked yet
    EXPECT_EQ(chooseMenuCommand(w.m_hWnd, 40017), "menu item 40017 is disabled");
    EXPECT_TRUE(w.calls.empty());
    EXPECT_TRUE(bar.isChecked(40005));
    EXPECT_TRUE(bar.isEnabled(40016));  // no update handler: left as it is
    w.enableSave = true;
    w.autoOn = 0;
    EXPECT_EQ(chooseMenuCommand(w.m_hWnd, 40017), "");
    EXPECT_EQ(w.calls, std::vector<std::string>{"derived save"});
    EXPECT_FALSE(bar.isChecked(40005));
}

TEST_F(WindowTest, CommandUpdatesAreAlsoAskedOfTheMainWindowBehindADialog) {
    CWinApp app;
    CDerivedWnd mainWnd;
    ASSERT_TRUE(mainWnd.CreateEx(0, "Main", "", WS_POPUP, RECT{}, nullptr, 0));
    app.m_pMainWnd = &mainWnd;
    CWnd other;
    ASSERT_TRUE(other.CreateEx(0, "Other", "", WS_POPUP, RECT{}, nullptr, 0));
    CMenu bar;
    bar.appendPopup("&Clipboard").appendItem(40017, "x");
    other.SetMenu(&bar);
    EXPECT_EQ(chooseMenuCommand(other.m_hWnd, 40017), "menu item 40017 is disabled");
}

TEST_F(WindowTest, TimersFireInOrderOfDueTimeOnTheVirtualClock) {
    CBaseWnd w;
    ASSERT_TRUE(w.CreateEx(0, "Test", "", WS_POPUP, RECT{}, nullptr, 0));
    w.SetTimer(1010, 3000);
    w.SetTimer(7, 1000);
    w.SetTimer(8, 1000);  // same due time as 7: set later, fires later
    backend.advanceTime(999);
    EXPECT_TRUE(w.calls.empty());
    backend.advanceTime(2001);
    EXPECT_EQ(w.calls, (std::vector<std::string>{"timer 7", "timer 8", "timer 7", "timer 8",
                                                 "timer 1010", "timer 7", "timer 8"}));
    EXPECT_TRUE(w.KillTimer(1010));
    EXPECT_FALSE(w.KillTimer(1010));
    w.calls.clear();
    w.KillTimer(7);
    backend.advanceTime(3000);
    EXPECT_EQ(w.calls, (std::vector<std::string>{"timer 8", "timer 8", "timer 8"}));
}

TEST_F(WindowTest, PostedMessagesWaitForThePump) {
    CBaseWnd w;
    ASSERT_TRUE(w.CreateEx(0, "Test", "", WS_POPUP, RECT{}, nullptr, 0));
    w.PostMessage(WM_COMMAND, MAKEWPARAM(40016, 0));
    w.PostMessage(WM_COMMAND, MAKEWPARAM(40017, 0));
    EXPECT_TRUE(w.calls.empty());
    EXPECT_EQ(PumpMessages(), 2);
    EXPECT_EQ(w.calls, (std::vector<std::string>{"base load", "base save"}));
}

// --- Subclassing and properties ---

WNDPROC previousProc = nullptr;
std::vector<std::string>* hookLog = nullptr;

LRESULT hookProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_USER + 1) hookLog->push_back("hook " + std::to_string(wParam));
    if (message == WM_USER + 2) return 5;  // swallowed
    return CallWindowProcW(previousProc, w, message, wParam + 1, lParam);
}

TEST_F(WindowTest, ASubclassProcedureSeesMessagesFirstAndCallsThePreviousOne) {
    CBaseWnd w;
    ASSERT_TRUE(w.CreateEx(0, "Test", "", WS_POPUP, RECT{}, nullptr, 0));
    std::vector<std::string> log;
    hookLog = &log;
    previousProc = SubclassWindowProc(w.m_hWnd, &hookProc);
    EXPECT_EQ(previousProc, &CWnd::StandardWindowProc);
    EXPECT_EQ(w.SendMessage(WM_USER + 1, 20), 42);  // the hook added 1 before the class doubled it
    EXPECT_EQ(log, std::vector<std::string>{"hook 20"});
    EXPECT_EQ(w.SendMessage(WM_USER + 2), 5);
    SetWindowLongPtrW(w.m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previousProc));
    EXPECT_EQ(w.SendMessage(WM_USER + 1, 20), 40);
    EXPECT_EQ(log.size(), 1u);
}

TEST_F(WindowTest, PropertiesAreKeptPerWindowByNameWithoutCase) {
    CWnd a, b;
    ASSERT_TRUE(a.CreateEx(0, "Test", "", WS_POPUP, RECT{}, nullptr, 0));
    ASSERT_TRUE(b.CreateEx(0, "Test", "", WS_POPUP, RECT{}, nullptr, 0));
    int x = 1, y = 2;
    EXPECT_TRUE(SetPropW(a.m_hWnd, "HookOld", &x));
    EXPECT_TRUE(SetPropW(b.m_hWnd, "HookOld", &y));
    EXPECT_EQ(GetPropW(a.m_hWnd, "hookold"), &x);
    EXPECT_EQ(RemovePropW(a.m_hWnd, "HOOKOLD"), &x);
    EXPECT_EQ(GetPropW(a.m_hWnd, "HookOld"), nullptr);
    EXPECT_EQ(GetPropW(b.m_hWnd, "HookOld"), &y);
    EXPECT_FALSE(SetPropW(0, "HookOld", &x));
}

// --- Foreground, pointer, screen ---

TEST_F(WindowTest, ForceForegroundTakesTheSameThreadPathOrAttachesToTheForegroundThread) {
    CWnd a, b;
    ASSERT_TRUE(a.CreateEx(0, "Test", "", WS_POPUP, RECT{}, nullptr, 0));
    ASSERT_TRUE(b.CreateEx(0, "Test", "", WS_POPUP, RECT{}, nullptr, 0));
    a.SetForegroundWindow();
    EXPECT_TRUE(ForceForeground(a.m_hWnd));
    EXPECT_TRUE(ForceForeground(b.m_hWnd));
    EXPECT_EQ(GetForegroundWindow(), b.m_hWnd);
    EXPECT_TRUE(backend.attachCalls.empty());

    backend.setWindowThread(a.m_hWnd, 9);
    a.SetForegroundWindow();
    EXPECT_TRUE(ForceForeground(b.m_hWnd));
    using Call = std::tuple<DWORD, DWORD, bool>;
    EXPECT_EQ(backend.attachCalls, (std::vector<Call>{{9, 1, true}, {9, 1, false}}));

    backend.setForegroundRefused(true);
    EXPECT_TRUE(ForceForeground(b.m_hWnd));  // already in front
    EXPECT_FALSE(ForceForeground(a.m_hWnd));
}

TEST_F(WindowTest, CursorAndScreenAreWhatTheTestSets) {
    POINT p{-1, -1};
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 1080);
    backend.setScreenSize({800, 600});
    backend.setCursorPos({795, 590});
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 800);
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p, (POINT{795, 590}));
    backend.setCursorPosFails(true);
    EXPECT_FALSE(GetCursorPos(&p));
}

// --- Windows and their state ---

class CSelfDeletingWnd : public CWnd {
  public:
    explicit CSelfDeletingWnd(bool* deleted) : deleted_(deleted) {}
    ~CSelfDeletingWnd() override { *deleted_ = true; }
    void PostNcDestroy() override { delete this; }

  private:
    bool* deleted_;
};

TEST_F(WindowTest, WindowsKeepTextStylesGeometryAndChildren) {
    CWnd parent, child;
    ASSERT_TRUE(parent.CreateEx(0, "P", "Parent", WS_POPUP, RECT{100, 50, 400, 250}, nullptr, 0));
    ASSERT_TRUE(child.CreateEx(0, "C", "Child", WS_CHILD | WS_VISIBLE, RECT{10, 20, 60, 40},
                               &parent, 1014));
    EXPECT_EQ(parent.GetDlgItem(1014), &child);
    EXPECT_EQ(child.GetParent(), &parent);
    EXPECT_EQ(child.GetDlgCtrlID(), 1014);
    EXPECT_EQ(child.GetWindowRect(), (RECT{110, 70, 160, 90}));
    EXPECT_EQ(child.GetClientRect(), (RECT{0, 0, 50, 20}));
    EXPECT_FALSE(child.IsWindowVisible());  // the parent is hidden
    parent.ShowWindow(SW_SHOW);
    EXPECT_TRUE(child.IsWindowVisible());
    child.EnableWindow(false);
    EXPECT_FALSE(child.IsWindowEnabled());
    EXPECT_TRUE(child.GetStyle() & WS_DISABLED);
    child.SetWindowText("changed");
    EXPECT_EQ(parent.GetDlgItemText(1014), "changed");
    HWND childHandle = child.m_hWnd;
    EXPECT_TRUE(parent.DestroyWindow());
    EXPECT_FALSE(IsWindow(childHandle));
    EXPECT_EQ(child.m_hWnd, 0u);  // let go at WM_NCDESTROY
}

TEST_F(WindowTest, AHeapWindowCanDeleteItselfAfterItsLastMessage) {
    bool deleted = false;
    auto* tip = new CSelfDeletingWnd(&deleted);
    ASSERT_TRUE(
        tip->CreateEx(WS_EX_TOPMOST, "Tip", "Tooltip Window", WS_POPUP, RECT{}, nullptr, 0));
    tip->DestroyWindow();
    EXPECT_TRUE(deleted);
}

// --- Templates ---

TEST_F(WindowTest, TemplateErrorsNameTheirLine) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"dialog 1 \"x\" 0 0 10\nend\n", "t:1: expected: dialog ID \"caption\" X Y CX CY"},
        {"dialog 1 \"x\" 0 0 10 10\n  slider 5 \"\" 0 0 1 1\nend\n",
         "t:2: unknown control kind slider"},
        {"dialog 1 \"x\" 0 0 10 10\n  check 5 \"\" 0 0 1 1 shiny\nend\n",
         "t:2: unknown flag shiny"},
        {"menu 3\n popup \"&File\"\n  item 0 \"x\"\n end\nend\n",
         "t:3: expected: popup \"text\", item ID \"text\", separator or end"},
        {"dialog 1 \"x\" 0 0 10 10\n", "t:1: missing end"},
        {"dialog 1 \"unterminated 0 0 10 10\n", "t:1: unterminated text"},
    };
    for (const Case& c : cases) {
        Resources r;
        std::string error;
        EXPECT_FALSE(r.loadText(c.text, "t", error)) << c.text;
        EXPECT_EQ(error, c.error);
    }
}

TEST_F(WindowTest, DialogUnitsBecomePixelsOfTheHeadlessFont) {
    EXPECT_EQ(dialogUnitsToPixels(4, 8, 40, 16), (RECT{6, 13, 66, 39}));
    EXPECT_EQ(dialogUnitsToPixels(7, 7, 50, 14), (RECT{11, 11, 86, 34}));
}

// --- Single instance ---

class CSingleDialog : public CDialog {
  public:
    CSingleDialog() : CDialog(9001) {}
};

TEST_F(WindowTest, ASecondRequestBringsTheOpenInstanceForward) {
    CWnd other;
    ASSERT_TRUE(other.CreateEx(0, "Other", "", WS_POPUP, RECT{}, nullptr, 0));
    int made = 0;
    auto make = [&] {
        ++made;
        return std::make_unique<CSingleDialog>();
    };
    INT_PTR inner = -5;
    UiScript(backend, &ui)
        .inspect([&](HWND dialog) {
            ASSERT_EQ(SingleInstance<CSingleDialog>::open()->m_hWnd, dialog);
            other.SetForegroundWindow();
            CWnd::FromHandle(dialog)->ShowWindow(SW_HIDE);
            inner = ShowSingleModal<CSingleDialog>(make);
            EXPECT_EQ(GetForegroundWindow(), dialog);
            EXPECT_TRUE(IsWindowVisible(dialog));
        })
        .click(IDCANCEL);
    EXPECT_EQ(ShowSingleModal<CSingleDialog>(make), IDCANCEL);
    EXPECT_EQ(inner, 0);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(SingleInstance<CSingleDialog>::open(), nullptr);
    EXPECT_TRUE(backend.scriptErrors.empty());
}

}  // namespace
}  // namespace qv::platform::win
