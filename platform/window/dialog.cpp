#include "platform/window/dialog.h"

#include <algorithm>

#include "platform/window/framework.h"

namespace qv::platform::win {

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_MESSAGE(WM_INITDIALOG, &CDialog::HandleInitDialog)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
ON_WM_CLOSE()
END_MESSAGE_MAP()

CDialog::CDialog(UINT templateId, CWnd* parent) : m_pParentWnd(parent), templateId_(templateId) {}

bool CDialog::createFromTemplate(CWnd* parent) {
    const DialogTemplate* t = Framework::current().resources().dialog(templateId_);
    if (!t || m_hWnd) return false;
    RECT r = dialogUnitsToPixels(t->x, t->y, t->cx, t->cy);
    if (!CreateEx(0, "#32770", t->caption, WS_POPUP | WS_CAPTION | WS_SYSMENU, r, parent, 0,
                  ControlKind::Dialog))
        return false;
    Backend& b = Framework::current().backend();
    for (const ControlTemplate& c : t->controls) {
        WindowCreate wc;
        wc.kind = c.kind;
        wc.text = c.text;
        wc.style = c.style;
        wc.rect = dialogUnitsToPixels(c.x, c.y, c.cx, c.cy);
        wc.parent = m_hWnd;
        wc.id = UINT(c.id);
        wc.proc = &CWnd::StandardWindowProc;
        HWND h = b.createWindow(wc);
        if (!c.items.empty()) b.setItems(h, c.items);
    }
    if (t->menuId && dialogMenu_.LoadMenu(t->menuId)) SetMenu(&dialogMenu_);
    ending_ = false;
    result_ = -1;
    if (SendMessage(WM_INITDIALOG)) {
        if (HWND first = GetNextDlgTabItem(0)) win::SetFocus(first);
    }
    if (m_hWnd) ShowWindow(SW_SHOW);
    return m_hWnd != 0;
}

INT_PTR CDialog::DoModal() {
    CWnd* parent = m_pParentWnd;
    bool parentWasEnabled = parent && parent->m_hWnd && parent->IsWindowEnabled();
    if (parentWasEnabled) parent->EnableWindow(false);
    INT_PTR result = -1;
    bool quit = false;
    MSG quitMsg;
    if (createFromTemplate(parent)) {
        Backend& b = Framework::current().backend();
        while (!ending_ && m_hWnd) {
            MSG msg;
            if (b.takePosted(msg)) {
                if (msg.message ==
                    WM_QUIT) {  // ends the dialog; the application's loop sees it again
                    quit = true;
                    quitMsg = msg;
                    break;
                }
                DispatchMessageW(msg);
            } else if (!b.waitForInput(m_hWnd)) {
                break;
            }
        }
        if (ending_) result = result_;
        if (m_hWnd) DestroyWindow();
    }
    if (parentWasEnabled && parent->m_hWnd) parent->EnableWindow(true);
    if (quit) Framework::current().backend().post(quitMsg);
    return result;
}

bool CDialog::Create(UINT templateId, CWnd* parent) {
    templateId_ = templateId;
    m_pParentWnd = parent;
    return createFromTemplate(parent);
}

void CDialog::EndDialog(INT_PTR result) {
    ending_ = true;
    result_ = result;
    ShowWindow(SW_HIDE);
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) {
    return OnInitDialog();
}

BOOL CDialog::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(true)) return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::OnClose() {
    SendMessage(WM_COMMAND, MAKEWPARAM(UINT(IDCANCEL), BN_CLICKED));
}

HWND CDialog::GetNextDlgTabItem(HWND from, bool previous) const {
    Backend& b = Framework::current().backend();
    std::vector<HWND> stops;
    for (HWND c : b.children(m_hWnd))
        if ((b.style(c) & (WS_TABSTOP | WS_VISIBLE | WS_DISABLED)) == (WS_TABSTOP | WS_VISIBLE))
            stops.push_back(c);
    if (stops.empty()) return 0;
    if (previous) std::reverse(stops.begin(), stops.end());
    for (size_t i = 0; i < stops.size(); ++i)
        if (stops[i] == from) return stops[(i + 1) % stops.size()];
    return stops.front();
}

}  // namespace qv::platform::win
