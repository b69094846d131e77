// A colour as the metafile and the settings keep it: 0x00BBGGRR, red in the low byte.
#pragma once

#include <cstdint>

namespace qv {

using ColorRef = std::uint32_t;

constexpr ColorRef rgbColor(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
    return (red & 0xFFu) | ((green & 0xFFu) << 8) | ((blue & 0xFFu) << 16);
}

constexpr ColorRef greyColor(std::uint32_t level) {
    return rgbColor(level, level, level);
}

}  // namespace qv
