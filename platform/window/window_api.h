// The framework's window functions on handles, with the platform's names:
// messages, timers, properties, subclassing, focus and foreground, the
// pointer and the screen. They all act on the current Framework's backend.
#pragma once

#include <string>

#include "platform/window/window_types.h"

namespace qv::platform::win {

bool IsWindow(HWND w);
bool DestroyWindow(HWND w);  // children first; WM_DESTROY then WM_NCDESTROY to each

// Calls the window's procedure now; 0 for a window that does not exist.
LRESULT SendMessageW(HWND w, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
// Queues the message for the message loop.
bool PostMessageW(HWND w, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
void PostQuitMessage(int exitCode);
LRESULT DispatchMessageW(const MSG& msg);
// Delivers every posted message (and those they post) up to a WM_QUIT, which
// stays queued; returns how many were delivered.
int PumpMessages();
// What a window does with a message nobody handled: WM_CLOSE destroys it.
LRESULT DefWindowProcW(HWND w, UINT message, WPARAM wParam, LPARAM lParam);

// Timers: WM_TIMER with wParam = id to the window after every `elapseMs`.
UINT_PTR SetTimer(HWND w, UINT_PTR id, UINT elapseMs);
bool KillTimer(HWND w, UINT_PTR id);

// Window properties.
bool SetPropW(HWND w, const std::string& name, void* value);
void* GetPropW(HWND w, const std::string& name);
void* RemovePropW(HWND w, const std::string& name);

// Subclassing: GWLP_WNDPROC replaces the window's procedure and returns the
// previous one, which the new one calls with CallWindowProcW; GWLP_USERDATA
// is a free value per window.
LONG_PTR SetWindowLongPtrW(HWND w, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrW(HWND w, int index);
LRESULT CallWindowProcW(WNDPROC proc, HWND w, UINT message, WPARAM wParam, LPARAM lParam);
// The same for a typed procedure.
WNDPROC SubclassWindowProc(HWND w, WNDPROC proc);

HWND GetFocus();
HWND SetFocus(HWND w);  // returns the window that had the focus
HWND GetForegroundWindow();
bool SetForegroundWindow(HWND w);
DWORD GetWindowThreadProcessId(HWND w);
DWORD GetCurrentThreadId();
bool AttachThreadInput(DWORD from, DWORD to, bool attach);
// Makes `w` the foreground window, attaching to the foreground window's
// thread when it is another one; true when `w` is the foreground window.
bool ForceForeground(HWND w);

bool GetCursorPos(POINT* p);
int GetSystemMetrics(int index);

bool IsWindowVisible(HWND w);  // it and all its parents have WS_VISIBLE
bool IsWindowEnabled(HWND w);

}  // namespace qv::platform::win
