// Default widths and colours of the per-colour table.
#pragma once

#include "settings/aci_to_rgb.h"
#include "settings/wmf_settings.h"

namespace qv {

inline constexpr double kDefaultColorWidth = 0.01;

// Rows 1..255: Width = width, LineColor = FillColor = the colour of the row's index. Row 0 and
// Equals are left alone.
void resetColorDefaults(WmfSettings& settings, const ColorIndexSource& colors,
                        double width = kDefaultColorWidth);

}  // namespace qv
