// What the window framework asks of the machine that shows its windows.
//
// Everything above this interface (CWnd, CDialog, the message maps, data
// exchange) keeps no native state of its own: text, styles, geometry, check
// states, combo items, focus, timers and the message queue live behind it.
// HeadlessBackend keeps them in memory; a desktop backend keeps them in real
// windows.
#pragma once

#include <string>
#include <vector>

#include "platform/window/window_types.h"

namespace qv::platform::win {

struct WindowCreate {
    ControlKind kind = ControlKind::Window;
    std::string className;
    std::string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect;  // in the parent's client coordinates; screen coordinates without a parent
    HWND parent = 0;
    UINT id = 0;  // control id of a child window
    WNDPROC proc = nullptr;
};

class Backend {
  public:
    virtual ~Backend() = default;

    // Windows. Children are kept in creation order, which is the tab order.
    virtual HWND createWindow(const WindowCreate& create) = 0;
    virtual void destroyWindow(HWND w) = 0;  // this window only; its children go first
    virtual bool isWindow(HWND w) const = 0;
    virtual ControlKind kind(HWND w) const = 0;
    virtual std::string className(HWND w) const = 0;
    virtual HWND parent(HWND w) const = 0;
    virtual std::vector<HWND> children(HWND w) const = 0;
    virtual std::vector<HWND> topLevelWindows() const = 0;
    virtual UINT controlId(HWND w) const = 0;
    virtual std::string text(HWND w) const = 0;
    virtual void setText(HWND w, const std::string& text) = 0;
    virtual DWORD style(HWND w) const = 0;
    virtual void setStyle(HWND w, DWORD style) = 0;
    virtual DWORD exStyle(HWND w) const = 0;
    virtual void setExStyle(HWND w, DWORD exStyle) = 0;
    virtual RECT rect(HWND w) const = 0;
    virtual void setRect(HWND w, const RECT& r) = 0;
    virtual WNDPROC windowProc(HWND w) const = 0;
    virtual void setWindowProc(HWND w, WNDPROC proc) = 0;
    virtual LONG_PTR userData(HWND w) const = 0;
    virtual void setUserData(HWND w, LONG_PTR value) = 0;

    // Control state: check boxes and radio buttons, combo boxes.
    virtual int checkState(HWND w) const = 0;
    virtual void setCheckState(HWND w, int state) = 0;
    virtual std::vector<std::string> items(HWND w) const = 0;
    virtual void setItems(HWND w, const std::vector<std::string>& items) = 0;
    virtual int selection(HWND w) const = 0;  // -1 when none
    virtual void setSelection(HWND w, int index) = 0;

    // Window properties; names compare without regard to case.
    virtual bool setProp(HWND w, const std::string& name, void* value) = 0;
    virtual void* getProp(HWND w, const std::string& name) const = 0;
    virtual void* removeProp(HWND w, const std::string& name) = 0;

    // Focus and foreground; threads of windows.
    virtual HWND focus() const = 0;
    virtual void setFocus(HWND w) = 0;
    virtual HWND foreground() const = 0;
    virtual bool setForeground(HWND w) = 0;
    virtual DWORD windowThread(HWND w) const = 0;
    virtual DWORD currentThread() const = 0;
    virtual bool attachThreadInput(DWORD from, DWORD to, bool attach) = 0;

    // The message queue of the (one) GUI thread.
    virtual void post(const MSG& msg) = 0;
    virtual bool takePosted(MSG& msg) = 0;

    // Timers deliver WM_TIMER to the window's procedure.
    virtual UINT_PTR setTimer(HWND w, UINT_PTR id, UINT elapseMs) = 0;
    virtual bool killTimer(HWND w, UINT_PTR id) = 0;

    // The pointer and the screen.
    virtual bool cursorPos(POINT& p) const = 0;
    virtual SIZE screenSize() const = 0;

    // Called by a message loop when no posted message waits: wait for the user
    // (or run the next scripted step) and return true, or return false when
    // nothing can ever come. `active` is the modal window, or 0 in the
    // application's own loop.
    virtual bool waitForInput(HWND active) = 0;
};

}  // namespace qv::platform::win
