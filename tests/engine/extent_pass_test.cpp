// The extent pass over pictures built record by record: which records count,
// the blocks under a moved window origin, the first window extent and the
// background rectangle with the palette it chooses.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/extent_pass.h"
#include "picture_builder.h"

namespace qv {
namespace {

using test::Pt;
using test::Rect16;
namespace rec = test::rec;

const Rect kNothingDrawn{32767, 32767, -32767, -32767};

struct Case {
    std::string name;
    std::vector<mf::Bytes> records;
    Rect extent;
};

class ExtentPassTest : public ::testing::Test {
  protected:
    ExtentResult run(const std::vector<mf::Bytes>& records, bool intelliCad = false) {
        test::PictureBuilder b;
        for (const auto& r : records) b.add(r);
        mf::MetafileHandle pic = b.picture();
        if (!pic) return {};
        return ComputeExtents(t.engine, *pic, intelliCad);
    }

    test::TestEngine t;
};

TEST_F(ExtentPassTest, DrawingRecordsAddTheirPoints) {
    const std::vector<Case> cases = {
        {"LINETO", {rec::lineTo(-5, 7)}, {-5, 7, -5, 7}},
        {"MOVETO then LINETO", {rec::moveTo(30, -40), rec::lineTo(10, 20)}, {10, -40, 30, 20}},
        {"POLYGON", {rec::polygon({{1, 2}, {50, -3}, {7, 90}})}, {1, -3, 50, 90}},
        {"POLYLINE", {rec::polyline({{-100, 5}, {20, 6}})}, {-100, 5, 20, 6}},
        {"POLYPOLYGON counts every polygon's points",
         {rec::polyPolygon({{{0, 0}, {10, 10}}, {{20, 20}, {30, -30}, {500, 600}}})},
         {0, -30, 500, 600}},
        {"ELLIPSE", {rec::ellipse(10, 20, 300, 400)}, {10, 20, 300, 400}},
        {"ELLIPSE with its corners swapped", {rec::ellipse(300, 400, 10, 20)}, {10, 20, 300, 400}},
        {"RECTANGLE away from the origin", {rec::rectangle(3, 4, 80, 90)}, {3, 4, 80, 90}},
        {"SETPIXEL", {rec::setPixel(12, -13, 0xFF)}, {12, -13, 12, -13}},
        {"ARC counts its whole bounding rectangle",
         {rec::arc({10, 20, 300, 400}, {150, 20}, {300, 210})},
         {10, 20, 300, 400}},
        {"ARC counts end points outside its rectangle too",
         {rec::arc({10, 20, 300, 400}, {320, 30}, {-50, 450})},
         {-50, 20, 320, 450}},
        {"DIBSTRETCHBLT with a bitmap",
         {rec::dibStretchBlt(90, 750, 200, 100, true)},
         {90, 750, 290, 850}},
        {"DIBSTRETCHBLT without a bitmap",
         {rec::dibStretchBlt(90, 750, 200, 100, false)},
         {90, 750, 290, 850}},
        {"DIBSTRETCHBLT with a negative width",
         {rec::dibStretchBlt(100, 10, -40, 20, true)},
         {60, 10, 100, 30}},
        {"STRETCHDIB", {rec::stretchDib(5, 6, 70, 80)}, {5, 6, 75, 86}},
        {"coordinates are signed 16-bit",
         {rec::moveTo(-32768, 100), rec::lineTo(-1, 32767)},
         {-32768, 100, -1, 32767}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(run(c.records).Extent, c.extent);
    }
}

TEST_F(ExtentPassTest, RecordsThatAreNotCountedLeaveTheExtentEmpty) {
    const std::vector<Case> cases = {
        {"no records", {}, kNothingDrawn},
        {"PATBLT", {rec::patBlt(10, 20, 30, 40)}, kNothingDrawn},
        {"objects and state only",
         {rec::createPen(0x123456), rec::selectObject(0), rec::setTextAlign(24),
          rec::setWindowExt(1000, 1000), rec::saveDc(), rec::restoreDc()},
         kNothingDrawn},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(run(c.records).Extent, c.extent);
    }
}

TEST_F(ExtentPassTest, PointsUnderAMovedWindowOriginCountOnlyAfterTheirBlock) {
    const std::vector<Case> cases = {
        {"block closed by its RESTOREDC",
         {rec::moveTo(10, 10), rec::saveDc(), rec::setWindowOrg(5, 5), rec::lineTo(1000, 1000),
          rec::restoreDc(), rec::lineTo(20, 20)},
         {10, 10, 20, 20}},
        {"an inner SAVEDC/RESTOREDC does not end the block",
         {rec::moveTo(10, 10), rec::saveDc(), rec::setWindowOrg(5, 5), rec::saveDc(),
          rec::lineTo(1000, 1000), rec::restoreDc(), rec::lineTo(-1000, -1000), rec::restoreDc(),
          rec::lineTo(20, 20)},
         {10, 10, 20, 20}},
        {"a block one level deeper ends at its own level",
         {rec::saveDc(), rec::moveTo(10, 10), rec::saveDc(), rec::setWindowOrg(5, 5),
          rec::lineTo(1000, 1000), rec::restoreDc(), rec::lineTo(20, 20), rec::restoreDc()},
         {10, 10, 20, 20}},
        {"one non-zero coordinate opens a block",
         {rec::moveTo(10, 10), rec::saveDc(), rec::setWindowOrg(0, 5), rec::lineTo(1000, 1000),
          rec::restoreDc(), rec::lineTo(20, 20)},
         {10, 10, 20, 20}},
        {"RESTOREDC goes back one level whatever it asks for",
         {rec::moveTo(10, 10), rec::saveDc(), rec::saveDc(), rec::setWindowOrg(5, 5),
          rec::lineTo(1000, 1000), rec::restoreDc(-2), rec::lineTo(20, 20)},
         {10, 10, 20, 20}},
        {"origin (0, 0) opens no block",
         {rec::saveDc(), rec::setWindowOrg(0, 0), rec::moveTo(10, 10), rec::lineTo(1000, 1000),
          rec::restoreDc()},
         {10, 10, 1000, 1000}},
        {"text inside a block is not counted",
         {rec::moveTo(10, 10), rec::saveDc(), rec::setWindowOrg(5, 5),
          rec::extTextOut(2000, 2000, "Hidden"), rec::restoreDc(), rec::lineTo(20, 20)},
         {10, 10, 20, 20}},
        {"a block opened at depth 0 lasts to the end",
         {rec::moveTo(10, 10), rec::setWindowOrg(5, 5), rec::lineTo(1000, 1000), rec::saveDc(),
          rec::restoreDc(), rec::lineTo(2000, 2000)},
         {10, 10, 10, 10}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(run(c.records).Extent, c.extent);
    }
}

TEST_F(ExtentPassTest, TheFirstWindowExtentIsKeptAsUnsigned16Bit) {
    ExtentResult r = run({rec::setWindowExt(40000, 30000), rec::lineTo(1, 1),
                          rec::setWindowExt(100, 200), rec::setWindowExt(5, 5)});
    EXPECT_TRUE(r.HasWindowExt);
    EXPECT_EQ(r.WindowExt, (Size{40000, 30000}));
    EXPECT_EQ(t.engine.state.FirstWindowExt, (Size{40000, 30000}));
    EXPECT_FALSE(t.engine.state.FirstExt);
}

TEST_F(ExtentPassTest, APictureWithoutWindowExtentSaysSo) {
    ExtentResult r = run({rec::lineTo(1, 1)});
    EXPECT_FALSE(r.HasWindowExt);
    EXPECT_EQ(r.WindowExt, (Size{0, 0}));
}

TEST_F(ExtentPassTest, EachPassStartsAfresh) {
    run({rec::setWindowExt(300, 300), rec::saveDc(), rec::setWindowOrg(5, 5),
         rec::lineTo(1000, 1000)});
    ASSERT_TRUE(t.engine.state.SkipNested);
    ExtentResult r = run({rec::lineTo(7, 8), rec::setWindowExt(50, 60)});
    EXPECT_EQ(r.Extent, (Rect{7, 8, 7, 8}));
    EXPECT_EQ(r.WindowExt, (Size{50, 60}));
    EXPECT_EQ(t.engine.state.SaveDepth, 0);
}

TEST_F(ExtentPassTest, TheBackgroundRectangleAddsNoPoints) {
    const std::vector<Case> cases = {
        {"left 0", {rec::rectangle(0, 5, 100, 200), rec::lineTo(50, 60)}, {50, 60, 50, 60}},
        {"top 0", {rec::rectangle(5, 0, 100, 200), rec::lineTo(50, 60)}, {50, 60, 50, 60}},
        {"both 0", {rec::rectangle(0, 0, 9000, 7000)}, kNothingDrawn},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(run(c.records).Extent, c.extent);
    }
}

struct PaletteCase {
    std::string name;
    int screenBits;
    bool intelliCad;
    std::vector<mf::Bytes> records;
    int palette;
    std::optional<uint32_t> background;  // none: no background rectangle met
};

TEST_F(ExtentPassTest, TheBackgroundPenChoosesThePalette) {
    const mf::Bytes background = rec::rectangle(0, 0, 1000, 800);
    const std::vector<PaletteCase> cases = {
        {"white on a 32-bit screen",
         32,
         false,
         {rec::createPen(0xFFFFFF), background},
         5,
         0xFFFFFF},
        {"black on a 32-bit screen", 32, false, {rec::createPen(0x000000), background}, 4, 0},
        {"no background on a 32-bit screen", 32, false, {rec::createPen(0xFFFFFF)}, 4, {}},
        {"no background on an 8-bit screen", 8, false, {}, 6, {}},
        {"white on an 8-bit screen", 8, false, {rec::createPen(0xFFFFFF), background}, 7, 0xFFFFFF},
        {"black on an 8-bit screen", 8, false, {rec::createPen(0), background}, 6, 0},
        {"IntelliCAD without background", 32, true, {}, 8, {}},
        {"IntelliCAD keeps 8 under white",
         32,
         true,
         {rec::createPen(0xFFFFFF), background},
         8,
         0xFFFFFF},
        {"IntelliCAD on an 8-bit screen", 8, true, {}, 8, {}},
        {"red above 128", 32, false, {rec::createPen(0x000081), background}, 5, 0x000081},
        {"green above 128", 32, false, {rec::createPen(0x008100), background}, 5, 0x008100},
        {"blue is not looked at", 32, false, {rec::createPen(0xFF0000), background}, 4, 0xFF0000},
        {"128 is not light", 32, false, {rec::createPen(0x808080), background}, 4, 0x808080},
        {"raised once per pass",
         32,
         false,
         {rec::createPen(0xFFFFFF), background, rec::createPen(0xFFFFFF), background},
         5,
         0xFFFFFF},
        {"the latest pen created counts, not the one selected",
         32,
         false,
         {rec::createPen(0xFFFFFF), rec::createPen(0x000000), rec::selectObject(0), background},
         4,
         0},
        {"a pen created after the background does not count",
         32,
         false,
         {rec::createPen(0x000000), background, rec::createPen(0xFFFFFF)},
         4,
         0},
        {"a background with top 0 only",
         32,
         false,
         {rec::createPen(0xFFFFFF), rec::rectangle(5, 0, 100, 100)},
         5,
         0xFFFFFF},
    };
    for (const PaletteCase& c : cases) {
        SCOPED_TRACE(c.name);
        t.engine.screenBitsPerPixel = c.screenBits;
        t.settings.oPalette = 1;  // left over from an earlier picture
        t.engine.state.BackgroundColor = 0xABCDEF;
        run(c.records, c.intelliCad);
        EXPECT_EQ(t.settings.oPalette, c.palette);
        EXPECT_EQ(t.engine.state.BackgroundFound, c.background.has_value());
        if (c.background) {
            EXPECT_EQ(t.engine.state.BackgroundColor, *c.background);
        }
    }
}

}  // namespace
}  // namespace qv
