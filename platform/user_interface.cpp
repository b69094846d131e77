#include "platform/user_interface.h"

#include <cstdio>

namespace qv::platform {

void UserInterface::show(WindowId owner, const char* caption, MessageIcon icon, const char* format,
                         va_list args) {
    char buf[kMaxMessage + 1];
    std::vsnprintf(buf, sizeof buf, format, args);  // cuts longer text at 512 characters
    MessageBox box;
    box.text = buf;
    box.caption = caption;
    box.icon = icon;
    box.buttons = MessageButtons::Ok;
    box.owner = owner ? owner : mainWindow_;
    showMessage(box);
}

void UserInterface::ShowError(WindowId owner, const char* format, ...) {
    va_list args;
    va_start(args, format);
    show(owner, "Quorvex error", MessageIcon::Error, format, args);
    va_end(args);
}

void UserInterface::ShowInfo(WindowId owner, const char* format, ...) {
    va_list args;
    va_start(args, format);
    show(owner, "Quorvex", MessageIcon::Information, format, args);
    va_end(args);
}

MessageResult StderrUserInterface::showMessage(const MessageBox& box) {
    std::fprintf(stderr, "%s: %s\n", box.caption.c_str(), box.text.c_str());
    std::fflush(stderr);
    switch (box.buttons) {
        case MessageButtons::YesNo:
        case MessageButtons::YesNoCancel: return MessageResult::Yes;
        default: return MessageResult::Ok;
    }
}

MessageResult RecordingUserInterface::showMessage(const MessageBox& box) {
    messages.push_back(box);
    if (answers.empty()) {
        return box.buttons == MessageButtons::YesNo || box.buttons == MessageButtons::YesNoCancel
                   ? MessageResult::Yes
                   : MessageResult::Ok;
    }
    MessageResult r = answers.front();
    answers.pop_front();
    return r;
}

}  // namespace qv::platform
