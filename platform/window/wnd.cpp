#include "platform/window/wnd.h"

#include "platform/window/cmd_ui.h"
#include "platform/window/data_exchange.h"
#include "platform/window/framework.h"
#include "platform/window/win_app.h"

namespace qv::platform::win {

namespace {

Backend& backend() {
    return Framework::current().backend();
}

}  // namespace

// CWnd's own table: the standard handlers every window has.
const MessageMap* CWnd::GetThisMessageMap() {
    using ThisClass = CWnd;
    static const MessageMapEntry entries[] = {ON_WM_INITMENUPOPUP(){0, 0, 0, 0, nullptr, nullptr}};
    static const MessageMap map = {nullptr, entries};
    return &map;
}

const MessageMap* CWnd::GetMessageMap() const {
    return GetThisMessageMap();
}

CWnd::~CWnd() {
    if (alive_) *alive_ = false;  // a handler of this window is still on the stack
    if (m_hWnd && Framework::installed()) {
        HWND w = m_hWnd;
        if (Framework::current().permanent(w) == this) {
            Framework::current().detach(w);
            m_hWnd = 0;
            win::DestroyWindow(w);
        }
    }
}

void CWnd::attachTo(HWND w) {
    m_hWnd = w;
    Framework::current().attach(w, this);
}

bool CWnd::CreateEx(DWORD exStyle, const std::string& className, const std::string& title,
                    DWORD style, const RECT& rect, CWnd* parent, UINT id, ControlKind kind) {
    if (m_hWnd) return false;
    WindowCreate c;
    c.kind = kind;
    c.className = className;
    c.text = title;
    c.style = style;
    c.exStyle = exStyle;
    c.rect = rect;
    c.parent = parent ? parent->m_hWnd : 0;
    c.id = id;
    c.proc = &CWnd::StandardWindowProc;
    HWND w = backend().createWindow(c);
    if (!w) return false;
    attachTo(w);
    if (SendMessage(WM_CREATE) == -1) {
        DestroyWindow();
        return false;
    }
    return true;
}

bool CWnd::Create(const std::string& className, const std::string& title, DWORD style,
                  const RECT& rect, CWnd* parent, UINT id) {
    return CreateEx(0, className, title, style, rect, parent, id);
}

bool CWnd::DestroyWindow() {
    if (!m_hWnd) return false;
    return win::DestroyWindow(m_hWnd);
}

CWnd* CWnd::FromHandle(HWND w) {
    if (!w || !backend().isWindow(w)) return nullptr;
    if (CWnd* p = FromHandlePermanent(w)) return p;
    return Framework::current().wrapper(w);
}

CWnd* CWnd::FromHandlePermanent(HWND w) {
    return Framework::current().permanent(w);
}

bool CWnd::SubclassWindow(HWND w) {
    if (m_hWnd || !backend().isWindow(w) || FromHandlePermanent(w)) return false;
    Framework::current().windowGone(w);  // drop a wrapper
    attachTo(w);
    WNDPROC old = SubclassWindowProc(w, &CWnd::StandardWindowProc);
    super_ = old == &CWnd::StandardWindowProc ? nullptr : old;
    return true;
}

bool CWnd::SubclassDlgItem(UINT id, CWnd* parent) {
    return parent && SubclassWindow(parent->GetDlgItemHandle(int(id)));
}

HWND CWnd::UnsubclassWindow() {
    HWND w = m_hWnd;
    if (!w) return 0;
    SubclassWindowProc(w, super_ ? super_ : &CWnd::StandardWindowProc);
    super_ = nullptr;
    Framework::current().detach(w);
    m_hWnd = 0;
    return w;
}

void CWnd::SetWindowText(const std::string& text) {
    backend().setText(m_hWnd, text);
}
std::string CWnd::GetWindowText() const {
    return backend().text(m_hWnd);
}

bool CWnd::EnableWindow(bool enable) {
    bool wasDisabled = !win::IsWindowEnabled(m_hWnd);
    ModifyStyle(enable ? WS_DISABLED : 0, enable ? 0 : WS_DISABLED);
    if (wasDisabled == enable) SendMessage(WM_ENABLE, enable);
    return wasDisabled;
}

bool CWnd::IsWindowEnabled() const {
    return win::IsWindowEnabled(m_hWnd);
}

bool CWnd::ShowWindow(int command) {
    bool wasVisible = (GetStyle() & WS_VISIBLE) != 0;
    bool show = command != SW_HIDE;
    ModifyStyle(show ? 0 : WS_VISIBLE, show ? WS_VISIBLE : 0);
    if (wasVisible != show) SendMessage(WM_SHOWWINDOW, show);
    return wasVisible;
}

bool CWnd::IsWindowVisible() const {
    return win::IsWindowVisible(m_hWnd);
}
DWORD CWnd::GetStyle() const {
    return backend().style(m_hWnd);
}
DWORD CWnd::GetExStyle() const {
    return backend().exStyle(m_hWnd);
}

bool CWnd::ModifyStyle(DWORD remove, DWORD add) {
    DWORD old = GetStyle();
    DWORD now = (old & ~remove) | add;
    backend().setStyle(m_hWnd, now);
    return now != old;
}

bool CWnd::ModifyStyleEx(DWORD remove, DWORD add) {
    DWORD old = GetExStyle();
    DWORD now = (old & ~remove) | add;
    backend().setExStyle(m_hWnd, now);
    return now != old;
}

void CWnd::MoveWindow(int x, int y, int width, int height) {
    backend().setRect(m_hWnd, RECT{x, y, x + width, y + height});
}

bool CWnd::SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    if (!m_hWnd) return false;
    RECT r = backend().rect(m_hWnd);
    if (!(flags & SWP_NOMOVE)) r = RECT{x, y, x + r.width(), y + r.height()};
    if (!(flags & SWP_NOSIZE)) r.right = r.left + cx, r.bottom = r.top + cy;
    backend().setRect(m_hWnd, r);
    if (!(flags & SWP_NOZORDER) && insertAfter == HWND_TOPMOST) ModifyStyleEx(0, WS_EX_TOPMOST);
    if (flags & SWP_SHOWWINDOW) ShowWindow(SW_SHOW);
    if (flags & SWP_HIDEWINDOW) ShowWindow(SW_HIDE);
    if ((flags & SWP_SHOWWINDOW) && !(flags & SWP_NOACTIVATE)) win::SetForegroundWindow(m_hWnd);
    return true;
}

RECT CWnd::GetWindowRect() const {
    RECT r = backend().rect(m_hWnd);
    for (HWND p = backend().parent(m_hWnd); p; p = backend().parent(p)) {
        RECT pr = backend().rect(p);
        r = RECT{r.left + pr.left, r.top + pr.top, r.right + pr.left, r.bottom + pr.top};
    }
    return r;
}

RECT CWnd::GetClientRect() const {
    RECT r = backend().rect(m_hWnd);
    return RECT{0, 0, r.width(), r.height()};
}

CWnd* CWnd::GetParent() const {
    return m_hWnd ? FromHandle(backend().parent(m_hWnd)) : nullptr;
}

HWND CWnd::GetDlgItemHandle(int id) const {
    if (!m_hWnd) return 0;
    for (HWND c : backend().children(m_hWnd))
        if (int(backend().controlId(c)) == id) return c;
    return 0;
}

CWnd* CWnd::GetDlgItem(int id) const {
    return FromHandle(GetDlgItemHandle(id));
}
int CWnd::GetDlgCtrlID() const {
    return int(backend().controlId(m_hWnd));
}

void CWnd::SetDlgItemText(int id, const std::string& text) {
    if (HWND c = GetDlgItemHandle(id)) backend().setText(c, text);
}

std::string CWnd::GetDlgItemText(int id) const {
    HWND c = GetDlgItemHandle(id);
    return c ? backend().text(c) : std::string();
}

void CWnd::CheckDlgButton(int id, int check) {
    if (HWND c = GetDlgItemHandle(id)) backend().setCheckState(c, check);
}

int CWnd::IsDlgButtonChecked(int id) const {
    HWND c = GetDlgItemHandle(id);
    return c ? backend().checkState(c) : BST_UNCHECKED;
}

void CWnd::CheckRadioButton(int first, int last, int check) {
    for (HWND c : backend().children(m_hWnd)) {
        int id = int(backend().controlId(c));
        if (id >= first && id <= last)
            backend().setCheckState(c, id == check ? BST_CHECKED : BST_UNCHECKED);
    }
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return SendMessageW(m_hWnd, message, wParam, lParam);
}

bool CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return m_hWnd && PostMessageW(m_hWnd, message, wParam, lParam);
}

UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapseMs) {
    return win::SetTimer(m_hWnd, id, elapseMs);
}
bool CWnd::KillTimer(UINT_PTR id) {
    return win::KillTimer(m_hWnd, id);
}
CWnd* CWnd::SetFocus() {
    return FromHandle(win::SetFocus(m_hWnd));
}
CWnd* CWnd::GetFocus() {
    return FromHandle(win::GetFocus());
}
bool CWnd::SetForegroundWindow() {
    return win::SetForegroundWindow(m_hWnd);
}
CWnd* CWnd::GetForegroundWindow() {
    return FromHandle(win::GetForegroundWindow());
}

MessageResult CWnd::MessageBox(const std::string& text, const std::string& caption,
                               MessageIcon icon, MessageButtons buttons) {
    UserInterface& ui = Framework::current().ui();
    platform::MessageBox box;
    box.text = text;
    box.caption = caption;
    box.icon = icon;
    box.buttons = buttons;
    box.owner = m_hWnd ? m_hWnd : ui.mainWindow();
    return ui.showMessage(box);
}

bool CWnd::UpdateData(bool save) {
    CDataExchange dx(this, save);
    try {
        DoDataExchange(&dx);
    } catch (const DataExchangeFailed&) {
        return false;
    }
    return true;
}

void CWnd::DoDataExchange(CDataExchange*) {}

LRESULT CWnd::StandardWindowProc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* p = FromHandlePermanent(w);
    if (message == WM_NCDESTROY) {
        // The window is gone from the backend already: let go of it.
        if (p) {
            Framework::current().detach(w);
            p->m_hWnd = 0;
            p->super_ = nullptr;
            p->PostNcDestroy();
        }
        return 0;
    }
    if (!p) return DefWindowProcW(w, message, wParam, lParam);
    return p->WindowProc(message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // A window may delete itself while it handles a message (a tip that
    // closes on its timer): after that nothing of it may be touched.
    bool alive = true;
    bool* outer = alive_;
    alive_ = &alive;
    MSG saved = current_;
    current_ = MSG{m_hWnd, message, wParam, lParam};
    LRESULT result = 0;
    bool handled = OnWndMsg(message, wParam, lParam, &result);
    if (alive && !handled) result = DefWindowProc(message, wParam, lParam);
    if (!alive) {
        if (outer) *outer = false;
        return result;
    }
    alive_ = outer;
    current_ = saved;
    return result;
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam)) return false;
        *result = 0;
        return true;
    }
    for (const MessageMap* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
        for (const MessageMapEntry* e = map->entries; e->thunk; ++e) {
            UINT m = e->registered ? *e->registered : e->message;
            if (m != message || e->message == WM_COMMAND || e->message == kUpdateCommandUi)
                continue;
            if (e->registered && *e->registered == 0) continue;
            *result = e->thunk(this, MapCall{message, wParam, lParam, 0, nullptr});
            return true;
        }
    }
    return false;
}

bool CWnd::OnCommand(WPARAM wParam, LPARAM) {
    return OnCmdMsg(LOWORD(wParam), HIWORD(wParam), nullptr);
}

bool CWnd::OnCmdMsg(UINT id, UINT code, CCmdUI* cmdUI) {
    UINT wanted = cmdUI ? kUpdateCommandUi : WM_COMMAND;
    for (const MessageMap* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
        for (const MessageMapEntry* e = map->entries; e->thunk; ++e) {
            if (e->registered || e->message != wanted || id < e->idFirst || id > e->idLast)
                continue;
            if (!cmdUI && e->code != code) continue;
            e->thunk(this, MapCall{WM_COMMAND, MAKEWPARAM(id, code), 0, id, cmdUI});
            return true;
        }
    }
    return false;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (super_) return CallWindowProcW(super_, m_hWnd, message, wParam, lParam);
    return DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(current_.message, current_.wParam, current_.lParam);
}

void CWnd::OnTimer(UINT_PTR) {
    Default();
}
void CWnd::OnPaint() {
    Default();
}
void CWnd::OnDestroy() {
    Default();
}
void CWnd::OnClose() {
    Default();
}
void CWnd::OnLButtonDown(UINT, POINT) {
    Default();
}
BOOL CWnd::OnHelpInfo(HELPINFO*) {
    return BOOL(Default());
}

void CWnd::OnInitMenuPopup(CMenu* popup, UINT, BOOL systemMenu) {
    if (!popup || systemMenu) return;
    for (MenuItem& item : popup->items) {
        if (item.separator || item.popup) continue;
        CCmdUI state(item.id, &item);
        state.DoUpdate(this);
    }
}

}  // namespace qv::platform::win
