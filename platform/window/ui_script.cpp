#include "platform/window/ui_script.h"

#include "platform/window/framework.h"
#include "platform/window/wnd.h"

namespace qv::platform::win {

namespace {

Backend& backend() {
    return Framework::current().backend();
}

std::string usable(HWND window, int id, HWND& control) {
    if (!IsWindow(window)) return "no window";
    control = CWnd::FromHandle(window)->GetDlgItemHandle(id);
    if (!control) return "no control " + std::to_string(id);
    if (!IsWindowVisible(control)) return "control " + std::to_string(id) + " is hidden";
    if (!IsWindowEnabled(control)) return "control " + std::to_string(id) + " is disabled";
    return "";
}

void notifyParent(HWND control, UINT code) {
    HWND parent = backend().parent(control);
    SendMessageW(parent, WM_COMMAND, MAKEWPARAM(backend().controlId(control), code),
                 LPARAM(control));
}

bool radioGroupStart(HWND c) {
    return backend().kind(c) != ControlKind::RadioButton || (backend().style(c) & WS_GROUP);
}

}  // namespace

std::string setControlText(HWND window, int id, const std::string& text) {
    HWND c;
    std::string error = usable(window, id, c);
    if (!error.empty()) return error;
    backend().setText(c, text);
    if (backend().kind(c) == ControlKind::Edit) notifyParent(c, EN_CHANGE);
    return "";
}

std::string setControlCheck(HWND window, int id, int check) {
    HWND c;
    std::string error = usable(window, id, c);
    if (!error.empty()) return error;
    backend().setCheckState(c, check);
    return "";
}

std::string selectComboItem(HWND window, int id, int index) {
    HWND c;
    std::string error = usable(window, id, c);
    if (!error.empty()) return error;
    if (index < 0 || index >= int(backend().items(c).size()))
        return "control " + std::to_string(id) + " has no item " + std::to_string(index);
    backend().setSelection(c, index);
    notifyParent(c, CBN_SELCHANGE);
    return "";
}

std::string clickControl(HWND window, int id) {
    HWND c;
    std::string error = usable(window, id, c);
    if (!error.empty()) return error;
    DWORD kindStyle = backend().style(c) & 0xF;
    if (backend().kind(c) == ControlKind::CheckBox && kindStyle == BS_AUTOCHECKBOX) {
        backend().setCheckState(c, backend().checkState(c) ? BST_UNCHECKED : BST_CHECKED);
    } else if (backend().kind(c) == ControlKind::RadioButton && kindStyle == BS_AUTORADIOBUTTON) {
        // Clear the other buttons of the group: back to its start, on to its end.
        std::vector<HWND> siblings = backend().children(backend().parent(c));
        size_t at = 0;
        while (siblings[at] != c) ++at;
        size_t first = at;
        while (first > 0 && !(backend().style(siblings[first]) & WS_GROUP) &&
               backend().kind(siblings[first - 1]) == ControlKind::RadioButton)
            --first;
        for (size_t i = first; i < siblings.size(); ++i) {
            if (i > first && radioGroupStart(siblings[i])) break;
            backend().setCheckState(siblings[i], siblings[i] == c ? BST_CHECKED : BST_UNCHECKED);
        }
    }
    notifyParent(c, BN_CLICKED);
    return "";
}

std::string chooseMenuCommand(HWND window, UINT id) {
    CWnd* w = IsWindow(window) ? CWnd::FromHandle(window) : nullptr;
    if (!w) return "no window";
    CMenu* bar = w->GetMenu();
    if (!bar) return "no menu";
    CMenu* popup = bar->findPopupOf(id);
    if (!popup) return "no menu item " + std::to_string(id);
    // Open every popup on the way, as the user does.
    std::vector<std::pair<CMenu*, int>> path;
    std::function<bool(CMenu*)> find = [&](CMenu* m) {
        for (size_t i = 0; i < m->items.size(); ++i) {
            CMenu* sub = m->items[i].popup.get();
            if (!sub) continue;
            path.emplace_back(sub, int(i));
            if (sub == popup || find(sub)) return true;
            path.pop_back();
        }
        return false;
    };
    if (popup != bar) find(bar);
    for (auto& [m, index] : path) w->SendMessage(WM_INITMENUPOPUP, WPARAM(m), MAKELPARAM(index, 0));
    if (!IsWindow(window)) return "";
    if (!bar->isEnabled(id)) return "menu item " + std::to_string(id) + " is disabled";
    w->SendMessage(WM_COMMAND, MAKEWPARAM(id, 0), 0);
    return "";
}

std::string pressHelp(HWND window) {
    if (!IsWindow(window)) return "no window";
    HELPINFO info;
    HWND focus = GetFocus();
    if (focus && backend().isWindow(focus) && backend().parent(focus) == window) {
        info.item = focus;
        info.ctrlId = int(backend().controlId(focus));
    }
    SendMessageW(window, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    return "";
}

ControlState controlState(HWND window, int id) {
    ControlState s;
    HWND c = IsWindow(window) ? CWnd::FromHandle(window)->GetDlgItemHandle(id) : 0;
    if (!c) return s;
    Backend& b = backend();
    s.id = id;
    s.kind = b.kind(c);
    s.text = b.text(c);
    s.check = b.checkState(c);
    s.selection = b.selection(c);
    s.items = b.items(c);
    s.enabled = IsWindowEnabled(c);
    s.visible = IsWindowVisible(c);
    return s;
}

std::vector<ControlState> allControls(HWND window) {
    std::vector<ControlState> r;
    if (!IsWindow(window)) return r;
    for (HWND c : backend().children(window)) {
        ControlState s = controlState(window, int(backend().controlId(c)));
        r.push_back(s);
    }
    return r;
}

UiScript& UiScript::add(std::string description, std::function<std::string(HWND)> run) {
    backend_.addStep(ScriptStep{std::move(description), std::move(run)});
    return *this;
}

UiScript& UiScript::setText(int id, const std::string& text) {
    return add("set text of " + std::to_string(id),
               [=](HWND w) { return setControlText(w, id, text); });
}

UiScript& UiScript::setCheck(int id, int check) {
    return add("set check of " + std::to_string(id),
               [=](HWND w) { return setControlCheck(w, id, check); });
}

UiScript& UiScript::select(int id, int index) {
    return add("select in " + std::to_string(id),
               [=](HWND w) { return selectComboItem(w, id, index); });
}

UiScript& UiScript::click(int id) {
    return add("click " + std::to_string(id), [=](HWND w) { return clickControl(w, id); });
}

UiScript& UiScript::chooseMenu(UINT id) {
    return add("choose menu " + std::to_string(id),
               [=](HWND w) { return chooseMenuCommand(w, id); });
}

UiScript& UiScript::help() {
    return add("press F1", [](HWND w) { return pressHelp(w); });
}

UiScript& UiScript::answerMessage(MessageResult result) {
    RecordingUserInterface* ui = ui_;
    return add("answer message", [=](HWND) -> std::string {
        if (!ui) return "no recording user interface";
        ui->answers.push_back(result);
        return "";
    });
}

UiScript& UiScript::answerFile(std::optional<std::string> path) {
    ScriptedFileDialogs* files = files_;
    return add("answer file dialog", [=](HWND) -> std::string {
        if (!files) return "no scripted file dialogs";
        files->answers.push_back(path);
        return "";
    });
}

UiScript& UiScript::advance(UINT ms) {
    HeadlessBackend* b = &backend_;
    return add("advance " + std::to_string(ms) + " ms", [=](HWND) {
        b->advanceTime(ms);
        return std::string();
    });
}

UiScript& UiScript::inspect(std::function<void(HWND window)> look) {
    return add("inspect", [look = std::move(look)](HWND w) {
        look(w);
        return std::string();
    });
}

}  // namespace qv::platform::win
