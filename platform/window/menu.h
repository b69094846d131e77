// Menus: items with a command id, a text, a check mark and an enabled flag;
// popups hold further items. A window's menu bar is a CMenu whose items are
// popups.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/window/resources.h"

namespace qv::platform::win {

class CMenu;

struct MenuItem {
    UINT id = 0;
    std::string text;
    bool separator = false;
    bool checked = false;
    bool enabled = true;
    std::unique_ptr<CMenu> popup;
};

class CMenu {
  public:
    // Replaces the items with those of menu `id` from the resources.
    bool LoadMenu(UINT id);
    void loadTemplate(const MenuTemplate& t);

    void appendItem(UINT id, const std::string& text);
    CMenu& appendPopup(const std::string& text);
    void appendSeparator();

    int GetMenuItemCount() const { return int(items.size()); }
    CMenu* GetSubMenu(int pos) const;
    bool RemoveMenu(int pos);  // by position

    // Items by command id, searched through every popup.
    MenuItem* findItem(UINT id);
    // The popup that holds item `id` directly, or none.
    CMenu* findPopupOf(UINT id);
    bool EnableMenuItem(UINT id, bool enabled);
    bool CheckMenuItem(UINT id, bool checked);
    bool isEnabled(UINT id);
    bool isChecked(UINT id);

    std::vector<MenuItem> items;
};

}  // namespace qv::platform::win
