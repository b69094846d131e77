// CWnd: the C++ object behind a window. It creates and destroys the window,
// reads and changes its state through the backend, and routes the window's
// messages through the message maps of its class and its base classes.
#pragma once

#include <string>

#include "platform/window/menu.h"
#include "platform/window/message_map.h"
#include "platform/window/window_api.h"

namespace qv::platform::win {

class CDataExchange;

class CWnd {
  public:
    CWnd() = default;
    virtual ~CWnd();  // destroys a window still attached
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = 0;
    HWND GetSafeHwnd() const { return m_hWnd; }

    // Creation. The window gets the standard procedure, which sends its
    // messages to this object.
    bool CreateEx(DWORD exStyle, const std::string& className, const std::string& title,
                  DWORD style, const RECT& rect, CWnd* parent, UINT id,
                  ControlKind kind = ControlKind::Window);
    bool Create(const std::string& className, const std::string& title, DWORD style,
                const RECT& rect, CWnd* parent, UINT id);
    virtual bool DestroyWindow();

    // The object attached to a window; for a window without one a wrapper
    // that lives as long as the window.
    static CWnd* FromHandle(HWND w);
    static CWnd* FromHandlePermanent(HWND w);
    // Attaches this object to an existing window (a dialog's control) and
    // gives the window the standard procedure; the previous procedure then
    // does the default handling.
    bool SubclassWindow(HWND w);
    bool SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();

    // State.
    void SetWindowText(const std::string& text);
    std::string GetWindowText() const;
    bool EnableWindow(bool enable = true);  // true when it was disabled
    bool IsWindowEnabled() const;
    bool ShowWindow(int command);  // true when it was visible
    bool IsWindowVisible() const;
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    bool ModifyStyle(DWORD remove, DWORD add);
    bool ModifyStyleEx(DWORD remove, DWORD add);
    void MoveWindow(int x, int y, int width, int height);
    void MoveWindow(const RECT& r) { MoveWindow(r.left, r.top, r.width(), r.height()); }
    bool SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
    RECT GetWindowRect() const;  // screen coordinates
    RECT GetClientRect() const;  // (0, 0, width, height)

    CWnd* GetParent() const;
    CWnd* GetDlgItem(int id) const;
    HWND GetDlgItemHandle(int id) const;
    int GetDlgCtrlID() const;
    void SetDlgItemText(int id, const std::string& text);
    std::string GetDlgItemText(int id) const;
    void CheckDlgButton(int id, int check);
    int IsDlgButtonChecked(int id) const;
    // Checks `check` and clears the other radio buttons from first to last.
    void CheckRadioButton(int first, int last, int check);

    // Messages.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs);
    bool KillTimer(UINT_PTR id);
    CWnd* SetFocus();
    static CWnd* GetFocus();
    bool SetForegroundWindow();
    static CWnd* GetForegroundWindow();

    // Menu bar; the window does not own the menu.
    void SetMenu(CMenu* menu) { menu_ = menu; }
    CMenu* GetMenu() const { return menu_; }

    // A message box owned by this window, through the user-interface services.
    MessageResult MessageBox(const std::string& text, const std::string& caption,
                             MessageIcon icon = MessageIcon::Information,
                             MessageButtons buttons = MessageButtons::Ok);

    // Data exchange: controls -> members (save) or members -> controls. A
    // failed check shows its message, moves the focus to the control and
    // returns false.
    bool UpdateData(bool save = true);
    virtual void DoDataExchange(CDataExchange* dx);

    // Message processing.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    virtual bool OnCommand(WPARAM wParam, LPARAM lParam);
    // Looks `id` up in the message maps: a command with its notification
    // code, or, with `cmdUI`, a command-update handler.
    virtual bool OnCmdMsg(UINT id, UINT code, CCmdUI* cmdUI);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The default handling of the message being handled.
    LRESULT Default();
    // After the last message; a window object made on the heap for one
    // showing deletes itself here.
    virtual void PostNcDestroy() {}

    // The window procedure of every window made by the framework.
    static LRESULT StandardWindowProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam);

    // Standard handlers; a class that maps the message declares its own.
    void OnTimer(UINT_PTR id);
    void OnPaint();
    void OnDestroy();
    void OnClose();
    void OnLButtonDown(UINT flags, POINT point);
    BOOL OnHelpInfo(HELPINFO* info);
    // Asks the command-update handlers for every item of the popup.
    void OnInitMenuPopup(CMenu* popup, UINT index, BOOL systemMenu);

    static const MessageMap* GetThisMessageMap();
    virtual const MessageMap* GetMessageMap() const;

  protected:
    MSG current_;              // the message being handled
    bool* alive_ = nullptr;    // cleared when the window is deleted inside a handler
    WNDPROC super_ = nullptr;  // the procedure replaced by SubclassWindow
    CMenu* menu_ = nullptr;

  private:
    void attachTo(HWND w);
    friend class Framework;
};

}  // namespace qv::platform::win
