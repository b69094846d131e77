#include "platform/window/resources.h"

#include <fstream>
#include <sstream>

namespace qv::platform::win {

namespace {

// A line split into words; quoted words keep their spaces, \" and \\ escape.
struct Token {
    std::string text;
    bool quoted = false;
};

bool tokenize(const std::string& line, std::vector<Token>& out, std::string& error) {
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            Token t{"", true};
            ++i;
            for (;;) {
                if (i >= line.size()) {
                    error = "unterminated text";
                    return false;
                }
                if (line[i] == '"') break;
                if (line[i] == '\\' && i + 1 < line.size()) ++i;
                t.text.push_back(line[i++]);
            }
            ++i;
            out.push_back(t);
        } else {
            Token t;
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                t.text.push_back(line[i++]);
            out.push_back(t);
        }
    }
    return true;
}

bool number(const Token& t, int& v) {
    if (t.quoted || t.text.empty()) return false;
    size_t used = 0;
    try {
        v = std::stoi(t.text, &used, 0);
    } catch (...) {
        return false;
    }
    return used == t.text.size();
}

bool controlKind(const std::string& word, ControlKind& kind, DWORD& style) {
    static const struct {
        const char* word;
        ControlKind kind;
        DWORD style;
    } kinds[] = {
        {"static", ControlKind::Static, 0},
        {"edit", ControlKind::Edit, WS_BORDER | ES_AUTOHSCROLL},
        {"button", ControlKind::Button, BS_PUSHBUTTON},
        {"check", ControlKind::CheckBox, BS_AUTOCHECKBOX},
        {"radio", ControlKind::RadioButton, BS_AUTORADIOBUTTON},
        {"combo", ControlKind::ComboBox, CBS_DROPDOWNLIST},
        {"group", ControlKind::GroupBox, BS_GROUPBOX},
    };
    for (const auto& k : kinds) {
        if (word == k.word) {
            kind = k.kind;
            style = k.style;
            return true;
        }
    }
    return false;
}

}  // namespace

RECT dialogUnitsToPixels(int x, int y, int cx, int cy) {
    constexpr int baseX = 6, baseY = 13;
    auto mx = [](int v) { return (v * baseX * 2 + (v < 0 ? -4 : 4)) / 8; };   // v * 6 / 4, rounded
    auto my = [](int v) { return (v * baseY * 2 + (v < 0 ? -8 : 8)) / 16; };  // v * 13 / 8, rounded
    RECT r;
    r.left = mx(x);
    r.top = my(y);
    r.right = r.left + mx(cx);
    r.bottom = r.top + my(cy);
    return r;
}

bool Resources::loadFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return loadText(text.str(), path, error);
}

bool Resources::loadText(const std::string& text, const std::string& name, std::string& error) {
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    DialogTemplate* dialog = nullptr;
    std::vector<MenuTemplate*> menuStack;  // the menu being read, then its open popups
    UINT menuId = 0;
    MenuTemplate menuRoot;
    auto fail = [&](const std::string& what) {
        error = name + ":" + std::to_string(lineNo) + ": " + what;
        return false;
    };
    while (std::getline(in, line)) {
        ++lineNo;
        std::vector<Token> t;
        std::string why;
        if (!tokenize(line, t, why)) return fail(why);
        if (t.empty()) continue;
        const std::string& word = t[0].text;
        int v[6];
        if (!dialog && menuStack.empty()) {
            if (word == "dialog") {
                if (t.size() != 7 || !number(t[1], v[0]) || !t[2].quoted || !number(t[3], v[1]) ||
                    !number(t[4], v[2]) || !number(t[5], v[3]) || !number(t[6], v[4]))
                    return fail("expected: dialog ID \"caption\" X Y CX CY");
                if (dialogs_.count(UINT(v[0]))) return fail("dialog " + t[1].text + " twice");
                dialog = &dialogs_[UINT(v[0])];
                *dialog = DialogTemplate{UINT(v[0]), t[2].text, v[1], v[2], v[3], v[4], 0, {}};
            } else if (word == "menu") {
                if (t.size() != 2 || !number(t[1], v[0])) return fail("expected: menu ID");
                menuId = UINT(v[0]);
                menuRoot = MenuTemplate{};
                menuStack.push_back(&menuRoot);
            } else {
                return fail("expected dialog or menu, found " + word);
            }
        } else if (dialog) {
            ControlKind kind;
            DWORD style;
            if (word == "end") {
                dialog = nullptr;
            } else if (word == "menu") {
                if (t.size() != 2 || !number(t[1], v[0])) return fail("expected: menu ID");
                dialog->menuId = UINT(v[0]);
            } else if (controlKind(word, kind, style)) {
                if (t.size() < 7 || !number(t[1], v[0]) || !t[2].quoted || !number(t[3], v[1]) ||
                    !number(t[4], v[2]) || !number(t[5], v[3]) || !number(t[6], v[4]))
                    return fail("expected: " + word + " ID \"text\" X Y CX CY [flags]");
                ControlTemplate c{kind, v[0], t[2].text, v[1],
                                  v[2], v[3], v[4],      style | WS_CHILD | WS_VISIBLE,
                                  {}};
                for (size_t i = 7; i < t.size(); ++i) {
                    const std::string& f = t[i].text;
                    if (t[i].quoted) return fail("unexpected text \"" + f + "\"");
                    if (f == "tabstop")
                        c.style |= WS_TABSTOP;
                    else if (f == "group")
                        c.style |= WS_GROUP;
                    else if (f == "disabled")
                        c.style |= WS_DISABLED;
                    else if (f == "hidden")
                        c.style &= ~WS_VISIBLE;
                    else if (f == "default" && kind == ControlKind::Button)
                        c.style |= BS_DEFPUSHBUTTON;
                    else if (f == "notify" && kind == ControlKind::Static)
                        c.style |= SS_NOTIFY;
                    else if (f == "items" && kind == ControlKind::ComboBox) {
                        while (i + 1 < t.size() && t[i + 1].quoted) c.items.push_back(t[++i].text);
                    } else
                        return fail("unknown flag " + f);
                }
                dialog->controls.push_back(c);
            } else {
                return fail("unknown control kind " + word);
            }
        } else {
            MenuTemplate& into = *menuStack.back();
            if (word == "end") {
                menuStack.pop_back();
                if (menuStack.empty()) {
                    menuRoot.id = 0;
                    menus_[menuId] = menuRoot;
                }
            } else if (word == "popup" && t.size() == 2 && t[1].quoted) {
                into.children.push_back(MenuTemplate{0, t[1].text, false, {}});
                menuStack.push_back(&into.children.back());
            } else if (word == "item" && t.size() == 3 && number(t[1], v[0]) && v[0] > 0 &&
                       t[2].quoted) {
                into.children.push_back(MenuTemplate{UINT(v[0]), t[2].text, false, {}});
            } else if (word == "separator" && t.size() == 1) {
                into.children.push_back(MenuTemplate{0, "", true, {}});
            } else {
                return fail("expected: popup \"text\", item ID \"text\", separator or end");
            }
        }
    }
    if (dialog || !menuStack.empty()) return fail("missing end");
    return true;
}

const DialogTemplate* Resources::dialog(UINT id) const {
    auto it = dialogs_.find(id);
    return it == dialogs_.end() ? nullptr : &it->second;
}

const MenuTemplate* Resources::menu(UINT id) const {
    auto it = menus_.find(id);
    return it == menus_.end() ? nullptr : &it->second;
}

}  // namespace qv::platform::win
