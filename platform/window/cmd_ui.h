// The state of one menu item while its popup opens: a command-update handler
// enables it, checks it or changes its text.
#pragma once

#include <string>

#include "platform/window/menu.h"

namespace qv::platform::win {

class CWnd;

class CCmdUI {
  public:
    CCmdUI(UINT id, MenuItem* item) : m_nID(id), item_(item) {}
    void Enable(bool on = true);
    void SetCheck(int check = 1);
    void SetText(const std::string& text);
    // Asks `target` and then the windows behind it (parents, then the
    // application's main window) until one handles the id; true when one did.
    bool DoUpdate(CWnd* target);

    UINT m_nID;
    bool m_bEnableChanged = false;

  private:
    MenuItem* item_;
};

}  // namespace qv::platform::win
