// Dialog and menu templates, read from the text files in resources/.
//
//   # a comment
//   dialog 9001 "Sample Options" 0 0 186 124      id, caption, x y cx cy in dialog units
//     menu 9002                                   the dialog's menu bar (optional)
//     check  1001 "Crop picture" 7 7 120 10 tabstop group
//     combo  1059 "" 60 90 48 60 tabstop items "0°" "90°" "180°" "270°"
//   end
//   menu 9002
//     popup "&File"
//       item 40016 "&Load Options"
//       separator
//     end
//   end
//
// Control kinds: static, edit, button, check, radio, combo, group. Flags after
// the geometry: tabstop, group, disabled, hidden, default (push button),
// notify (static), items "..." ... (combo box items). Controls keep the order
// of the file, which is their tab order.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/window/window_types.h"

namespace qv::platform::win {

struct ControlTemplate {
    ControlKind kind = ControlKind::Static;
    int id = IDC_STATIC;
    std::string text;
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    DWORD style = 0;                   // WS_* and the kind's own style bits
    std::vector<std::string> items;
};

struct DialogTemplate {
    UINT id = 0;
    std::string caption;
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    UINT menuId = 0;
    std::vector<ControlTemplate> controls;
};

struct MenuTemplate {
    UINT id = 0;  // command id of an item; 0 for a popup or a separator
    std::string text;
    bool separator = false;
    std::vector<MenuTemplate> children;  // a popup's items
    bool popup() const { return !separator && id == 0; }
};

// Pixels per dialog unit come from the dialog font's average character: 6 by
// 13 pixels for the headless font; x in quarters, y in eighths of it.
RECT dialogUnitsToPixels(int x, int y, int cx, int cy);

class Resources {
  public:
    // Reads one file of templates; on an error keeps what came before the
    // faulty line and returns false with `error` = "FILE:LINE: what".
    bool loadFile(const std::string& path, std::string& error);
    bool loadText(const std::string& text, const std::string& name, std::string& error);

    const DialogTemplate* dialog(UINT id) const;
    const MenuTemplate* menu(UINT id) const;  // the menu bar: its children are the popups

  private:
    std::map<UINT, DialogTemplate> dialogs_;
    std::map<UINT, MenuTemplate> menus_;
};

}  // namespace qv::platform::win
