#include "settings/compute_equals.h"

#include <array>

namespace qv {

void ComputeEquals(WmfSettings& settings, const ColorIndexSource& colors) {
    std::array<ColorRef, kColorCount> rgb{};
    for (int i = 1; i < kColorCount; ++i) rgb[static_cast<std::size_t>(i)] = colors.AciToRgb(i);

    for (int i = 1; i < kColorCount; ++i) {
        int equal = i;
        for (int j = 1; j < i; ++j) {
            if (rgb[static_cast<std::size_t>(j)] == rgb[static_cast<std::size_t>(i)]) {
                equal = j;
                break;
            }
        }
        settings.Colors[static_cast<std::size_t>(i)].Equals = equal;
    }
}

}  // namespace qv
