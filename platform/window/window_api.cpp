#include "platform/window/window_api.h"

#include "platform/window/framework.h"

namespace qv::platform::win {

namespace {

Backend& backend() {
    return Framework::current().backend();
}

}  // namespace

bool IsWindow(HWND w) {
    return backend().isWindow(w);
}

bool DestroyWindow(HWND w) {
    Backend& b = backend();
    if (!b.isWindow(w)) return false;
    SendMessageW(w, WM_DESTROY);
    for (HWND child : b.children(w)) DestroyWindow(child);
    if (!b.isWindow(w)) return true;
    // The last message: the object behind the window lets go of it here.
    WNDPROC proc = b.windowProc(w);
    b.destroyWindow(w);
    Framework::current().windowGone(w);
    if (proc) proc(w, WM_NCDESTROY, 0, 0);
    return true;
}

LRESULT SendMessageW(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    Backend& b = backend();
    if (!b.isWindow(w)) return 0;
    WNDPROC proc = b.windowProc(w);
    return proc ? proc(w, message, wParam, lParam) : DefWindowProcW(w, message, wParam, lParam);
}

bool PostMessageW(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    if (w && !backend().isWindow(w)) return false;
    backend().post(MSG{w, message, wParam, lParam});
    return true;
}

void PostQuitMessage(int exitCode) {
    backend().post(MSG{0, WM_QUIT, WPARAM(exitCode), 0});
}

LRESULT DispatchMessageW(const MSG& msg) {
    if (!msg.hwnd) return 0;
    return SendMessageW(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

int PumpMessages() {
    int n = 0;
    MSG msg;
    while (backend().takePosted(msg)) {
        if (msg.message == WM_QUIT) {
            backend().post(msg);  // for the application's loop
            break;
        }
        DispatchMessageW(msg);
        ++n;
    }
    return n;
}

LRESULT DefWindowProcW(HWND w, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) DestroyWindow(w);
    return 0;
}

UINT_PTR SetTimer(HWND w, UINT_PTR id, UINT elapseMs) {
    return backend().setTimer(w, id, elapseMs);
}
bool KillTimer(HWND w, UINT_PTR id) {
    return backend().killTimer(w, id);
}

bool SetPropW(HWND w, const std::string& name, void* value) {
    return backend().setProp(w, name, value);
}
void* GetPropW(HWND w, const std::string& name) {
    return backend().getProp(w, name);
}
void* RemovePropW(HWND w, const std::string& name) {
    return backend().removeProp(w, name);
}

LONG_PTR SetWindowLongPtrW(HWND w, int index, LONG_PTR value) {
    Backend& b = backend();
    if (!b.isWindow(w)) return 0;
    if (index == GWLP_WNDPROC) {
        LONG_PTR old = reinterpret_cast<LONG_PTR>(b.windowProc(w));
        b.setWindowProc(w, reinterpret_cast<WNDPROC>(value));
        return old;
    }
    if (index == GWLP_USERDATA) {
        LONG_PTR old = b.userData(w);
        b.setUserData(w, value);
        return old;
    }
    return 0;
}

LONG_PTR GetWindowLongPtrW(HWND w, int index) {
    Backend& b = backend();
    if (!b.isWindow(w)) return 0;
    if (index == GWLP_WNDPROC) return reinterpret_cast<LONG_PTR>(b.windowProc(w));
    if (index == GWLP_USERDATA) return b.userData(w);
    return 0;
}

LRESULT CallWindowProcW(WNDPROC proc, HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    return proc ? proc(w, message, wParam, lParam) : DefWindowProcW(w, message, wParam, lParam);
}

WNDPROC SubclassWindowProc(HWND w, WNDPROC proc) {
    return reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc)));
}

HWND GetFocus() {
    return backend().focus();
}

HWND SetFocus(HWND w) {
    HWND old = backend().focus();
    if (old != w) {
        if (old) SendMessageW(old, WM_KILLFOCUS, WPARAM(w));
        backend().setFocus(w);
        if (w) SendMessageW(w, WM_SETFOCUS, WPARAM(old));
    }
    return old;
}

HWND GetForegroundWindow() {
    return backend().foreground();
}
bool SetForegroundWindow(HWND w) {
    return backend().setForeground(w);
}
DWORD GetWindowThreadProcessId(HWND w) {
    return backend().windowThread(w);
}
DWORD GetCurrentThreadId() {
    return backend().currentThread();
}
bool AttachThreadInput(DWORD from, DWORD to, bool attach) {
    return backend().attachThreadInput(from, to, attach);
}

bool ForceForeground(HWND w) {
    HWND fg = GetForegroundWindow();
    if (fg == w) return true;
    DWORD fgThread = GetWindowThreadProcessId(fg);
    DWORD wThread = GetWindowThreadProcessId(w);
    if (fgThread == wThread) return SetForegroundWindow(w);
    AttachThreadInput(fgThread, wThread, true);
    bool done = SetForegroundWindow(w);
    AttachThreadInput(fgThread, wThread, false);
    return done;
}

bool GetCursorPos(POINT* p) {
    return p && backend().cursorPos(*p);
}

int GetSystemMetrics(int index) {
    SIZE s = backend().screenSize();
    if (index == SM_CXSCREEN) return s.cx;
    if (index == SM_CYSCREEN) return s.cy;
    return 0;
}

bool IsWindowVisible(HWND w) {
    Backend& b = backend();
    for (; w; w = b.parent(w))
        if (!b.isWindow(w) || !(b.style(w) & WS_VISIBLE)) return false;
    return true;
}

bool IsWindowEnabled(HWND w) {
    return backend().isWindow(w) && !(backend().style(w) & WS_DISABLED);
}

}  // namespace qv::platform::win
