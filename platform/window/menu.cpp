#include "platform/window/menu.h"

#include "platform/window/framework.h"

namespace qv::platform::win {

bool CMenu::LoadMenu(UINT id) {
    const MenuTemplate* t = Framework::current().resources().menu(id);
    if (!t) return false;
    loadTemplate(*t);
    return true;
}

void CMenu::loadTemplate(const MenuTemplate& t) {
    items.clear();
    for (const MenuTemplate& c : t.children) {
        if (c.separator)
            appendSeparator();
        else if (c.popup())
            appendPopup(c.text).loadTemplate(c);
        else
            appendItem(c.id, c.text);
    }
}

void CMenu::appendItem(UINT id, const std::string& text) {
    MenuItem item;
    item.id = id;
    item.text = text;
    items.push_back(std::move(item));
}

CMenu& CMenu::appendPopup(const std::string& text) {
    MenuItem item;
    item.text = text;
    item.popup = std::make_unique<CMenu>();
    items.push_back(std::move(item));
    return *items.back().popup;
}

void CMenu::appendSeparator() {
    MenuItem item;
    item.separator = true;
    items.push_back(std::move(item));
}

CMenu* CMenu::GetSubMenu(int pos) const {
    if (pos < 0 || pos >= int(items.size())) return nullptr;
    return items[size_t(pos)].popup.get();
}

bool CMenu::RemoveMenu(int pos) {
    if (pos < 0 || pos >= int(items.size())) return false;
    items.erase(items.begin() + pos);
    return true;
}

MenuItem* CMenu::findItem(UINT id) {
    for (MenuItem& item : items) {
        if (item.popup) {
            if (MenuItem* found = item.popup->findItem(id)) return found;
        } else if (!item.separator && item.id == id) {
            return &item;
        }
    }
    return nullptr;
}

CMenu* CMenu::findPopupOf(UINT id) {
    for (MenuItem& item : items) {
        if (item.popup) {
            if (CMenu* found = item.popup->findPopupOf(id)) return found;
        } else if (!item.separator && item.id == id) {
            return this;
        }
    }
    return nullptr;
}

bool CMenu::EnableMenuItem(UINT id, bool enabled) {
    MenuItem* item = findItem(id);
    if (item) item->enabled = enabled;
    return item != nullptr;
}

bool CMenu::CheckMenuItem(UINT id, bool checked) {
    MenuItem* item = findItem(id);
    if (item) item->checked = checked;
    return item != nullptr;
}

bool CMenu::isEnabled(UINT id) {
    MenuItem* item = findItem(id);
    return item && item->enabled;
}

bool CMenu::isChecked(UINT id) {
    MenuItem* item = findItem(id);
    return item && item->checked;
}

}  // namespace qv::platform::win
