// Names that compare without regard to case, as the registry and profile
// files compare them. Only ASCII letters are folded.
#pragma once

#include <string_view>

namespace qv::platform {

constexpr char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

constexpr bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

}  // namespace qv::platform
