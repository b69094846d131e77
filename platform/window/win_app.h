// CWinApp: the program object. Run pumps the message queue until WM_QUIT
// (or, headless, until the script is done).
#pragma once

#include <string>

#include "platform/window/wnd.h"

namespace qv::platform::win {

class CWinApp {
  public:
    explicit CWinApp(const std::string& appName = "Quorvex");
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() { return TRUE; }
    // The message loop; returns the WM_QUIT code, else ExitInstance's result.
    virtual int Run();
    virtual int ExitInstance() { return 0; }

    std::string m_pszAppName;
    CWnd* m_pMainWnd = nullptr;
};

}  // namespace qv::platform::win
