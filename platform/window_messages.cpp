#include "platform/window_messages.h"

#include <map>
#include <mutex>

namespace qv::platform {

uint32_t RegisterWindowMessageW(const std::string& name) {
    // Names compare without regard to case, as the platform's do.
    static std::mutex lock;
    static std::map<std::string, uint32_t> ids;
    std::string key;
    for (char c : name) key.push_back(char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
    std::lock_guard<std::mutex> guard(lock);
    auto it = ids.find(key);
    if (it != ids.end()) return it->second;
    uint32_t id = uint32_t(0xC000 + ids.size());
    ids.emplace(key, id);
    return id;
}

}  // namespace qv::platform
