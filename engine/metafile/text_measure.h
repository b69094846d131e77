// Text measurement as a screen reference DC does it.
//
// The reference DC keeps its default mapping (one logical unit per pixel), so a
// font's logical height is its pixel size: a negative LOGFONT height is the em
// height, a positive one the cell height (ascent + descent). Metrics come from
// tables built into the program (see tools/gen_font_metrics.py), so no font
// files are needed at run time: Liberation Sans stands for Arial, Helvetica and
// every face we do not know, Liberation Serif for Times New Roman, Liberation
// Mono for Courier New; weights of 600 and more use the bold tables.
#pragma once

#include <cstdint>
#include <string_view>

#include "engine/metafile/font_metrics.h"
#include "engine/metafile/gdi.h"

namespace qv::mf {

struct TextExtent {
    int32_t cx = 0;
    int32_t cy = 0;
};

struct TextMetrics {
    int32_t height = 0;   // ascent + descent
    int32_t ascent = 0;
    int32_t descent = 0;
    int32_t aveCharWidth = 0;
};

// GetTextExtentPoint32W with the font selected: the width is the sum of the
// glyph advances of the 8-bit text (code page 1252), the height the font's
// ascent + descent.
TextExtent GetTextExtentPoint32W(const LogFont& font, std::string_view text);

// GetTextMetricsW with the font selected.
TextMetrics GetTextMetricsW(const LogFont& font);

// The built-in family that stands in for a face name.
FontFamily fontFamilyForFace(std::string_view faceName);
// The built-in face a LOGFONT is measured with (family and weight).
const FontFaceMetrics& measuredFace(const LogFont& font);
// The em height in pixels the font is realized at.
int32_t emPixels(const LogFont& font);

}  // namespace qv::mf
