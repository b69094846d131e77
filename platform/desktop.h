// Opening links and files with the desktop's own programs.
#pragma once

#include <string>
#include <vector>

namespace qv::platform {

class DesktopService {
public:
    virtual ~DesktopService() = default;
    // Opens a link or a file as the desktop does ("open"); the result is not
    // examined by the callers, as a link that cannot be opened does nothing.
    virtual bool open(const std::string& target) = 0;
};

// Runs xdg-open in the background; false when it could not be started.
class XdgDesktop : public DesktopService {
public:
    bool open(const std::string& target) override;
};

// Headless backend: keeps every request.
class RecordingDesktop : public DesktopService {
public:
    bool open(const std::string& target) override {
        opened.push_back(target);
        return true;
    }
    std::vector<std::string> opened;
};

}  // namespace qv::platform
