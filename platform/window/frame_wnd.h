// CFrameWnd: a top-level window with a menu bar from the resources.
#pragma once

#include <string>

#include "platform/window/wnd.h"

namespace qv::platform::win {

class CFrameWnd : public CWnd {
  public:
    // `menuId` 0: no menu bar.
    bool Create(const std::string& className, const std::string& title, DWORD style,
                const RECT& rect, CWnd* parent = nullptr, UINT menuId = 0) {
        if (menuId && frameMenu_.LoadMenu(menuId)) SetMenu(&frameMenu_);
        return CreateEx(0, className, title, style, rect, parent, 0);
    }
    CMenu& menu() { return frameMenu_; }

  private:
    CMenu frameMenu_;
};

}  // namespace qv::platform::win
