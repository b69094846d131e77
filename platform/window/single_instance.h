// Windows of which at most one is open: one process-wide pointer per class
// names the open instance, and asking again brings that one forward.
//
//   INT_PTR ShowAbout(CWnd* parent) {
//       return ShowSingleModal<CDlgAbout>([&] { return std::make_unique<CDlgAbout>(parent); });
//   }
#pragma once

#include <memory>

#include "platform/window/window_api.h"

namespace qv::platform::win {

template <class T>
class SingleInstance {
  public:
    static T* open() { return instance_; }

    // Names `window` the open instance for the life of the scope.
    class Scope {
      public:
        explicit Scope(T& window) { instance_ = &window; }
        ~Scope() { instance_ = nullptr; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

    // Makes the open instance the foreground window and shows it; false when
    // none is open.
    static bool bringForward() {
        if (!instance_ || !instance_->m_hWnd) return false;
        ForceForeground(instance_->m_hWnd);
        instance_->ShowWindow(SW_SHOW);
        return true;
    }

  private:
    static inline T* instance_ = nullptr;
};

// Runs a dialog modally unless one of its class is open, which is brought
// forward instead (result 0).
template <class T, class Make>
INT_PTR ShowSingleModal(Make make) {
    if (SingleInstance<T>::bringForward()) return 0;
    std::unique_ptr<T> dialog = make();
    typename SingleInstance<T>::Scope scope(*dialog);
    return dialog->DoModal();
}

}  // namespace qv::platform::win
