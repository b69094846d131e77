#include "settings/color_defaults.h"

namespace qv {

void resetColorDefaults(WmfSettings& settings, const ColorIndexSource& colors, double width) {
    for (int i = 1; i < kColorCount; ++i) {
        ColorEntry& row = settings.Colors[static_cast<std::size_t>(i)];
        row.Width = width;
        row.LineColor = colors.AciToRgb(i);
        row.FillColor = row.LineColor;
    }
}

}  // namespace qv
