// The box the extent pass counts for an EXTTEXTOUT record: measured with the
// font in force, placed by the text alignment, turned with the font.
//
// Expected boxes are written out per alignment and angle from the measured
// width, height and ascent; angles of 0, 90, 180 and 270 degrees keep the
// sines and cosines at 0 and +-1, so every corner is an exact sum.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/extent_pass.h"
#include "engine/metafile/text_measure.h"
#include "picture_builder.h"

namespace qv {
namespace {

using test::Rect16;
namespace rec = test::rec;

constexpr uint16_t kTaTop = 0;
constexpr uint16_t kTaRight = 2;
constexpr uint16_t kTaCenter = 6;
constexpr uint16_t kTaBottom = 8;
constexpr uint16_t kTaBaseline = 24;
constexpr uint16_t kEtoOpaque = 2;
constexpr uint16_t kEtoClipped = 4;

constexpr int16_t kX = 1000;
constexpr int16_t kY = 2000;

// Measurements of one string in one font.
struct Measured {
    int32_t cx, cy, ascent;
};

Measured measure(const mf::LogFont& f, std::string_view text) {
    mf::TextExtent e = mf::GetTextExtentPoint32W(f, text);
    return {e.cx, e.cy, mf::GetTextMetricsW(f).ascent};
}

class TextBoxTest : public ::testing::Test {
  protected:
    Rect extentOf(const std::vector<mf::Bytes>& records) {
        test::PictureBuilder b;
        for (const auto& r : records) b.add(r);
        mf::MetafileHandle pic = b.picture();
        if (!pic) return {};
        return ComputeExtents(t.engine, *pic, false).Extent;
    }

    // The text drawn at (kX, kY) in `font` with `align`.
    Rect boxOf(const mf::LogFont& font, uint16_t align, const mf::Bytes& text) {
        return extentOf(
            {rec::createFont(font), rec::selectObject(0), rec::setTextAlign(align), text});
    }

    test::TestEngine t;
    const mf::LogFont arial = test::font("Arial", -20);
    const mf::LogFont times = test::font("Times New Roman", -40);
};

struct AlignCase {
    std::string name;
    int16_t orientation;
    int16_t escapement;
    uint16_t align;
    // The box from the start point and the measurements.
    std::function<Rect(int32_t x, int32_t y, Measured m)> box;
};

TEST_F(TextBoxTest, AlignmentAndAngleMoveTheBox) {
    const std::string text = "Quorvex 1";
    const Measured m = measure(arial, text);
    // Centring truncates toward zero: an odd width shows the difference.
    ASSERT_EQ(m.cx % 2, 1) << "pick a string of odd width";
    ASSERT_GT(m.ascent, 0);
    ASSERT_LT(m.ascent, m.cy);

    const std::vector<AlignCase> cases = {
        {"left top", 0, 0, kTaTop,
         [](int32_t x, int32_t y, Measured m) {
             return Rect{x, y, x + m.cx, y + m.cy};
         }},
        {"baseline moves up by the ascent", 0, 0, kTaBaseline,
         [](int32_t x, int32_t y, Measured m) {
             return Rect{x, y - m.ascent, x + m.cx, y - m.ascent + m.cy};
         }},
        {"bottom", 0, 0, kTaBottom,
         [](int32_t x, int32_t y, Measured m) {
             return Rect{x, y - m.cy, x + m.cx, y};
         }},
        {"centre", 0, 0, kTaCenter,
         [](int32_t x, int32_t y, Measured m) {
             return Rect{x - m.cx / 2, y, x - m.cx / 2 + m.cx, y + m.cy};
         }},
        {"right", 0, 0, kTaRight,
         [](int32_t x, int32_t y, Measured m) {
             return Rect{x - m.cx, y, x, y + m.cy};
         }},
        {"right baseline", 0, 0, kTaRight | kTaBaseline,
         [](int32_t x, int32_t y, Measured m) {
             return Rect{x - m.cx, y - m.ascent, x, y - m.ascent + m.cy};
         }},
        {"90 degrees, baseline: the start moves by the ascent along x", 900, 0, kTaBaseline,
         [](int32_t x, int32_t y, Measured m) {
             return Rect{x - m.ascent, y - m.cx, x - m.ascent + m.cy, y};
         }},
        {"90 degrees, left top", 900, 0, kTaTop,
         [](int32_t x, int32_t y, Measured m) {
             return Rect{x, y - m.cx, x + m.cy, y};
         }},
        {"90 degrees, centre", 900, 0, kTaCenter,
         [](int32_t x, int32_t y, Measured m) {
             return Rect{x, y + m.cx / 2 - m.cx, x + m.cy, y + m.cx / 2};
         }},
        {"90 degrees, right", 900, 0, kTaRight,
         [](int32_t x, int32_t y, Measured m) {
             return Rect{x, y, x + m.cy, y + m.cx};
         }},
        {"90 degrees by escapement", 0, 900, kTaBaseline,
         [](int32_t x, int32_t y, Measured m) {
             return Rect{x - m.ascent, y - m.cx, x - m.ascent + m.cy, y};
         }},
        {"orientation wins over escapement", 900, 1800, kTaBaseline,
         [](int32_t x, int32_t y, Measured m) {
             return Rect{x - m.ascent, y - m.cx, x - m.ascent + m.cy, y};
         }},
        {"180 degrees, left top", 1800, 0, kTaTop,
         [](int32_t x, int32_t y, Measured m) {
             return Rect{x - m.cx, y - m.cy, x, y};
         }},
        {"180 degrees, baseline", 1800, 0, kTaBaseline,
         [](int32_t x, int32_t y, Measured m) {
             return Rect{x - m.cx, y + m.ascent - m.cy, x, y + m.ascent};
         }},
        {"270 degrees, left top", 2700, 0, kTaTop,
         [](int32_t x, int32_t y, Measured m) {
             return Rect{x - m.cy, y, x, y + m.cx};
         }},
        {"-90 degrees, bottom", -900, 0, kTaBottom,
         [](int32_t x, int32_t y, Measured m) {
             return Rect{x, y, x + m.cy, y + m.cx};
         }},
    };
    for (const AlignCase& c : cases) {
        SCOPED_TRACE(c.name);
        mf::LogFont f = arial;
        f.orientation = c.orientation;
        f.escapement = c.escapement;
        // Turning a font does not change what it measures.
        ASSERT_EQ(measure(f, text).cx, m.cx);
        EXPECT_EQ(boxOf(f, c.align, rec::extTextOut(kX, kY, text)), c.box(kX, kY, m));
    }
}

struct AdvanceCase {
    std::string name;
    std::string text;
    mf::Bytes record;
    int32_t width;  // -1: the measured width
};

TEST_F(TextBoxTest, TheAdvanceArrayGivesTheWidthWhenTheRecordHoldsExactlyIt) {
    const Rect16 far{-5000, -5000, 5000, 5000};
    const std::vector<AdvanceCase> cases = {
        {"no options", "abc", rec::extTextOut(kX, kY, "abc", 0, {}, {10, 20, 30}), 60},
        {"even length", "abcd", rec::extTextOut(kX, kY, "abcd", 0, {}, {1, 2, 3, 4}), 10},
        {"advances are unsigned", "a", rec::extTextOut(kX, kY, "a", 0, {}, {0xFFFF}), 65535},
        {"clipped, with its rectangle", "abc",
         rec::extTextOut(kX, kY, "abc", kEtoClipped, far, {10, 20, 30}), 60},
        {"opaque, with its rectangle", "abc",
         rec::extTextOut(kX, kY, "abc", kEtoOpaque, far, {10, 20, 30}), 60},
        {"other options, no rectangle", "abc",
         rec::extTextOut(kX, kY, "abc", 0x0010, {}, {10, 20, 30}), 60},
        {"one word too many: measured", "abc",
         rec::extTextOut(kX, kY, "abc", 0, {}, {10, 20, 30}, 1), -1},
        {"one advance short: measured", "abc", rec::extTextOut(kX, kY, "abc", 0, {}, {10, 20}), -1},
        {"no advances", "abc", rec::extTextOut(kX, kY, "abc"), -1},
    };
    for (const AdvanceCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Measured m = measure(arial, c.text);
        ASSERT_NE(m.cx, c.width);
        const int32_t cx = c.width < 0 ? m.cx : c.width;
        EXPECT_EQ(boxOf(arial, kTaTop, c.record), (Rect{kX, kY, kX + cx, kY + m.cy}));
    }
}

TEST_F(TextBoxTest, TheRectangleIsSkippedBeforeTheString) {
    const std::string text = "WWW";
    const Rect16 far{-5000, -5000, 5000, 5000};
    const Measured m = measure(arial, text);
    const Rect expected{kX, kY, kX + m.cx, kY + m.cy};
    for (uint16_t options : {kEtoOpaque, kEtoClipped, uint16_t(kEtoOpaque | kEtoClipped)}) {
        SCOPED_TRACE("options " + std::to_string(options));
        // Neither the rectangle's corners nor its bytes read as text count.
        EXPECT_EQ(boxOf(arial, kTaTop, rec::extTextOut(kX, kY, text, options, far)), expected);
    }
}

struct FontCase {
    std::string name;
    std::vector<mf::Bytes> records;  // before the text
    mf::LogFont inForce;
    mf::LogFont other;  // what a wrong reading would measure with
};

TEST_F(TextBoxTest, TheTextIsMeasuredWithTheFontInForce) {
    const std::string text = "Measured";
    const mf::LogFont system = mf::GetStockObject(mf::StockObject::SystemFont)->font();
    const std::vector<FontCase> cases = {
        {"nothing selected: the system font", {rec::createFont(times)}, system, times},
        {"the font selected last",
         {rec::createFont(arial), rec::createFont(times), rec::selectObject(0),
          rec::selectObject(1)},
         times,
         arial},
        {"selecting a pen keeps the font",
         {rec::createFont(times), rec::createPen(0), rec::selectObject(0), rec::selectObject(1)},
         times,
         system},
        {"a font whose DELETEOBJECT failed stays in force",
         {rec::createFont(arial), rec::selectObject(0), rec::deleteObject(0),
          rec::createFont(times)},
         arial,
         times},
        {"a deleted font's slot is taken by the next one",
         {rec::createFont(arial), rec::createFont(system), rec::selectObject(1),
          rec::deleteObject(0), rec::createFont(times), rec::selectObject(0)},
         times,
         arial},
        {"regions and pattern brushes take their slots",
         {rec::createRegion(), rec::createPatternBrush(), rec::createFont(times),
          rec::selectObject(2)},
         times,
         system},
    };
    for (const FontCase& c : cases) {
        SCOPED_TRACE(c.name);
        const Measured m = measure(c.inForce, text);
        ASSERT_NE(m.cx, measure(c.other, text).cx);
        std::vector<mf::Bytes> records = c.records;
        records.push_back(rec::extTextOut(kX, kY, text));
        EXPECT_EQ(extentOf(records), (Rect{kX, kY, kX + m.cx, kY + m.cy}));
    }
}

TEST_F(TextBoxTest, TheAlignmentIsTheOneSetLast) {
    const std::string text = "Aligned";
    const Measured m = measure(arial, text);
    Rect box = extentOf({rec::createFont(arial), rec::selectObject(0), rec::setTextAlign(kTaRight),
                         rec::setTextAlign(kTaBottom), rec::extTextOut(kX, kY, text)});
    EXPECT_EQ(box, (Rect{kX, kY - m.cy, kX + m.cx, kY}));
}

}  // namespace
}  // namespace qv
