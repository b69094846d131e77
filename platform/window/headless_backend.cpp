#include "platform/window/headless_backend.h"

#include <algorithm>
#include <stdexcept>

namespace qv::platform::win {

namespace {

std::string lowerCase(const std::string& s) {
    std::string r = s;
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return r;
}

}  // namespace

struct HeadlessBackend::Window {
    WindowCreate create;
    std::vector<HWND> children;
    int check = BST_UNCHECKED;
    std::vector<std::string> items;
    int selection = -1;
    LONG_PTR userData = 0;
    DWORD thread = kGuiThread;
    std::map<std::string, void*> props;
};

HeadlessBackend::HeadlessBackend() = default;
HeadlessBackend::~HeadlessBackend() = default;

HeadlessBackend::Window& HeadlessBackend::at(HWND w) {
    auto it = windows_.find(w);
    if (it == windows_.end()) throw std::out_of_range("no such window");
    return *it->second;
}

const HeadlessBackend::Window& HeadlessBackend::at(HWND w) const {
    auto it = windows_.find(w);
    if (it == windows_.end()) throw std::out_of_range("no such window");
    return *it->second;
}

HWND HeadlessBackend::createWindow(const WindowCreate& create) {
    if (create.parent && !isWindow(create.parent)) return 0;
    HWND h = nextHandle_++;
    auto w = std::make_unique<Window>();
    w->create = create;
    windows_.emplace(h, std::move(w));
    if (create.parent) at(create.parent).children.push_back(h);
    return h;
}

void HeadlessBackend::destroyWindow(HWND w) {
    auto it = windows_.find(w);
    if (it == windows_.end()) return;
    HWND p = it->second->create.parent;
    if (p && isWindow(p)) std::erase(at(p).children, w);
    std::erase_if(timers_, [w](const Timer& t) { return t.hwnd == w; });
    if (focus_ == w) focus_ = 0;
    if (foreground_ == w) foreground_ = 0;
    windows_.erase(it);
}

bool HeadlessBackend::isWindow(HWND w) const {
    return w && windows_.count(w) != 0;
}
ControlKind HeadlessBackend::kind(HWND w) const {
    return at(w).create.kind;
}
std::string HeadlessBackend::className(HWND w) const {
    return at(w).create.className;
}
HWND HeadlessBackend::parent(HWND w) const {
    return at(w).create.parent;
}
std::vector<HWND> HeadlessBackend::children(HWND w) const {
    return at(w).children;
}

std::vector<HWND> HeadlessBackend::topLevelWindows() const {
    std::vector<HWND> r;
    for (const auto& [h, w] : windows_)
        if (!w->create.parent) r.push_back(h);
    return r;
}

UINT HeadlessBackend::controlId(HWND w) const {
    return at(w).create.id;
}
std::string HeadlessBackend::text(HWND w) const {
    return at(w).create.text;
}
void HeadlessBackend::setText(HWND w, const std::string& text) {
    at(w).create.text = text;
}
DWORD HeadlessBackend::style(HWND w) const {
    return at(w).create.style;
}
void HeadlessBackend::setStyle(HWND w, DWORD style) {
    at(w).create.style = style;
}
DWORD HeadlessBackend::exStyle(HWND w) const {
    return at(w).create.exStyle;
}
void HeadlessBackend::setExStyle(HWND w, DWORD exStyle) {
    at(w).create.exStyle = exStyle;
}
RECT HeadlessBackend::rect(HWND w) const {
    return at(w).create.rect;
}
void HeadlessBackend::setRect(HWND w, const RECT& r) {
    at(w).create.rect = r;
}
WNDPROC HeadlessBackend::windowProc(HWND w) const {
    return at(w).create.proc;
}
void HeadlessBackend::setWindowProc(HWND w, WNDPROC proc) {
    at(w).create.proc = proc;
}
LONG_PTR HeadlessBackend::userData(HWND w) const {
    return at(w).userData;
}
void HeadlessBackend::setUserData(HWND w, LONG_PTR value) {
    at(w).userData = value;
}
int HeadlessBackend::checkState(HWND w) const {
    return at(w).check;
}
void HeadlessBackend::setCheckState(HWND w, int state) {
    at(w).check = state;
}
std::vector<std::string> HeadlessBackend::items(HWND w) const {
    return at(w).items;
}

void HeadlessBackend::setItems(HWND w, const std::vector<std::string>& items) {
    at(w).items = items;
    if (at(w).selection >= int(items.size())) at(w).selection = -1;
}

int HeadlessBackend::selection(HWND w) const {
    return at(w).selection;
}

void HeadlessBackend::setSelection(HWND w, int index) {
    Window& win = at(w);
    win.selection = index >= 0 && index < int(win.items.size()) ? index : -1;
}

bool HeadlessBackend::setProp(HWND w, const std::string& name, void* value) {
    if (!isWindow(w)) return false;
    at(w).props[lowerCase(name)] = value;
    return true;
}

void* HeadlessBackend::getProp(HWND w, const std::string& name) const {
    if (!isWindow(w)) return nullptr;
    const auto& props = at(w).props;
    auto it = props.find(lowerCase(name));
    return it == props.end() ? nullptr : it->second;
}

void* HeadlessBackend::removeProp(HWND w, const std::string& name) {
    if (!isWindow(w)) return nullptr;
    auto& props = at(w).props;
    auto it = props.find(lowerCase(name));
    if (it == props.end()) return nullptr;
    void* v = it->second;
    props.erase(it);
    return v;
}

void HeadlessBackend::setFocus(HWND w) {
    focus_ = isWindow(w) ? w : 0;
}

bool HeadlessBackend::setForeground(HWND w) {
    if (foregroundRefused_ || !isWindow(w)) return false;
    foreground_ = w;
    return true;
}

DWORD HeadlessBackend::windowThread(HWND w) const {
    return isWindow(w) ? at(w).thread : 0;
}
void HeadlessBackend::setWindowThread(HWND w, DWORD thread) {
    at(w).thread = thread;
}

bool HeadlessBackend::attachThreadInput(DWORD from, DWORD to, bool attach) {
    attachCalls.emplace_back(from, to, attach);
    return from != to;
}

bool HeadlessBackend::takePosted(MSG& msg) {
    if (queue_.empty()) return false;
    msg = queue_.front();
    queue_.pop_front();
    return true;
}

UINT_PTR HeadlessBackend::setTimer(HWND w, UINT_PTR id, UINT elapseMs) {
    if (!isWindow(w)) return 0;
    uint64_t due = now_ + std::max<UINT>(elapseMs, 1);
    for (Timer& t : timers_) {
        if (t.hwnd == w && t.id == id) {  // setting it again restarts it
            t.elapse = std::max<UINT>(elapseMs, 1);
            t.due = due;
            t.order = timerOrder_++;
            return id;
        }
    }
    timers_.push_back({w, id, std::max<UINT>(elapseMs, 1), due, timerOrder_++});
    return id;
}

bool HeadlessBackend::killTimer(HWND w, UINT_PTR id) {
    return std::erase_if(timers_, [&](const Timer& t) { return t.hwnd == w && t.id == id; }) != 0;
}

void HeadlessBackend::advanceTime(UINT ms) {
    uint64_t end = now_ + ms;
    for (;;) {
        auto next =
            std::min_element(timers_.begin(), timers_.end(), [](const Timer& a, const Timer& b) {
                return a.due != b.due ? a.due < b.due : a.order < b.order;
            });
        if (next == timers_.end() || next->due > end) break;
        now_ = next->due;
        Timer fired = *next;
        next->due += next->elapse;
        next->order = timerOrder_++;
        // The handler may kill or set timers, or destroy the window.
        if (WNDPROC proc = isWindow(fired.hwnd) ? windowProc(fired.hwnd) : nullptr)
            proc(fired.hwnd, WM_TIMER, fired.id, 0);
    }
    now_ = end;
}

bool HeadlessBackend::cursorPos(POINT& p) const {
    if (cursorFails_) return false;
    p = cursor_;
    return true;
}

bool HeadlessBackend::waitForInput(HWND active) {
    if (script_.empty()) {
        // A modal dialog left open by its script is a fault of the test; the
        // application's own loop simply ends.
        if (active) scriptErrors.push_back("script ran out");
        return false;
    }
    ScriptStep step = std::move(script_.front());
    script_.pop_front();
    if (!active || !isWindow(active)) active = foreground_;
    std::string error = step.run(active);
    if (!error.empty()) scriptErrors.push_back(step.description + ": " + error);
    return true;
}

}  // namespace qv::platform::win
