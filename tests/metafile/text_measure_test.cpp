// Text measurement with the built-in font metrics.
//
// Expected values are worked out here from the advance tables (in floating
// point, glyph by glyph) so that they do not repeat the measurer's integer
// arithmetic; a few absolute values are checked against the font files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <ostream>
#include <string>
#include <string_view>

#include "engine/metafile/font_metrics.h"
#include "engine/metafile/text_measure.h"

namespace qv::mf {
namespace {

LogFont makeFont(std::string face, int16_t height, int16_t weight = 400, int16_t width = 0) {
    LogFont f;
    f.faceName = std::move(face);
    f.height = height;
    f.weight = weight;
    f.width = width;
    return f;
}

// A face name that maps to each built-in face, for building fonts from faces.
const char* faceNameOf(FontFamily family) {
    switch (family) {
        case FontFamily::Serif:
            return "Times New Roman";
        case FontFamily::Mono:
            return "Courier New";
        case FontFamily::Sans:
            break;
    }
    return "Arial";
}

LogFont fontFor(const FontFaceMetrics& face, int16_t height, int16_t width = 0) {
    return makeFont(faceNameOf(face.family), height, face.bold ? 700 : 400, width);
}

std::string describe(const FontFaceMetrics& face, int height) {
    return std::string(face.name) + " at height " + std::to_string(height);
}

// One glyph's advance in pixels when font units are scaled by num / den
// (em / unitsPerEm, or lfWidth / avgCharWidth when lfWidth is given).
int64_t refAdvance(const FontFaceMetrics& face, uint8_t code, double num, double den) {
    return std::llround(face.advanceOf(code) * num / den);
}

int64_t refWidth(const FontFaceMetrics& face, std::string_view text, double num, double den) {
    int64_t sum = 0;
    for (char c : text) sum += refAdvance(face, static_cast<uint8_t>(c), num, den);
    return sum;
}

// At `em` pixels per em.
int64_t refWidth(const FontFaceMetrics& face, std::string_view text, double em) {
    return refWidth(face, text, em, face.unitsPerEm);
}

int64_t refScaled(int value, double em, const FontFaceMetrics& face) {
    return std::llround(value * em / face.unitsPerEm);
}

// ---------------------------------------------------------------------------
// The generated tables.

// Absolute values, read from LiberationSans-Regular.ttf of fonts-liberation
// 1.07.4 with xxd (head.unitsPerEm at 0x14E = 0x0800, OS/2 usWinAscent and
// usWinDescent at 0x202 = 0x073E 0x01B2, first hmtx advance = 0x02EC). The
// advances agree with the classic Helvetica widths per 1000 em (W 944, i 222,
// space 278, euro 556, Times i 278): 944 * 2.048 = 1933.3 and so on.
TEST(FontMetricsTable, LiberationValuesMatchTheFontFiles) {
    const FontFaceMetrics& sans = fontFace(FontFamily::Sans, false);
    EXPECT_EQ(sans.unitsPerEm, 2048);
    EXPECT_EQ(sans.winAscent, 1854);
    EXPECT_EQ(sans.winDescent, 434);
    EXPECT_EQ(sans.defaultAdvance, 748);
    EXPECT_EQ(sans.advanceOf('W'), 1933);
    EXPECT_EQ(sans.advanceOf('i'), 455);
    EXPECT_EQ(sans.advanceOf(' '), 569);
    EXPECT_EQ(sans.advanceOf(0x80), 1139);
    // The average widths the faces stand in for: 904 Arial, 821 Times New
    // Roman, 1229 Courier New.
    EXPECT_EQ(sans.avgCharWidth, 904);
    EXPECT_EQ(fontFace(FontFamily::Serif, false).avgCharWidth, 821);
    EXPECT_EQ(fontFace(FontFamily::Mono, false).avgCharWidth, 1229);
    EXPECT_EQ(fontFace(FontFamily::Serif, false).advanceOf('i'), 569);
    EXPECT_EQ(fontFace(FontFamily::Mono, true).advanceOf('W'), 1229);
}

TEST(FontMetricsTable, EveryFamilyHasARegularAndABoldFace) {
    for (FontFamily family : {FontFamily::Sans, FontFamily::Serif, FontFamily::Mono}) {
        for (bool bold : {false, true}) {
            const FontFaceMetrics& face = fontFace(family, bold);
            SCOPED_TRACE(face.name);
            EXPECT_EQ(face.family, family);
            EXPECT_EQ(face.bold, bold);
            EXPECT_GT(face.unitsPerEm, 0);
            EXPECT_GT(face.winAscent, face.winDescent);
            EXPECT_GT(face.winDescent, 0);
            EXPECT_EQ(std::string(face.name).find("Bold") != std::string::npos, bold);
        }
    }
    for (size_t i = 0; i < kFontFaceCount; ++i) {
        for (size_t j = i + 1; j < kFontFaceCount; ++j) {
            EXPECT_FALSE(fontFaces()[i].family == fontFaces()[j].family &&
                         fontFaces()[i].bold == fontFaces()[j].bold)
                << fontFaces()[i].name << " and " << fontFaces()[j].name;
        }
    }
}

// The average width is the weighted average of the lowercase letters and the
// space, per thousand, truncated; worked out again from the advance table.
TEST(FontMetricsTable, AverageWidthIsTheWeightedLowercaseAverage) {
    constexpr int kWeights[26] = {64, 14, 27, 35, 100, 20, 14, 42, 63, 3,  6, 35, 20,
                                  56, 56, 17, 4,  49,  56, 71, 31, 10, 18, 3, 18, 2};
    for (const FontFaceMetrics& face : fontFaces()) {
        SCOPED_TRACE(face.name);
        int64_t sum = face.advanceOf(' ') * 166;
        for (int i = 0; i < 26; ++i) sum += face.advanceOf(uint8_t('a' + i)) * kWeights[i];
        EXPECT_EQ(face.avgCharWidth, sum / 1000);
    }
}

TEST(FontMetricsTable, CodesWithoutAGlyphUseTheDefaultGlyph) {
    for (const FontFaceMetrics& face : fontFaces()) {
        SCOPED_TRACE(face.name);
        // Codes code page 1252 leaves undefined, DEL, and the control codes.
        for (uint8_t code : {0x81, 0x8D, 0x8F, 0x90, 0x9D, 0x7F}) {
            EXPECT_EQ(face.advanceOf(code), face.defaultAdvance) << "code " << int(code);
        }
        for (unsigned code = 0; code < kFirstTableCode; ++code) {
            EXPECT_EQ(face.advanceOf(uint8_t(code)), face.defaultAdvance) << "code " << code;
        }
    }
}

// 0x80..0x9F are code page 1252's own characters (euro, quotes, dashes, ...),
// not missing glyphs: in the proportional faces none of them has the default
// glyph's advance.
TEST(FontMetricsTable, CodePage1252PunctuationHasRealGlyphs) {
    for (const FontFaceMetrics& face : fontFaces()) {
        if (face.family == FontFamily::Mono) continue;
        SCOPED_TRACE(face.name);
        for (unsigned code = 0x80; code <= 0x9F; ++code) {
            if (code == 0x81 || code == 0x8D || code == 0x8F || code == 0x90 || code == 0x9D) {
                continue;
            }
            EXPECT_NE(face.advanceOf(uint8_t(code)), face.defaultAdvance) << "code " << code;
        }
    }
}

TEST(FontMetricsTable, MonoFacesHaveOneAdvanceForEveryCode) {
    for (bool bold : {false, true}) {
        const FontFaceMetrics& face = fontFace(FontFamily::Mono, bold);
        SCOPED_TRACE(face.name);
        for (unsigned code = 0; code < 256; ++code) {
            EXPECT_EQ(face.advanceOf(uint8_t(code)), face.avgCharWidth) << "code " << code;
        }
    }
}

// ---------------------------------------------------------------------------
// Which face a LOGFONT is measured with.

struct FaceCase {
    const char* faceName;
    int16_t weight;
    FontFamily family;
    bool bold;
};

void PrintTo(const FaceCase& c, std::ostream* os) {
    *os << '"' << c.faceName << "\" weight " << c.weight;
}

class FaceMapping : public ::testing::TestWithParam<FaceCase> {};

TEST_P(FaceMapping, ChoosesTheFaceAndMeasuresWithIt) {
    const FaceCase& c = GetParam();
    const FontFaceMetrics& expected = fontFace(c.family, c.bold);
    const LogFont font = makeFont(c.faceName, -100, c.weight);
    EXPECT_EQ(fontFamilyForFace(c.faceName), c.family);
    EXPECT_EQ(&measuredFace(font), &expected);

    const std::string text = "Wi mlj";
    const TextExtent e = GetTextExtentPoint32W(font, text);
    EXPECT_EQ(e.cx, refWidth(expected, text, 100));
    EXPECT_EQ(e.cy, refScaled(expected.winAscent, 100, expected) +
                        refScaled(expected.winDescent, 100, expected));
}

INSTANTIATE_TEST_SUITE_P(
    Faces, FaceMapping,
    ::testing::Values(FaceCase{"Times New Roman", 400, FontFamily::Serif, false},
                      FaceCase{"TIMES", 700, FontFamily::Serif, true},
                      FaceCase{"Liberation Serif", 400, FontFamily::Serif, false},
                      FaceCase{"DejaVu Serif", 400, FontFamily::Serif, false},
                      FaceCase{"Microsoft Sans Serif", 400, FontFamily::Sans, false},
                      FaceCase{"Courier New", 400, FontFamily::Mono, false},
                      FaceCase{"courier", 600, FontFamily::Mono, true},
                      FaceCase{"Liberation Mono", 400, FontFamily::Mono, false},
                      FaceCase{"DejaVu Sans Mono", 400, FontFamily::Mono, false},
                      FaceCase{"Arial", 400, FontFamily::Sans, false},
                      FaceCase{"Arial", 599, FontFamily::Sans, false},
                      FaceCase{"Arial", 600, FontFamily::Sans, true},
                      FaceCase{"Arial", 1000, FontFamily::Sans, true},
                      FaceCase{"Helvetica", 0, FontFamily::Sans, false},
                      FaceCase{"Wingdings", -1, FontFamily::Sans, false},
                      FaceCase{"", 400, FontFamily::Sans, false}));

// ---------------------------------------------------------------------------
// Font size and text metrics.

TEST(TextMetrics, NegativeHeightIsTheEmHeight) {
    for (const FontFaceMetrics& face : fontFaces()) {
        for (int em : {1, 7, 11, 13, 16, 100, 1000}) {
            SCOPED_TRACE(describe(face, -em));
            const LogFont font = fontFor(face, int16_t(-em));
            const TextMetrics m = GetTextMetricsW(font);
            EXPECT_EQ(emPixels(font), em);
            EXPECT_EQ(m.ascent, refScaled(face.winAscent, em, face));
            EXPECT_EQ(m.descent, refScaled(face.winDescent, em, face));
            EXPECT_EQ(m.height, m.ascent + m.descent);
            EXPECT_EQ(m.aveCharWidth, refScaled(face.avgCharWidth, em, face));
        }
    }
}

// At 2048 pixels per em a pixel is one font unit: the metrics are the file's.
TEST(TextMetrics, AtOneUnitPerPixelTheMetricsAreTheFontUnits) {
    const TextMetrics m = GetTextMetricsW(makeFont("Arial", -2048));
    EXPECT_EQ(m.ascent, 1854);
    EXPECT_EQ(m.descent, 434);
    EXPECT_EQ(m.height, 2288);
    EXPECT_EQ(m.aveCharWidth, 904);
}

TEST(TextMetrics, ZeroHeightIsTwelvePointsOnTheScreen) {
    for (const FontFaceMetrics& face : fontFaces()) {
        SCOPED_TRACE(face.name);
        const LogFont zero = fontFor(face, 0);
        const LogFont sixteen = fontFor(face, -16);
        EXPECT_EQ(emPixels(zero), 16);
        const TextMetrics a = GetTextMetricsW(zero);
        const TextMetrics b = GetTextMetricsW(sixteen);
        EXPECT_EQ(a.ascent, b.ascent);
        EXPECT_EQ(a.descent, b.descent);
        EXPECT_EQ(a.aveCharWidth, b.aveCharWidth);
        EXPECT_EQ(GetTextExtentPoint32W(zero, "Zero height").cx,
                  GetTextExtentPoint32W(sixteen, "Zero height").cx);
    }
}

TEST(TextMetrics, PositiveHeightIsTheCellHeightExactly) {
    for (const FontFaceMetrics& face : fontFaces()) {
        const double cellUnits = face.winAscent + face.winDescent;
        for (int h : {1, 2, 3, 7, 13, 17, 100, 257, 1000, 32767}) {
            SCOPED_TRACE(describe(face, h));
            const LogFont font = fontFor(face, int16_t(h));
            const TextMetrics m = GetTextMetricsW(font);
            EXPECT_EQ(m.height, h);
            EXPECT_EQ(m.ascent + m.descent, h);
            EXPECT_EQ(m.ascent, std::llround(face.winAscent * h / cellUnits));
            const int64_t em = std::llround(h * face.unitsPerEm / cellUnits);
            EXPECT_EQ(emPixels(font), std::max<int64_t>(em, 1));
            EXPECT_EQ(GetTextExtentPoint32W(font, "Cell").cy, h);
            EXPECT_EQ(GetTextExtentPoint32W(font, "Cell").cx,
                      refWidth(face, "Cell", double(emPixels(font))));
        }
    }
}

// A font asked for by the cell height of an em-sized font comes out at that
// em size, give or take the rounding of the cell, and with that cell height.
TEST(TextMetrics, CellHeightOfAnEmSizeGivesThatEmSizeBack) {
    for (const FontFaceMetrics& face : fontFaces()) {
        for (int em = 1; em <= 300; ++em) {
            SCOPED_TRACE(describe(face, -em));
            const int32_t cell = GetTextMetricsW(fontFor(face, int16_t(-em))).height;
            const LogFont byCell = fontFor(face, int16_t(cell));
            EXPECT_EQ(GetTextMetricsW(byCell).height, cell);
            EXPECT_LE(std::abs(emPixels(byCell) - em), 1);
        }
    }
}

// ---------------------------------------------------------------------------
// String widths.

TEST(TextExtent, WidthIsTheSumOfTheGlyphWidths) {
    const std::string texts[] = {"Hello, World", "AutoCAD 2000 \xA9", "0123456789",
                                 "\x80\x85\x99\xE9\xFF"};
    for (const FontFaceMetrics& face : fontFaces()) {
        for (int em : {1, 5, 9, 13, 16, 37, 100, 1000}) {
            SCOPED_TRACE(describe(face, -em));
            const LogFont font = fontFor(face, int16_t(-em));
            for (const std::string& text : texts) {
                const TextExtent e = GetTextExtentPoint32W(font, text);
                EXPECT_EQ(e.cx, refWidth(face, text, em)) << text;
                EXPECT_EQ(e.cy, GetTextMetricsW(font).height);
                int64_t sum = 0;
                for (char c : text) sum += GetTextExtentPoint32W(font, std::string(1, c)).cx;
                EXPECT_EQ(e.cx, sum) << text;
            }
        }
    }
}

// 'i' is 455 units: 2.22 pixels at 10 pixels per em, so each one is 2 pixels
// and ten of them are 20, not the 22 that rounding the total would give.
TEST(TextExtent, EachGlyphIsRoundedOnItsOwn) {
    const LogFont font = makeFont("Arial", -10);
    EXPECT_EQ(GetTextExtentPoint32W(font, "i").cx, 2);
    EXPECT_EQ(GetTextExtentPoint32W(font, "iiiiiiiiii").cx, 20);
}

TEST(TextExtent, AtOneUnitPerPixelWidthsAreTheAdvances) {
    EXPECT_EQ(GetTextExtentPoint32W(makeFont("Arial", -2048), "Wi").cx, 1933 + 455);
    // The euro sign is a real glyph (as wide as a digit), not the default glyph.
    EXPECT_EQ(GetTextExtentPoint32W(makeFont("Arial", -2048), "\x80").cx, 1139);
    EXPECT_EQ(GetTextExtentPoint32W(makeFont("Arial", -2048), "\x81").cx, 748);
}

TEST(TextExtent, EuroIsMeasuredWithItsOwnGlyph) {
    for (const FontFaceMetrics& face : fontFaces()) {
        if (face.family == FontFamily::Mono) continue;
        SCOPED_TRACE(face.name);
        const LogFont font = fontFor(face, -100);
        EXPECT_EQ(GetTextExtentPoint32W(font, "\x80").cx,
                  refAdvance(face, 0x80, 100, face.unitsPerEm));
        EXPECT_NE(GetTextExtentPoint32W(font, "\x80").cx, GetTextExtentPoint32W(font, "\x81").cx);
        EXPECT_EQ(GetTextExtentPoint32W(font, "\x80").cx, GetTextExtentPoint32W(font, "0").cx);
    }
}

TEST(TextExtent, WideGlyphsMeasureWiderInProportionalFacesOnly) {
    for (const char* name : {"Arial", "Times New Roman"}) {
        const LogFont font = makeFont(name, -40);
        EXPECT_GT(GetTextExtentPoint32W(font, "W").cx, 2 * GetTextExtentPoint32W(font, "i").cx)
            << name;
    }
    const LogFont mono = makeFont("Courier New", -40);
    EXPECT_EQ(GetTextExtentPoint32W(mono, "W").cx, GetTextExtentPoint32W(mono, "i").cx);
}

TEST(TextExtent, BoldIsWiderThanRegular) {
    const std::string text = "Hello World";
    for (const char* name : {"Arial", "Times New Roman"}) {
        EXPECT_GT(GetTextExtentPoint32W(makeFont(name, -100, 700), text).cx,
                  GetTextExtentPoint32W(makeFont(name, -100, 400), text).cx)
            << name;
    }
    EXPECT_EQ(GetTextExtentPoint32W(makeFont("Courier New", -100, 700), text).cx,
              GetTextExtentPoint32W(makeFont("Courier New", -100, 400), text).cx);
}

TEST(TextExtent, MonoMeasuresEveryCodeAlike) {
    for (int16_t height : {-7, -13, -100, 20}) {
        const LogFont font = makeFont("Courier New", height);
        const int32_t one = GetTextExtentPoint32W(font, "x").cx;
        EXPECT_GT(one, 0);
        for (unsigned code = 0; code < 256; ++code) {
            const std::string text(3, char(code));
            EXPECT_EQ(GetTextExtentPoint32W(font, text).cx, 3 * one)
                << "code " << code << " at height " << height;
        }
    }
}

TEST(TextExtent, EmptyTextHasNoWidthButTheFontsHeight) {
    for (int16_t height : {-100, 0, 1, 50, 32767}) {
        const LogFont font = makeFont("Arial", height);
        const TextExtent e = GetTextExtentPoint32W(font, "");
        EXPECT_EQ(e.cx, 0) << height;
        EXPECT_EQ(e.cy, GetTextMetricsW(font).height) << height;
        EXPECT_GT(e.cy, 0) << height;
    }
}

// lfWidth asks for an average character width: advances are scaled by its
// ratio to the face's average width, whatever the height.
TEST(TextExtent, WidthScalesTheAdvancesToThatAverage) {
    const std::string text = "Scaled text WWW iii";
    for (const FontFaceMetrics& face : fontFaces()) {
        SCOPED_TRACE(face.name);
        // At one unit per pixel the face's own average width changes nothing.
        const LogFont units = fontFor(face, -2048);
        EXPECT_EQ(GetTextExtentPoint32W(fontFor(face, -2048, face.avgCharWidth), text).cx,
                  GetTextExtentPoint32W(units, text).cx);

        const LogFont natural = fontFor(face, -100);
        for (int width : {1, 20, 44, 88, 500}) {
            SCOPED_TRACE(width);
            const LogFont scaled = fontFor(face, -100, int16_t(width));
            const TextExtent e = GetTextExtentPoint32W(scaled, text);
            EXPECT_EQ(e.cx, refWidth(face, text, width, face.avgCharWidth));
            EXPECT_EQ(e.cx, GetTextExtentPoint32W(fontFor(face, -100, int16_t(-width)), text).cx);
            EXPECT_EQ(e.cx, GetTextExtentPoint32W(fontFor(face, 30, int16_t(width)), text).cx);
            EXPECT_EQ(e.cy, GetTextMetricsW(natural).height);  // the height does not change
            EXPECT_EQ(GetTextMetricsW(scaled).aveCharWidth, width);
            EXPECT_EQ(GetTextMetricsW(scaled).ascent, GetTextMetricsW(natural).ascent);
        }
        const int32_t naturalAvg = GetTextMetricsW(natural).aveCharWidth;
        EXPECT_LT(GetTextExtentPoint32W(fontFor(face, -100, int16_t(naturalAvg / 2)), text).cx,
                  GetTextExtentPoint32W(natural, text).cx);
        EXPECT_GT(GetTextExtentPoint32W(fontFor(face, -100, int16_t(naturalAvg * 2)), text).cx,
                  GetTextExtentPoint32W(natural, text).cx);
    }
}

// ---------------------------------------------------------------------------
// Sizes at the ends of the 16-bit range.

TEST(TextExtent, ExtremeSizesGiveNonNegativeResults) {
    const std::string text = "W\x80\xFFi \x01";
    for (const char* name : {"Arial", "Times New Roman", "Courier New"}) {
        for (int16_t weight : {400, 700}) {
            for (int height : {INT16_MIN, -32767, -1000, -1, 0, 1, 1000, INT16_MAX}) {
                for (int width : {INT16_MIN, -1, 0, 1, INT16_MAX}) {
                    SCOPED_TRACE(std::string(name) + " height " + std::to_string(height) +
                                 " width " + std::to_string(width));
                    const LogFont font = makeFont(name, int16_t(height), weight, int16_t(width));
                    const TextMetrics m = GetTextMetricsW(font);
                    EXPECT_GE(m.ascent, 0);
                    EXPECT_GE(m.descent, 0);
                    EXPECT_GT(m.height, 0);
                    EXPECT_EQ(m.height, m.ascent + m.descent);
                    EXPECT_GE(m.aveCharWidth, 0);
                    if (height > 0) {
                        EXPECT_EQ(m.height, height);
                    }
                    const int32_t em = emPixels(font);
                    EXPECT_GE(em, 1);
                    EXPECT_LE(em, 32768);
                    const TextExtent e = GetTextExtentPoint32W(font, text);
                    EXPECT_GE(e.cx, 0);
                    EXPECT_EQ(e.cy, m.height);
                }
            }
        }
    }
    EXPECT_EQ(emPixels(makeFont("Arial", INT16_MIN)), 32768);
}

// 100000 'W' at 32768 pixels per em, stretched as far as lfWidth goes, are far
// wider than 32 bits can say: the width stops at the largest int32.
TEST(TextExtent, HugeWidthsSaturate) {
    const std::string text(100000, 'W');
    const LogFont plain = makeFont("Arial", INT16_MIN);
    const LogFont stretched = makeFont("Arial", INT16_MIN, 400, INT16_MAX);
    EXPECT_EQ(GetTextExtentPoint32W(plain, text).cx, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(GetTextExtentPoint32W(stretched, text).cx, std::numeric_limits<int32_t>::max());
    // Just below the limit the sum is still exact.
    const int64_t perGlyph = GetTextExtentPoint32W(plain, "W").cx;
    const int64_t fits = std::numeric_limits<int32_t>::max() / perGlyph;
    EXPECT_EQ(GetTextExtentPoint32W(plain, std::string(size_t(fits), 'W')).cx, fits * perGlyph);
}

}  // namespace
}  // namespace qv::mf
