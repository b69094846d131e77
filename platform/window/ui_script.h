// Scripting the headless user: actions on a window's controls and menu, the
// state of every control, and UiScript, which queues actions as steps that
// the message loops run when idle (a script queued before DoModal drives
// the dialog to its end).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_dialog.h"
#include "platform/user_interface.h"
#include "platform/window/headless_backend.h"

namespace qv::platform::win {

class CWnd;

struct ControlState {
    int id = 0;
    ControlKind kind = ControlKind::Static;
    std::string text;
    int check = 0;
    int selection = -1;
    std::vector<std::string> items;
    bool enabled = false;
    bool visible = false;
};

// Each action returns "" or what went wrong. Like a user, it cannot touch a
// control that is missing, hidden or disabled.
std::string setControlText(HWND window, int id, const std::string& text);  // then EN_CHANGE
std::string setControlCheck(HWND window, int id, int check);               // no notification
std::string selectComboItem(HWND window, int id, int index);               // then CBN_SELCHANGE
// A button click: an auto check box toggles, an auto radio button becomes
// the checked one of its group; then BN_CLICKED to the parent.
std::string clickControl(HWND window, int id);
// Opens the popup that holds the item (asking its command-update handlers)
// and chooses it when it is enabled.
std::string chooseMenuCommand(HWND window, UINT id);
// The F1 key: WM_HELP to the window.
std::string pressHelp(HWND window);

ControlState controlState(HWND window, int id);
std::vector<ControlState> allControls(HWND window);

class UiScript {
  public:
    UiScript(HeadlessBackend& backend, RecordingUserInterface* ui = nullptr,
             ScriptedFileDialogs* fileDialogs = nullptr)
        : backend_(backend), ui_(ui), files_(fileDialogs) {}

    UiScript& setText(int id, const std::string& text);
    UiScript& setCheck(int id, int check);
    UiScript& select(int id, int index);
    UiScript& click(int id);
    UiScript& chooseMenu(UINT id);
    UiScript& help();
    // Answers for the next message box or file dialog; queue them before the
    // step that opens it.
    UiScript& answerMessage(MessageResult result);
    UiScript& answerFile(std::optional<std::string> path);
    UiScript& advance(UINT ms);
    // Looks at the window while it is open.
    UiScript& inspect(std::function<void(HWND window)> look);

  private:
    UiScript& add(std::string description, std::function<std::string(HWND)> run);
    HeadlessBackend& backend_;
    RecordingUserInterface* ui_;
    ScriptedFileDialogs* files_;
};

}  // namespace qv::platform::win
