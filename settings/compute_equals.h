// Marks which rows of the per-colour table share a colour with a lower row.
#pragma once

#include "settings/aci_to_rgb.h"
#include "settings/wmf_settings.h"

namespace qv {

// For rows 1..255: Equals = the lowest index j in 1..i whose colour equals row i's colour.
// Rows with Equals == i are the primary rows. Row 0 is left alone.
void ComputeEquals(WmfSettings& settings, const ColorIndexSource& colors);

}  // namespace qv
