// The built-in colour-index palettes: 256 colour indexes by 9 palette columns. Even columns
// 0, 2, 4, 6 are meant for a dark background, the odd column next to each for a light one;
// column 8 is the published colour-index palette.
#pragma once

#include <array>

#include "settings/color_ref.h"

namespace qv {

inline constexpr int kAciPaletteRows = 256;
inline constexpr int kAciPaletteColumns = 9;

using AciPaletteTable = std::array<std::array<ColorRef, kAciPaletteColumns>, kAciPaletteRows>;

// AciPalette[index][column].
extern const AciPaletteTable AciPalette;

// Guarded lookup: 0 for an index outside 0..255; a column outside 0..8 is clamped into it.
ColorRef aciPaletteColor(int index, int column);

}  // namespace qv
