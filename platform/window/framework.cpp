#include "platform/window/framework.h"

#include <cstdio>
#include <cstdlib>

#include "platform/window/wnd.h"

namespace qv::platform::win {

namespace {

Framework* currentFramework = nullptr;

}  // namespace

Framework::Framework(Backend& backend, UserInterface& ui, FileDialogService* fileDialogs)
    : backend_(backend), ui_(ui), fileDialogs_(fileDialogs), previous_(currentFramework) {
    currentFramework = this;
}

Framework::~Framework() {
    for (auto& [w, p] : wrappers_) delete p;
    currentFramework = previous_;
}

Framework& Framework::current() {
    if (!currentFramework) {
        std::fputs("window framework used without a Framework\n", stderr);
        std::abort();
    }
    return *currentFramework;
}

bool Framework::installed() {
    return currentFramework != nullptr;
}

CWnd* Framework::permanent(HWND w) const {
    auto it = permanent_.find(w);
    return it == permanent_.end() ? nullptr : it->second;
}

void Framework::attach(HWND w, CWnd* object) {
    permanent_[w] = object;
}
void Framework::detach(HWND w) {
    permanent_.erase(w);
}

CWnd* Framework::wrapper(HWND w) {
    auto it = wrappers_.find(w);
    if (it != wrappers_.end()) return it->second;
    CWnd* p = new CWnd;
    p->m_hWnd = w;  // not in the permanent map: messages go to the window's own procedure
    wrappers_.emplace(w, p);
    return p;
}

void Framework::windowGone(HWND w) {
    auto it = wrappers_.find(w);
    if (it == wrappers_.end()) return;
    it->second->m_hWnd = 0;
    delete it->second;
    wrappers_.erase(it);
}

}  // namespace qv::platform::win
