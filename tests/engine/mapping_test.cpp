// Moving and turning coordinates: the point mapping, the window extent and
// origin rules, the font rule and rectangles given by corner and size.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/engine_state.h"
#include "engine/mapping.h"
#include "engine/metafile/gdi.h"
#include "picture_builder.h"

namespace qv {
namespace {

namespace rec = test::rec;

// minX 10, minY 20, maxX 110, maxY 70: 100 wide, 50 high.
constexpr Rect kCrop{10, 20, 110, 70};

struct MapCase {
    int rotation;
    int32_t x, y;
    Point16 expected;
};

void PrintTo(const MapCase& c, std::ostream* os) {
    *os << "rotation " << c.rotation << " (" << c.x << ", " << c.y << ")";
}

class MapPointTest : public ::testing::TestWithParam<MapCase> {};

TEST_P(MapPointTest, MovesTheCropCornerToTheOriginAndTurns) {
    const MapCase& c = GetParam();
    EXPECT_EQ(MapPoint(kCrop, c.rotation, c.x, c.y), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rotations, MapPointTest,
    ::testing::Values(MapCase{0, 10, 20, {0, 0}}, MapCase{0, 30, 25, {20, 5}},
                      // the crop corner (minX, minY) goes to (maxY - minY, 0)
                      MapCase{90, 10, 20, {50, 0}}, MapCase{90, 30, 25, {45, 20}},
                      MapCase{180, 10, 20, {100, 50}}, MapCase{180, 30, 25, {80, 45}},
                      MapCase{270, 10, 20, {0, 100}}, MapCase{270, 30, 25, {5, 80}},
                      // any other rotation leaves the point alone
                      MapCase{45, 30, 25, {30, 25}}, MapCase{-90, 30, 25, {30, 25}},
                      MapCase{360, 30, 25, {30, 25}}));

TEST(MapPoint, TheCropCornersBecomeTheOutputCorners) {
    for (int rotation : {0, 90, 180, 270}) {
        SCOPED_TRACE(rotation);
        const bool quarter = rotation == 90 || rotation == 270;
        const int16_t cx = quarter ? 50 : 100, cy = quarter ? 100 : 50;
        std::set<std::pair<int, int>> mapped;
        for (int32_t x : {kCrop.left, kCrop.right})
            for (int32_t y : {kCrop.top, kCrop.bottom}) {
                Point16 p = MapPoint(kCrop, rotation, x, y);
                mapped.insert({p.x, p.y});
            }
        EXPECT_EQ(mapped, (std::set<std::pair<int, int>>{{0, 0}, {cx, 0}, {0, cy}, {cx, cy}}));
    }
}

struct WrapCase {
    Rect work;
    int rotation;
    int32_t x, y;
    Point16 expected;
};

TEST(MapPoint, ResultsWrapAt16Bits) {
    const std::vector<WrapCase> cases = {
        {{-30000, 0, 0, 0}, 0, 10000, 0, {-25536, 0}},           // 40000
        {{0, 0, 32000, 32000}, 180, -1000, 0, {-32536, 32000}},  // 33000
        {{0, 30000, 0, 0}, 270, 0, -5000, {30536, 0}},           // -35000
        {{0, 0, 0, 0}, 0, 32767, -32768, {32767, -32768}},
    };
    for (const WrapCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.rotation) + " " + std::to_string(c.x));
        EXPECT_EQ(MapPoint(c.work, c.rotation, c.x, c.y), c.expected);
    }
}

TEST(MapRecordPoint, WritesTheMappedPointBackIntoTheRecord) {
    mf::Bytes line = rec::lineTo(30, 25);
    mapRecordPoint(kCrop, 90, test::view(line), 1, 0);
    EXPECT_EQ(test::view(line).field("x"), 45);
    EXPECT_EQ(test::view(line).field("y"), 20);
}

TEST(MapRecordPoint, ARecordTooShortForThePointIsLeftAlone) {
    mf::Bytes cut = mf::RecordBuilder(uint16_t(mf::Fn::LineTo)).i16(25).finish();  // y only
    const mf::Bytes before = cut;
    mapRecordPoint(kCrop, 0, test::view(cut), 1, 0);
    EXPECT_EQ(cut, before);
}

// ---- window extent rule ----

struct ExtCase {
    const char* name;
    int rotation;
    bool crop;
    Size first, later;
    Size firstOut, laterOut;
};

void PrintTo(const ExtCase& c, std::ostream* os) {
    *os << c.name;
}

class WindowExtRuleTest : public ::testing::TestWithParam<ExtCase> {};

TEST_P(WindowExtRuleTest, ScalesToTheCropRectangleAndTurns) {
    const ExtCase& c = GetParam();
    EngineState s;
    s.WorkRect = {100, 50, 500, 300};  // 400 x 250
    s.FirstExt = true;
    mf::Bytes first = rec::setWindowExt(uint16_t(c.first.cx), uint16_t(c.first.cy));
    applyWindowExtRule(s, c.rotation, c.crop, test::view(first));
    s.FirstExt = false;
    mf::Bytes later = rec::setWindowExt(uint16_t(c.later.cx), uint16_t(c.later.cy));
    applyWindowExtRule(s, c.rotation, c.crop, test::view(later));

    EXPECT_EQ((Size{test::view(first).field("x"), test::view(first).field("y")}), c.firstOut);
    EXPECT_EQ((Size{test::view(later).field("x"), test::view(later).field("y")}), c.laterOut);
    EXPECT_EQ(s.FirstExtent, c.first);
    EXPECT_EQ(s.CurrentExtent, c.later);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowExtRuleTest,
    ::testing::Values(
        ExtCase{"CropRotation0", 0, true, {1000, 500}, {200, 100}, {400, 250}, {80, 50}},
        ExtCase{"CropRotation180", 180, true, {1000, 500}, {200, 100}, {400, 250}, {80, 50}},
        ExtCase{"CropRotation90", 90, true, {1000, 500}, {200, 100}, {250, 400}, {50, 80}},
        ExtCase{"CropRotation270", 270, true, {1000, 500}, {200, 100}, {250, 400}, {50, 80}},
        // 205 * 400 / 1000 = 82; 101 * 250 / 500 = 50.5, halves away from zero
        ExtCase{"CropRounds", 0, true, {1000, 500}, {205, 101}, {400, 250}, {82, 51}},
        ExtCase{"NoCropRotation0", 0, false, {1000, 500}, {200, 100}, {1000, 500}, {200, 100}},
        ExtCase{"NoCropRotation90", 90, false, {1000, 500}, {200, 100}, {500, 1000}, {100, 200}},
        // a first extent of 0 in one direction keeps that direction as it is
        ExtCase{"ZeroFirstWidth", 0, true, {0, 500}, {200, 100}, {0, 250}, {200, 50}},
        ExtCase{"ZeroFirstHeight", 90, true, {1000, 0}, {200, 100}, {0, 400}, {100, 80}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- window origin rule ----

struct OrgCase {
    const char* name;
    int rotation;
    Size firstExtent;
    Point16 expected;
};

void PrintTo(const OrgCase& c, std::ostream* os) {
    *os << c.name;
}

class WindowOrgRuleTest : public ::testing::TestWithParam<OrgCase> {};

// Crop (100, 50)-(500, 300); the block's extent is twice as wide and half as
// high as the first one; the origin asked for is (300, 120).
TEST_P(WindowOrgRuleTest, MapsTheOriginAndMovesItByTheCropCornerInTheBlocksScale) {
    const OrgCase& c = GetParam();
    EngineState s;
    s.WorkRect = {100, 50, 500, 300};
    s.FirstExtent = c.firstExtent;
    s.CurrentExtent = {2000, 250};
    s.SaveDepth = 3;
    mf::Bytes org = rec::setWindowOrg(300, 120);
    applyWindowOrgRule(s, c.rotation, test::view(org));
    EXPECT_EQ((Point16{int16_t(test::view(org).field("x")), int16_t(test::view(org).field("y"))}),
              c.expected);
    EXPECT_EQ(s.BlockDepth, 2);
}

INSTANTIATE_TEST_SUITE_P(Rotations, WindowOrgRuleTest,
                         ::testing::Values(
                             // (200, 70) + (100 * 2000 / 1000, 50 * 250 / 500)
                             OrgCase{"Rotation0", 0, {1000, 500}, {400, 95}},
                             // (180, 200) + (-(300 * 250 / 500), 100 * 2000 / 1000)
                             OrgCase{"Rotation90", 90, {1000, 500}, {30, 400}},
                             // (200, 180) - (500 * 2000 / 1000, 300 * 250 / 500)
                             OrgCase{"Rotation180", 180, {1000, 500}, {-800, 30}},
                             // (70, 200) + (50 * 250 / 500, -(500 * 2000 / 1000))
                             OrgCase{"Rotation270", 270, {1000, 500}, {95, -800}},
                             OrgCase{"OtherRotation", 45, {1000, 500}, {300, 120}},
                             // a term whose divisor is 0 counts 0
                             OrgCase{"ZeroFirstWidth", 0, {0, 500}, {200, 95}},
                             OrgCase{"ZeroFirstHeight90", 90, {1000, 0}, {180, 400}}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- font rule ----

TEST(FontRule, EscapementAndOrientationTurnWithThePicture) {
    struct Case {
        int rotation;
        int16_t escapement, orientation;
        int16_t expectedEscapement, expectedOrientation;
    };
    const std::vector<Case> cases = {
        {0, 0, 0, 0, 0},           {90, 0, 0, -900, -900},  {180, 0, 0, -1800, -1800},
        {270, 0, 0, -2700, -2700}, {90, 900, 450, 0, -450}, {270, -300, 3600, -3000, 900},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rotation);
        mf::Bytes f = rec::createFont(test::font("Arial", -120, c.orientation, c.escapement));
        applyFontRule(c.rotation, test::view(f));
        const mf::LogFont out = mf::LogFont::fromParams(test::view(f).params());
        EXPECT_EQ(out.escapement, c.expectedEscapement);
        EXPECT_EQ(out.orientation, c.expectedOrientation);
        EXPECT_EQ(out.height, -120);
        EXPECT_EQ(out.weight, 400);
        EXPECT_EQ(out.faceName, "Arial");
    }
}

// ---- corner-and-size rule ----

struct CornerCase {
    int rotation;
    int16_t x, y, width, height;
    Point16 centre;
    Point16 corner;  // with the sizes swapped for 90 and 270
};

TEST(CornerAndSize, TheCentreIsMappedAndTheCornerFollowsTheTurnedSize) {
    const Rect crop{0, 0, 100, 50};
    const std::vector<CornerCase> cases = {
        // 10 wide, 4 high at (0, 0)
        {0, 0, 0, 10, 4, {5, 2}, {0, 0}},
        {90, 0, 0, 10, 4, {48, 5}, {46, 0}},
        {180, 0, 0, 10, 4, {95, 48}, {90, 46}},
        {270, 0, 0, 10, 4, {2, 95}, {0, 90}},
        // odd sizes: the halves are truncated
        {90, 20, 10, 5, 3, {39, 22}, {38, 20}},
        // a negative width: halves toward zero
        {0, 20, 10, -10, 4, {15, 12}, {20, 10}},
        {90, 20, 10, -10, 4, {38, 15}, {36, 20}},
    };
    for (const CornerCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.rotation) + " at " + std::to_string(c.x) + "," +
                     std::to_string(c.y) + " size " + std::to_string(c.width) + "x" +
                     std::to_string(c.height));
        const Point16 centre = mapCentre(crop, c.rotation, c.x, c.y, c.width, c.height);
        EXPECT_EQ(centre, c.centre);
        const bool quarter = c.rotation == 90 || c.rotation == 270;
        const int32_t w = quarter ? c.height : c.width, h = quarter ? c.width : c.height;
        EXPECT_EQ(placeFromCentre(centre, w, h), c.corner);
    }
}

}  // namespace
}  // namespace qv
