// The one settings record of a program. Fields carry the names under which they are stored and
// are read and written directly.
#pragma once

#include <array>
#include <cstdint>

#include "settings/color_ref.h"

namespace qv {

// One row of the per-colour table, indexed by colour index.
struct ColorEntry {
    // Lowest index whose colour equals this row's colour; derived, never stored.
    std::int32_t Equals = 0;
    // Line width, in millimetres when IsMetric is 1, else in inches.
    double Width = 0.01;
    // Pen and text colour used with Lineoptions 3.
    ColorRef LineColor = 0;
    // Brush colour used with Filledoptions 3.
    ColorRef FillColor = 0;
};

inline constexpr int kColorCount = 256;

// Member order matters: the setting tables and the stores visit the fields in this order.
struct WmfSettings {
    // Rows 1..255 are used; their colours depend on the colour source and are filled by
    // resetColorDefaults() and ComputeEquals().
    std::array<ColorEntry, kColorCount> Colors{};

    std::int32_t Lineoptions = 0;
    std::int32_t MakeBlack = 0;
    std::int32_t Filledoptions = 0;
    std::int32_t Widthoptions = 0;
    std::int32_t Rotation = 0;
    std::int32_t Crop = 1;
    std::int32_t Tilemode = 1;
    std::int32_t Paperlast = 1;
    std::int32_t AskTilemode = 1;
    std::int32_t RemoveBackground = 1;
    std::int32_t WhiteBlack = 1;
    double Margin = 0.5;
    std::int32_t LeaveMargin = 1;
    std::int32_t ReplaceCopyclip = 0;
    std::int32_t Tooltip = 1;
    std::int32_t PopupSaveas = 0;
    std::int32_t StartWithOptions = 1;
    std::int32_t Outlinestoo = 0;
    std::int32_t IsMetric = 0;
    std::int32_t oPalette = 0;
    std::int32_t ForcedPalette = -1;
    std::int32_t RemoveLines = 0;
    double FixedWidth = 0.01;
    double Percentage = 100.0;
    double PictureWidth = 6.0;
    double PictureHeight = 9.0;
    double WMFScale = 1.0;
    double DrawingScale = 1.0;
    std::int32_t AutoModify = 1;

    // Pictures rewritten, and the moment counting began (seconds since 1970-01-01 UTC).
    std::int32_t Jobs = 0;
    std::int64_t Since = 0;

    std::int32_t ShowSplash = 1;
};

}  // namespace qv
