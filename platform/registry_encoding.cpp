#include "platform/registry_encoding.h"

#include <cstdint>

namespace qv::platform {

namespace {

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// UTF-16 to UTF-8 from byte `from` on; a lone surrogate or an odd last byte
// becomes U+FFFD. Nullopt at a zero character.
std::optional<std::string> fromUtf16(const std::string& bytes, size_t from, bool bigEndian) {
    auto unit = [&](size_t i) -> uint32_t {
        auto b0 = uint8_t(bytes[i]), b1 = uint8_t(bytes[i + 1]);
        return bigEndian ? uint32_t(b0 << 8 | b1) : uint32_t(b1 << 8 | b0);
    };
    std::string out;
    out.reserve(bytes.size() / 2);
    size_t i = from;
    for (; i + 1 < bytes.size(); i += 2) {
        uint32_t u = unit(i);
        if (u == 0) return std::nullopt;
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
            uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        appendUtf8(out, (u >= 0xD800 && u < 0xE000) ? 0xFFFD : u);
    }
    if (i < bytes.size()) appendUtf8(out, 0xFFFD);
    return out;
}

bool startsWith(const std::string& s, const char* prefix, size_t n) {
    return s.size() >= n && s.compare(0, n, prefix, n) == 0;
}

}  // namespace

std::optional<std::string> decodeHiveText(const std::string& bytes) {
    if (startsWith(bytes, "\xFF\xFE", 2)) return fromUtf16(bytes, 2, false);
    if (startsWith(bytes, "\xFE\xFF", 2)) return fromUtf16(bytes, 2, true);
    if (bytes.size() >= 2 && bytes[0] != 0 && bytes[1] == 0) return fromUtf16(bytes, 0, false);
    size_t from = startsWith(bytes, "\xEF\xBB\xBF", 3) ? 3 : 0;
    if (bytes.find('\0', from) != std::string::npos) return std::nullopt;
    return bytes.substr(from);
}

}  // namespace qv::platform
