#include "platform/system_error.h"

#include <cerrno>
#include <cstring>

namespace qv::platform {

std::string SystemErrorText() {
    int e = errno;
    if (e == 0) return "Unknown error";
    char buf[256];
    // GNU strerror_r may return a static string instead of filling buf.
    const char* s = strerror_r(e, buf, sizeof buf);
    return s ? s : "Unknown error";
}

}  // namespace qv::platform
