#include "ui/copy_tip.h"

#include "platform/window/framework.h"
#include "platform/window/win_app.h"
#include "platform/window/window_api.h"
#include "ui/data_tip.h"

namespace qv::ui {

using namespace platform::win;

CopyTipUi::CopyTipUi(std::function<CWnd*()> mainWindow) : mainWindow_(std::move(mainWindow)) {}

void CopyTipUi::showCopyTip(const std::string& text) {
    POINT point;
    if (!GetCursorPos(&point)) return;
    CWnd* parent = nullptr;
    if (mainWindow_)
        parent = mainWindow_();
    else if (CWinApp* app = Framework::current().app)
        parent = app->m_pMainWnd;

    // The tip deletes itself when it closes; one that has no window never
    // shows and is deleted here.
    auto* tip = new TFXDataTip;
    if (!tip->Create(parent)) {
        delete tip;
        return;
    }
    tip->ShowTip(point, text);
}

}  // namespace qv::ui
