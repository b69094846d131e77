#include "platform/window/cmd_ui.h"

#include "platform/window/framework.h"
#include "platform/window/win_app.h"
#include "platform/window/wnd.h"

namespace qv::platform::win {

void CCmdUI::Enable(bool on) {
    if (item_) item_->enabled = on;
    m_bEnableChanged = true;
}

void CCmdUI::SetCheck(int check) {
    if (item_) item_->checked = check != 0;
}

void CCmdUI::SetText(const std::string& text) {
    if (item_) item_->text = text;
}

bool CCmdUI::DoUpdate(CWnd* target) {
    CWnd* mainWnd = Framework::current().app ? Framework::current().app->m_pMainWnd : nullptr;
    bool mainAsked = false;
    for (CWnd* w = target; w && w->m_hWnd; w = w->GetParent()) {
        if (w == mainWnd) mainAsked = true;
        if (w->OnCmdMsg(m_nID, 0, this)) return true;
    }
    return !mainAsked && mainWnd && mainWnd->m_hWnd && mainWnd->OnCmdMsg(m_nID, 0, this);
}

}  // namespace qv::platform::win
