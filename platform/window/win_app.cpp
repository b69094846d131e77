#include "platform/window/win_app.h"

#include "platform/window/framework.h"

namespace qv::platform::win {

CWinApp::CWinApp(const std::string& appName) : m_pszAppName(appName) {
    Framework::current().app = this;
}

CWinApp::~CWinApp() {
    if (Framework::installed() && Framework::current().app == this)
        Framework::current().app = nullptr;
}

int CWinApp::Run() {
    Backend& b = Framework::current().backend();
    for (;;) {
        MSG msg;
        if (b.takePosted(msg)) {
            if (msg.message == WM_QUIT) {
                ExitInstance();
                return int(msg.wParam);
            }
            DispatchMessageW(msg);
        } else if (!b.waitForInput(0)) {
            return ExitInstance();
        }
    }
}

}  // namespace qv::platform::win
