// File open and save dialogs.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace qv::platform {

struct FileDialogRequest {
    bool save = false;            // a save dialog, else an open dialog
    std::string defaultExtension;  // ".qw3"
    std::string initialFileName;   // "Qwmfout.qw3"
    std::string filter;            // "Quorvex QW3 file (*.QW3)|*.QW3|"
    bool hideReadOnly = true;
    bool confirmOverwrite = false;
};

class FileDialogService {
public:
    virtual ~FileDialogService() = default;
    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<std::string> ask(const FileDialogRequest& request) = 0;
};

// Headless backend: answers from a queue (cancel when empty) and keeps every
// request, so a test can check what was asked.
class ScriptedFileDialogs : public FileDialogService {
public:
    std::optional<std::string> ask(const FileDialogRequest& request) override {
        requests.push_back(request);
        if (answers.empty()) return std::nullopt;
        auto a = answers.front();
        answers.pop_front();
        return a;
    }
    std::deque<std::optional<std::string>> answers;
    std::vector<FileDialogRequest> requests;
};

}  // namespace qv::platform
