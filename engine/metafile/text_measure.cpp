// Text measurement with the built-in font metrics, as a screen DC measures
// TrueType text: the font is realized at a whole number of pixels per em, each
// glyph's advance is scaled to that size and rounded on its own, and a string's
// width is the sum of those rounded advances.
#include "engine/metafile/text_measure.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>
#include <string_view>

namespace qv::mf {

namespace {

// A LOGFONT height of 0 asks for the default size: 12 points at the screen's
// 96 dots per inch, 16 pixels per em.
constexpr int64_t kDefaultEmPixels = 16;
// The em sizes we realize fonts at; LOGFONT heights cannot ask for more.
constexpr int64_t kMinEmPixels = 1;
constexpr int64_t kMaxEmPixels = 32768;
constexpr int32_t kBoldWeight = 600;

bool containsNoCase(std::string_view text, std::string_view word) {
    auto it = std::search(text.begin(), text.end(), word.begin(), word.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
    return it != text.end();
}

// num / den rounded to nearest, halves up; num >= 0, den > 0.
int64_t roundDiv(int64_t num, int64_t den) {
    return (num + den / 2) / den;
}

int32_t clampToInt32(int64_t v) {
    return int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

// A font as realized for measuring: its face, its size and its horizontal scale.
struct RealizedFont {
    const FontFaceMetrics* face;
    int64_t em;
    int64_t ascent;
    int64_t descent;
    // Font units to pixels horizontally: em / unitsPerEm, or with lfWidth,
    // lfWidth / avgCharWidth.
    int64_t xNum;
    int64_t xDen;

    // A width in font units, in whole pixels at this size.
    int64_t pixels(int64_t fontUnits) const { return roundDiv(fontUnits * xNum, xDen); }
};

RealizedFont realize(const LogFont& font) {
    const FontFaceMetrics& face = measuredFace(font);
    RealizedFont r{};
    r.face = &face;
    r.em = emPixels(font);
    const int64_t unitsPerEm = std::max<int64_t>(face.unitsPerEm, 1);
    const int64_t cellUnits = std::max<int64_t>(int64_t(face.winAscent) + face.winDescent, 1);
    if (font.height > 0) {
        // A cell height is met exactly: the ascent takes its share, rounded,
        // and the descent the rest.
        const int64_t cell = font.height;
        r.ascent = roundDiv(face.winAscent * cell, cellUnits);
        r.descent = cell - r.ascent;
    } else {
        r.ascent = roundDiv(face.winAscent * r.em, unitsPerEm);
        r.descent = roundDiv(face.winDescent * r.em, unitsPerEm);
    }
    r.xNum = r.em;
    r.xDen = unitsPerEm;
    if (font.width != 0) {
        // lfWidth asks for that average character width: the advances are
        // stretched or squeezed so that the face's average comes out at it.
        r.xNum = font.width < 0 ? -int64_t(font.width) : int64_t(font.width);
        r.xDen = std::max<int64_t>(face.avgCharWidth, 1);
    }
    return r;
}

}  // namespace

FontFamily fontFamilyForFace(std::string_view faceName) {
    if (containsNoCase(faceName, "courier") || containsNoCase(faceName, "mono")) {
        return FontFamily::Mono;
    }
    // "Times New Roman" and serif faces; "... Sans Serif" is a sans face.
    if ((containsNoCase(faceName, "times") || containsNoCase(faceName, "serif")) &&
        !containsNoCase(faceName, "sans")) {
        return FontFamily::Serif;
    }
    return FontFamily::Sans;
}

const FontFaceMetrics& measuredFace(const LogFont& font) {
    return fontFace(fontFamilyForFace(font.faceName), font.weight >= kBoldWeight);
}

int32_t emPixels(const LogFont& font) {
    int64_t em = kDefaultEmPixels;
    if (font.height < 0) {
        em = -int64_t(font.height);
    } else if (font.height > 0) {
        const FontFaceMetrics& face = measuredFace(font);
        const int64_t cellUnits = std::max<int64_t>(int64_t(face.winAscent) + face.winDescent, 1);
        em = roundDiv(int64_t(font.height) * face.unitsPerEm, cellUnits);
    }
    return int32_t(std::clamp(em, kMinEmPixels, kMaxEmPixels));
}

TextExtent GetTextExtentPoint32W(const LogFont& font, std::string_view text) {
    const RealizedFont r = realize(font);
    constexpr int64_t kMaxWidth = std::numeric_limits<int32_t>::max();
    int64_t cx = 0;
    for (char c : text) {
        cx += r.pixels(r.face->advanceOf(static_cast<uint8_t>(c)));
        if (cx >= kMaxWidth) {
            cx = kMaxWidth;
            break;
        }
    }
    return TextExtent{clampToInt32(cx), clampToInt32(r.ascent + r.descent)};
}

TextMetrics GetTextMetricsW(const LogFont& font) {
    const RealizedFont r = realize(font);
    TextMetrics m;
    m.ascent = clampToInt32(r.ascent);
    m.descent = clampToInt32(r.descent);
    m.height = clampToInt32(r.ascent + r.descent);
    m.aveCharWidth = clampToInt32(r.pixels(std::max<int64_t>(r.face->avgCharWidth, 0)));
    return m;
}

}  // namespace qv::mf
