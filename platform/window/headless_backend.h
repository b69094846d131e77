// The in-memory backend: every window is a record, the screen and the pointer
// are what a test sets, time is a virtual clock that a test advances, and the
// user is a script of steps that the message loops run when idle.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "platform/window/backend.h"

namespace qv::platform::win {

// One scripted user action. It acts on the window given (the modal dialog
// that waits for input, else the foreground window) and returns an empty
// text, or what went wrong ("control 1014 is disabled").
struct ScriptStep {
    std::string description;
    std::function<std::string(HWND active)> run;
};

class HeadlessBackend : public Backend {
  public:
    HeadlessBackend();
    ~HeadlessBackend() override;

    HWND createWindow(const WindowCreate& create) override;
    void destroyWindow(HWND w) override;
    bool isWindow(HWND w) const override;
    ControlKind kind(HWND w) const override;
    std::string className(HWND w) const override;
    HWND parent(HWND w) const override;
    std::vector<HWND> children(HWND w) const override;
    std::vector<HWND> topLevelWindows() const override;
    UINT controlId(HWND w) const override;
    std::string text(HWND w) const override;
    void setText(HWND w, const std::string& text) override;
    DWORD style(HWND w) const override;
    void setStyle(HWND w, DWORD style) override;
    DWORD exStyle(HWND w) const override;
    void setExStyle(HWND w, DWORD exStyle) override;
    RECT rect(HWND w) const override;
    void setRect(HWND w, const RECT& r) override;
    WNDPROC windowProc(HWND w) const override;
    void setWindowProc(HWND w, WNDPROC proc) override;
    LONG_PTR userData(HWND w) const override;
    void setUserData(HWND w, LONG_PTR value) override;
    int checkState(HWND w) const override;
    void setCheckState(HWND w, int state) override;
    std::vector<std::string> items(HWND w) const override;
    void setItems(HWND w, const std::vector<std::string>& items) override;
    int selection(HWND w) const override;
    void setSelection(HWND w, int index) override;
    bool setProp(HWND w, const std::string& name, void* value) override;
    void* getProp(HWND w, const std::string& name) const override;
    void* removeProp(HWND w, const std::string& name) override;
    HWND focus() const override { return focus_; }
    void setFocus(HWND w) override;
    HWND foreground() const override { return foreground_; }
    bool setForeground(HWND w) override;
    DWORD windowThread(HWND w) const override;
    DWORD currentThread() const override { return kGuiThread; }
    bool attachThreadInput(DWORD from, DWORD to, bool attach) override;
    void post(const MSG& msg) override { queue_.push_back(msg); }
    bool takePosted(MSG& msg) override;
    UINT_PTR setTimer(HWND w, UINT_PTR id, UINT elapseMs) override;
    bool killTimer(HWND w, UINT_PTR id) override;
    bool cursorPos(POINT& p) const override;
    SIZE screenSize() const override { return screen_; }
    bool waitForInput(HWND active) override;

    // --- What a test controls. ---
    void setScreenSize(SIZE s) { screen_ = s; }
    void setCursorPos(POINT p) { cursor_ = p; }
    void setCursorPosFails(bool fails) { cursorFails_ = fails; }
    // A window said to belong to another thread (the attach path of ForceForeground).
    void setWindowThread(HWND w, DWORD thread);
    // SetForegroundWindow refuses while set, as the system may.
    void setForegroundRefused(bool refused) { foregroundRefused_ = refused; }
    // Moves the virtual clock on, delivering every WM_TIMER that falls due on
    // the way in the order of due time (timers due at the same moment in the
    // order they were set).
    void advanceTime(UINT ms);
    uint64_t now() const { return now_; }
    size_t pendingMessages() const { return queue_.size(); }

    void addStep(ScriptStep step) { script_.push_back(std::move(step)); }
    size_t pendingSteps() const { return script_.size(); }
    // Each failed step as "description: what went wrong"; a loop that found no
    // step while waiting adds "script ran out".
    std::vector<std::string> scriptErrors;
    // Every AttachThreadInput call: from thread, to thread, attach.
    std::vector<std::tuple<DWORD, DWORD, bool>> attachCalls;

    static constexpr DWORD kGuiThread = 1;

  private:
    struct Window;
    struct Timer {
        HWND hwnd;
        UINT_PTR id;
        UINT elapse;
        uint64_t due;
        uint64_t order;
    };
    Window& at(HWND w);
    const Window& at(HWND w) const;

    std::map<HWND, std::unique_ptr<Window>> windows_;
    HWND nextHandle_ = 0x100;
    HWND focus_ = 0;
    HWND foreground_ = 0;
    std::deque<MSG> queue_;
    std::vector<Timer> timers_;
    uint64_t now_ = 0;
    uint64_t timerOrder_ = 0;
    SIZE screen_{1920, 1080};
    POINT cursor_;
    bool cursorFails_ = false;
    bool foregroundRefused_ = false;
    std::deque<ScriptStep> script_;
};

}  // namespace qv::platform::win
