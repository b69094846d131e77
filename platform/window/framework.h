// The framework's context: the backend, the user-interface services that its
// message boxes go through, the file dialogs, the loaded resources and the
// map from window handles to the C++ objects behind them.
//
// A program (or a test) builds one Framework; while it lives it is the
// current one. Frameworks nest: destroying one makes the previous current.
#pragma once

#include <map>
#include <string>

#include "platform/file_dialog.h"
#include "platform/user_interface.h"
#include "platform/window/backend.h"
#include "platform/window/resources.h"

namespace qv::platform::win {

class CWnd;
class CWinApp;

class Framework {
  public:
    Framework(Backend& backend, UserInterface& ui, FileDialogService* fileDialogs = nullptr);
    ~Framework();
    Framework(const Framework&) = delete;
    Framework& operator=(const Framework&) = delete;

    // The current framework; using the window framework without one is a
    // programming error and aborts.
    static Framework& current();
    static bool installed();

    Backend& backend() { return backend_; }
    UserInterface& ui() { return ui_; }
    FileDialogService* fileDialogs() { return fileDialogs_; }
    Resources& resources() { return resources_; }

    // Caption of the framework's own message boxes (range messages).
    std::string appTitle = "Quorvex";
    CWinApp* app = nullptr;

    // Handle map: the object attached to a window, or none.
    CWnd* permanent(HWND w) const;
    void attach(HWND w, CWnd* object);
    void detach(HWND w);
    // A wrapper object for a window that has none of its own; it lives until
    // the window is destroyed.
    CWnd* wrapper(HWND w);
    void windowGone(HWND w);

  private:
    Backend& backend_;
    UserInterface& ui_;
    FileDialogService* fileDialogs_;
    Resources resources_;
    std::map<HWND, CWnd*> permanent_;
    std::map<HWND, CWnd*> wrappers_;
    Framework* previous_;
};

}  // namespace qv::platform::win
