// User-interface services: message boxes and the wait cursor.
//
// Every user-visible failure goes through ShowError. The backends decide what
// a message box is: standard error for the command-line tool, a list that a
// test reads back, and later real windows.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace qv::platform {

// A window as the services know it; 0 is no window.
using WindowId = uint32_t;

enum class MessageIcon { Error, Information, Warning, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MessageResult { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

struct MessageBox {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::Information;
    MessageButtons buttons = MessageButtons::Ok;
    WindowId owner = 0;
};

class UserInterface {
public:
    virtual ~UserInterface() = default;

    // Formats the text (at most 512 characters; longer text is cut) and shows
    // it with the caption "Quorvex error" and the error icon, owned by `owner`
    // when it is a window, else by the main window, else by none.
    void ShowError(WindowId owner, const char* format, ...) __attribute__((format(printf, 3, 4)));
    // The same with the caption "Quorvex" and an OK button.
    void ShowInfo(WindowId owner, const char* format, ...) __attribute__((format(printf, 3, 4)));

    void setMainWindow(WindowId w) { mainWindow_ = w; }
    WindowId mainWindow() const { return mainWindow_; }

    // Shows a message box and returns the button the user chose.
    virtual MessageResult showMessage(const MessageBox& box) = 0;
    virtual void beginWaitCursor() {}
    virtual void endWaitCursor() {}

    static constexpr size_t kMaxMessage = 512;

private:
    void show(WindowId owner, const char* caption, MessageIcon icon, const char* format, va_list args);
    WindowId mainWindow_ = 0;
};

// Command-line backend: every message goes to standard error as
// "CAPTION: text"; questions are answered with their default (OK or Yes).
class StderrUserInterface : public UserInterface {
public:
    MessageResult showMessage(const MessageBox& box) override;
};

// Test backend: keeps every message box, answers from a queue (OK/Yes when
// empty), and counts the wait cursor.
class RecordingUserInterface : public UserInterface {
public:
    MessageResult showMessage(const MessageBox& box) override;
    void beginWaitCursor() override { ++waitDepth; ++waitCursorShown; }
    void endWaitCursor() override { --waitDepth; }

    std::vector<MessageBox> messages;
    std::deque<MessageResult> answers;
    int waitDepth = 0;
    int waitCursorShown = 0;
};

// Shows the wait cursor for the life of the object.
class WaitCursor {
public:
    explicit WaitCursor(UserInterface& ui) : ui_(ui) { ui_.beginWaitCursor(); }
    ~WaitCursor() { ui_.endWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    UserInterface& ui_;
};

}  // namespace qv::platform
