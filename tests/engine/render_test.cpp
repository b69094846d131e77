// Sizing and output: the records that open every output, the output scale of
// each size mode with its fallbacks and limits, the placeable file written,
// and rendering, saving and improving files.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/cmetafile.h"
#include "engine/metafile/gdi.h"
#include "engine/placeable.h"
#include "engine/render.h"
#include "picture_builder.h"
#include "support/test_support.h"

namespace qv {
namespace {

using mf::Bytes;
using mf::Fn;
namespace rec = test::rec;

constexpr const char* kClampedPrefix = "The picture cannot be stored at the size asked for: ";

// Frame (0, 0)-(12000, 10000), drawing (1000, 2000)-(9000, 7000): without a
// margin the crop rectangle is 8000 x 5000.
std::vector<Bytes> standardRecords() {
    return {rec::setWindowExt(12000, 10000), rec::createPen(0x0000FF, 0, 5), rec::selectObject(0),
            rec::moveTo(1000, 2000), rec::lineTo(9000, 7000)};
}

Bytes placeableOf(const std::vector<Bytes>& records, test::PlaceableFields fields) {
    test::PictureBuilder b;
    for (const Bytes& r : records) b.add(r);
    return test::placeable(b.wmf(), fields);
}

class RenderTest : public ::testing::Test {
  protected:
    RenderTest() { t.settings.LeaveMargin = 0; }

    void load(CMetafile& pic, const std::vector<Bytes>& records = standardRecords(),
              test::PlaceableFields fields = {0, 0, 12000, 10000, 1000}, double viewHeight = 0) {
        test::loadPlaceableBytes(t.engine, pic, placeableOf(records, fields), viewHeight);
        ASSERT_TRUE(pic.IsLoaded());
    }

    std::vector<std::string> messageTexts() const {
        std::vector<std::string> texts;
        for (const auto& m : t.ui.messages) texts.push_back(m.text);
        return texts;
    }

    test::TestEngine t;
    test::TempDir dir;
};

void expectOpening(const std::vector<Bytes>& out, Size size) {
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(test::functionOf(out[0]), uint16_t(Fn::SetMapMode));
    EXPECT_EQ(test::view(out[0]).field("mode"), 8);
    EXPECT_EQ(test::functionOf(out[1]), uint16_t(Fn::SetWindowOrg));
    EXPECT_EQ(test::view(out[1]).field("x"), 0);
    EXPECT_EQ(test::view(out[1]).field("y"), 0);
    EXPECT_EQ(test::functionOf(out[2]), uint16_t(Fn::SetWindowExt));
    EXPECT_EQ(test::view(out[2]).field("x"), size.cx);
    EXPECT_EQ(test::view(out[2]).field("y"), size.cy);
}

// ---- the output extent ----

TEST_F(RenderTest, EveryOutputOpensWithTheMappingModeOriginAndExtent) {
    struct Case {
        int rotation;
        int crop;
        Size size;
    };
    const std::vector<Case> cases = {
        {0, 1, {8000, 5000}},     {90, 1, {5000, 8000}},    {180, 1, {8000, 5000}},
        {270, 1, {5000, 8000}},   {0, 0, {12000, 10000}},   {90, 0, {10000, 12000}},
        {180, 0, {12000, 10000}}, {270, 0, {10000, 12000}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rotation) + (c.crop ? " crop" : " no crop"));
        t.settings.Rotation = c.rotation;
        t.settings.Crop = c.crop;
        CMetafile pic;
        load(pic);
        Size size;
        auto out = test::recordsOf(*test::renderToPicture(t.engine, pic, &size));
        EXPECT_EQ(size, c.size);
        EXPECT_EQ(t.engine.state.OutputSize, c.size);
        expectOpening(out, c.size);

        // The same through a file.
        const auto path = dir / "out.wmf";
        ASSERT_TRUE(SaveToFile(t.engine, pic, path));
        const Bytes file = test::readFile(path);
        mf::MetafileHandle saved = mf::parseMetafile(mf::ByteSpan(file).subspan(kPlaceableBytes));
        ASSERT_NE(saved, nullptr);
        expectOpening(test::recordsOf(*saved), c.size);
    }
}

TEST_F(RenderTest, WithoutCropTheOutputIsTheFrameWhereverItLies) {
    t.settings.Crop = 0;
    for (int rotation : {0, 90}) {
        SCOPED_TRACE(rotation);
        t.settings.Rotation = rotation;
        CMetafile pic;
        load(pic, {rec::rectangle(0, 0, 2100, 1550), rec::moveTo(100, 50), rec::lineTo(600, 450)},
             {100, 50, 2100, 1550, 1000});
        Size size;
        auto out = test::recordsOf(*test::renderToPicture(t.engine, pic, &size));
        EXPECT_EQ(size, rotation ? (Size{1500, 2000}) : (Size{2000, 1500}));
        // The frame's corner is the output's origin.
        for (const Bytes& r : out) {
            if (test::functionOf(r) != uint16_t(Fn::MoveTo)) continue;
            EXPECT_EQ(test::view(r).field("x"), rotation ? 1500 : 0);
            EXPECT_EQ(test::view(r).field("y"), 0);
        }
    }
}

TEST_F(RenderTest, APictureWithNothingDrawnKeepsItsFrame) {
    for (int crop : {0, 1}) {
        SCOPED_TRACE(crop);
        t.settings.Crop = crop;
        CMetafile pic;
        load(pic, {rec::createPen(0xFF, 0, 1), rec::selectObject(0)}, {0, 0, 3000, 2000, 1000});
        Size size;
        test::renderToPicture(t.engine, pic, &size);
        EXPECT_EQ(size, (Size{3000, 2000}));
    }
}

// ---- the output scale ----

struct ScaleCase {
    const char* name;
    void (*setup)(WmfSettings&);
    double viewHeight;
    double expected;
};

void PrintTo(const ScaleCase& c, std::ostream* os) {
    *os << c.name;
}

class ScaleModeTest : public RenderTest, public ::testing::WithParamInterface<ScaleCase> {};

// 1000 units per inch; the crop rectangle is 8000 x 5000, the frame 10000 high.
TEST_P(ScaleModeTest, GivesTheOutputScale) {
    const ScaleCase& c = GetParam();
    c.setup(t.settings);
    CMetafile pic;
    load(pic, standardRecords(), {0, 0, 12000, 10000, 1000}, c.viewHeight);
    test::renderToPicture(t.engine, pic);
    EXPECT_NEAR(t.engine.state.OutputScale, c.expected, 1e-6 * c.expected);
    EXPECT_TRUE(t.ui.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScaleModeTest,
    ::testing::Values(ScaleCase{"Percentage100KeepsTheSize", [](WmfSettings&) {}, 0, 1000},
                      ScaleCase{"Percentage50DoublesTheScale",
                                [](WmfSettings& s) { s.Percentage = 50; }, 0, 2000},
                      ScaleCase{"Percentage200HalvesIt", [](WmfSettings& s) { s.Percentage = 200; },
                                0, 500},
                      ScaleCase{"FixedWidthInches",
                                [](WmfSettings& s) {
                                    s.Widthoptions = 1;
                                    s.PictureWidth = 4;
                                },
                                0, 2000},
                      ScaleCase{"FixedWidthFitsTheTurnedWidth",
                                [](WmfSettings& s) {
                                    s.Widthoptions = 1;
                                    s.PictureWidth = 4;
                                    s.Rotation = 90;
                                },
                                0, 1250},
                      ScaleCase{"FixedWidthCentimetres",
                                [](WmfSettings& s) {
                                    s.Widthoptions = 1;
                                    s.IsMetric = 1;
                                    s.PictureWidth = 10.16;
                                },
                                0, 2000},
                      ScaleCase{"FixedHeightInches",
                                [](WmfSettings& s) {
                                    s.Widthoptions = 2;
                                    s.PictureHeight = 2;
                                },
                                0, 2500},
                      ScaleCase{"FixedHeightFitsTheTurnedHeight",
                                [](WmfSettings& s) {
                                    s.Widthoptions = 2;
                                    s.PictureHeight = 2;
                                    s.Rotation = 270;
                                },
                                0, 4000},
                      ScaleCase{"FixedHeightCentimetres",
                                [](WmfSettings& s) {
                                    s.Widthoptions = 2;
                                    s.IsMetric = 1;
                                    s.PictureHeight = 5.08;
                                },
                                0, 2500},
                      // 10000 / ((1 / 100) * 500)
                      ScaleCase{"ScaledFromTheViewHeight",
                                [](WmfSettings& s) {
                                    s.Widthoptions = 3;
                                    s.WMFScale = 1;
                                    s.DrawingScale = 100;
                                },
                                500, 2000},
                      ScaleCase{"ScaledUsesTheFrameWhateverTheRotation",
                                [](WmfSettings& s) {
                                    s.Widthoptions = 3;
                                    s.WMFScale = 1;
                                    s.DrawingScale = 100;
                                    s.Rotation = 90;
                                    s.Crop = 0;
                                },
                                500, 2000},
                      ScaleCase{"ScaledInMillimetres",
                                [](WmfSettings& s) {
                                    s.Widthoptions = 3;
                                    s.IsMetric = 1;
                                    s.WMFScale = 25.4;
                                    s.DrawingScale = 100;
                                },
                                500, 2000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RenderTest, PensSetInInchesGetTheUnitsOfTheScale) {
    t.settings.Lineoptions = 2;
    t.settings.FixedWidth = 0.01;
    for (double percentage : {100.0, 50.0}) {
        SCOPED_TRACE(percentage);
        t.settings.Percentage = percentage;
        CMetafile pic;
        load(pic);
        auto out = test::recordsOf(*test::renderToPicture(t.engine, pic));
        int width = -1;
        for (const Bytes& r : out)
            if (test::functionOf(r) == uint16_t(Fn::CreatePenIndirect))
                width = test::view(r).field("width");
        EXPECT_EQ(width, percentage == 100 ? 10 : 20);
    }
}

struct FallbackCase {
    const char* name;
    void (*setup)(WmfSettings&);
    double unitsPerInch;
    double viewHeight;
    Size out;
    double expected;
    bool clamped;
};

void PrintTo(const FallbackCase& c, std::ostream* os) {
    *os << c.name;
}

class ScaleFallbackTest : public ::testing::TestWithParam<FallbackCase> {};

// Frame 10000 high; PictureWidth 6 inches unless a case says otherwise.
TEST_P(ScaleFallbackTest, ReplacesScalesThatCannotBeStored) {
    const FallbackCase& c = GetParam();
    WmfSettings settings;
    c.setup(settings);
    CMetafile pic;
    pic.Frame = {0, 0, 12000, 10000};
    pic.UnitsPerInch = c.unitsPerInch;
    pic.ViewHeight = c.viewHeight;
    bool clamped = !c.clamped;
    EXPECT_NEAR(OutputScaleFor(settings, pic, c.out, &clamped), c.expected, 1e-6 * c.expected);
    EXPECT_EQ(clamped, c.clamped);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ScaleFallbackTest,
    ::testing::Values(
        FallbackCase{
            "NoUnitsPerInchFitsPictureWidth", [](WmfSettings&) {}, 0, 0, {9000, 100}, 1500, false},
        FallbackCase{"NoUnitsPerInchFitsPictureWidthInCentimetres",
                     [](WmfSettings& s) {
                         s.IsMetric = 1;
                         s.PictureWidth = 22.86;  // 9 inches
                     },
                     0,
                     0,
                     {9000, 100},
                     1000,
                     false},
        FallbackCase{"NothingToScaleFromGives1440", [](WmfSettings&) {}, 0, 0, {0, 0}, 1440, false},
        FallbackCase{"ZeroPercentageUsesUnitsPerInch",
                     [](WmfSettings& s) { s.Percentage = 0; },
                     800,
                     0,
                     {9000, 100},
                     800,
                     false},
        FallbackCase{"NoViewHeightUsesUnitsPerInch",
                     [](WmfSettings& s) { s.Widthoptions = 3; },
                     800,
                     0,
                     {9000, 100},
                     800,
                     false},
        FallbackCase{"NoDrawingScaleUsesUnitsPerInch",
                     [](WmfSettings& s) {
                         s.Widthoptions = 3;
                         s.DrawingScale = 0;
                     },
                     800,
                     0,
                     {9000, 100},
                     800,
                     false},
        FallbackCase{"EmptyOutputUsesUnitsPerInch",
                     [](WmfSettings& s) { s.Widthoptions = 1; },
                     800,
                     0,
                     {0, 0},
                     800,
                     false},
        FallbackCase{"NegativeScaleUsesUnitsPerInch",
                     [](WmfSettings& s) {
                         s.Widthoptions = 1;
                         s.PictureWidth = -2;
                     },
                     800,
                     0,
                     {9000, 100},
                     800,
                     false},
        FallbackCase{"TooManyUnitsIsClamped",
                     [](WmfSettings& s) {
                         s.Widthoptions = 1;
                         s.PictureWidth = 0.001;
                     },
                     800,
                     0,
                     {9000, 100},
                     65535,
                     true},
        FallbackCase{"TheLimitItselfIsKept",
                     [](WmfSettings& s) {
                         s.Widthoptions = 1;
                         s.PictureWidth = 1;
                     },
                     800,
                     0,
                     {65535, 1},
                     65535,
                     false},
        FallbackCase{"BelowTheNextWholeUnitIsKept",
                     [](WmfSettings& s) {
                         s.Widthoptions = 1;
                         s.PictureWidth = 2;
                     },
                     800,
                     0,
                     {131071, 1},
                     65535.5,
                     false},
        FallbackCase{"TheNextWholeUnitIsClamped",
                     [](WmfSettings& s) {
                         s.Widthoptions = 2;
                         s.PictureHeight = 1;
                     },
                     800,
                     0,
                     {1, 65536},
                     65535,
                     true},
        FallbackCase{"TooFewUnitsIsClamped",
                     [](WmfSettings& s) {
                         s.Widthoptions = 1;
                         s.PictureWidth = 10000;
                     },
                     800,
                     0,
                     {9000, 100},
                     1,
                     true},
        FallbackCase{"OneUnitIsKept",
                     [](WmfSettings& s) {
                         s.Widthoptions = 1;
                         s.PictureWidth = 9000;
                     },
                     800,
                     0,
                     {9000, 100},
                     1,
                     false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RenderTest, AClampedScaleIsToldOnceAndUsedForPensAndTheFile) {
    t.settings.Widthoptions = 1;
    t.settings.Lineoptions = 2;
    t.settings.FixedWidth = 0.01;
    struct Case {
        double pictureWidth;
        uint16_t inch;
        int penWidth;
    };
    for (const Case& c : {Case{0.001, 65535, 655}, Case{10000, 1, 0}}) {
        SCOPED_TRACE(c.pictureWidth);
        t.ui.messages.clear();
        t.settings.PictureWidth = c.pictureWidth;
        CMetafile pic;
        load(pic);
        const auto path = dir / "clamped.wmf";
        ASSERT_TRUE(SaveToFile(t.engine, pic, path));
        ASSERT_EQ(t.ui.messages.size(), 1u);
        EXPECT_EQ(t.ui.messages[0].icon, platform::MessageIcon::Information);
        EXPECT_EQ(t.ui.messages[0].text.rfind(kClampedPrefix, 0), 0u) << t.ui.messages[0].text;

        const Bytes file = test::readFile(path);
        EXPECT_EQ(PlaceableHeader::read(file).inch, c.inch);
        mf::MetafileHandle saved = mf::parseMetafile(mf::ByteSpan(file).subspan(kPlaceableBytes));
        ASSERT_NE(saved, nullptr);
        int width = -1;
        for (const Bytes& r : test::recordsOf(*saved))
            if (test::functionOf(r) == uint16_t(Fn::CreatePenIndirect))
                width = test::view(r).field("width");
        EXPECT_EQ(width, c.penWidth);
    }
}

// ---- the placeable file ----

TEST_F(RenderTest, TheFileHeaderHoldsTheOutputSizeAndTheTruncatedScale) {
    t.settings.Widthoptions = 1;
    t.settings.IsMetric = 1;
    t.settings.PictureWidth = 30;  // cm
    struct Case {
        int rotation;
        int16_t right, bottom;
        uint16_t inch;
    };
    // 8000 / (30 / 2.54) = 677.3; turned: 5000 / (30 / 2.54) = 423.3
    for (const Case& c : {Case{0, 8000, 5000, 677}, Case{90, 5000, 8000, 423}}) {
        SCOPED_TRACE(c.rotation);
        t.settings.Rotation = c.rotation;
        CMetafile pic;
        load(pic);
        const auto path = dir / "out.wmf";
        ASSERT_TRUE(SaveToFile(t.engine, pic, path));
        const Bytes file = test::readFile(path);
        ASSERT_GT(file.size(), kPlaceableBytes);
        const PlaceableHeader h = PlaceableHeader::read(file);
        EXPECT_EQ(h.key, kPlaceableKey);
        EXPECT_EQ(h.hwmf, 0);
        EXPECT_EQ(h.left, 0);
        EXPECT_EQ(h.top, 0);
        EXPECT_EQ(h.right, c.right);
        EXPECT_EQ(h.bottom, c.bottom);
        EXPECT_EQ(h.inch, c.inch);
        EXPECT_EQ(h.reserved, 0u);
        EXPECT_EQ(h.checksum, test::xorOfFirstTenWords(file));

        mf::MetafileHandle saved = mf::parseMetafile(mf::ByteSpan(file).subspan(kPlaceableBytes));
        ASSERT_NE(saved, nullptr);
        EXPECT_EQ(t.engine.state.Stats.RecordsOut, int32_t(saved->recordCount() + 1));
        EXPECT_TRUE(t.ui.messages.empty());
    }
}

// ---- pictures that are not loaded ----

TEST_F(RenderTest, AnUnloadedPictureIsNotRendered) {
    t.settings.Jobs = 5;
    CMetafile pic;
    auto dc = mf::CreateMetaFileW();
    const size_t empty = dc->recordedBytes();
    EXPECT_EQ(RenderPicture(t.engine, pic, *dc), (Size{0, 0}));
    EXPECT_EQ(dc->recordedBytes(), empty);
    ASSERT_EQ(messageTexts(), std::vector<std::string>{"Metafile not properly loaded."});
    EXPECT_EQ(t.ui.messages[0].icon, platform::MessageIcon::Error);
    EXPECT_EQ(t.ui.waitCursorShown, 1);
    EXPECT_EQ(t.ui.waitDepth, 0);
    EXPECT_EQ(t.settings.Jobs, 5);
}

TEST_F(RenderTest, SavingAnUnloadedPictureWritesAnEmptyPicture) {
    CMetafile pic;
    const auto path = dir / "empty.wmf";
    SaveToFile(t.engine, pic, path);
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Metafile not properly loaded."});
    ASSERT_TRUE(std::filesystem::exists(path));
    const Bytes file = test::readFile(path);
    const PlaceableHeader h = PlaceableHeader::read(file);
    EXPECT_EQ(h.key, kPlaceableKey);
    EXPECT_EQ(h.right, 0);
    EXPECT_EQ(h.bottom, 0);
    mf::MetafileHandle saved = mf::parseMetafile(mf::ByteSpan(file).subspan(kPlaceableBytes));
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->recordCount(), 0u);
}

TEST_F(RenderTest, ALoadedPictureIsRenderedUnderTheWaitCursor) {
    CMetafile pic;
    load(pic);
    auto dc = mf::CreateMetaFileW();
    EXPECT_EQ(RenderPicture(t.engine, pic, *dc), (Size{8000, 5000}));
    EXPECT_EQ(t.ui.waitCursorShown, 1);
    EXPECT_EQ(t.ui.waitDepth, 0);
    EXPECT_TRUE(t.ui.messages.empty());
}

// ---- repeated renders ----

TEST_F(RenderTest, EveryRenderCountsOneJob) {
    t.settings.Jobs = 41;
    CMetafile pic;
    load(pic);
    test::renderToPicture(t.engine, pic);
    EXPECT_EQ(t.settings.Jobs, 42);
    ASSERT_TRUE(SaveToFile(t.engine, pic, dir / "a.wmf"));
    EXPECT_EQ(t.settings.Jobs, 43);
    ASSERT_TRUE(ImproveFile(t.engine, dir / "a.wmf", dir / "b.wmf", 0));
    EXPECT_EQ(t.settings.Jobs, 44);
}

// A picture with most of what the pass changes.
std::vector<Bytes> busyRecords() {
    const std::vector<test::Pt> square = {{1000, 2000}, {4000, 2000}, {4000, 5000}, {1000, 5000}};
    std::vector<test::Pt> outline = square;
    outline.push_back(square[0]);
    return {rec::setMapMode(8),
            rec::setWindowExt(12000, 10000),
            rec::createPen(0x00FFFFFF, 0, 1),
            rec::selectObject(0),
            rec::createBrush(0x00FFFFFF),
            rec::selectObject(1),
            rec::rectangle(0, 0, 12000, 10000),
            rec::createPen(0x0000FF, 0, 3),
            rec::selectObject(2),
            rec::createBrush(0x00FF00),
            rec::selectObject(3),
            rec::polygon(square),
            rec::polyline(outline),
            rec::createFont(test::font("Arial", -200)),
            rec::selectObject(4),
            rec::setTextColor(0x0000FF),
            rec::extTextOut(5000, 6000, "text", 4, test::Rect16{5000, 5800, 6000, 6200}),
            rec::textOut(5000, 6500, "more"),
            rec::setPixel(7000, 3000, 0x00FFFF),
            rec::stretchDibOf(6000, 2000, 800, 600, test::patternDib(5, 3, 24)),
            rec::patBlt(2000, 6000, 300, 200),
            rec::saveDc(),
            rec::setWindowOrg(100, 100),
            rec::ellipse(3000, 3000, 3500, 3600),
            rec::restoreDc(),
            rec::moveTo(1000, 2000),
            rec::lineTo(9000, 7000)};
}

TEST_F(RenderTest, RenderingAgainGivesTheSameBytesAndLeavesTheSourceAlone) {
    t.settings.Lineoptions = 3;
    t.settings.Filledoptions = 3;
    t.settings.RemoveLines = 1;
    t.settings.RemoveBackground = 0;
    t.settings.MakeBlack = 1;
    struct Source {
        const char* name;
        Bytes file;
    };
    const std::vector<Source> sources = {
        {"busy", placeableOf(busyRecords(), {0, 0, 12000, 10000, 1000})},
        {"lo-raster", test::readFile(test::sourcePath("tests/data/real/lo-raster.wmf"))},
        {"floorplan", test::readFile(test::sourcePath("samples/floorplan.wmf"))},
    };
    for (const Source& s : sources) {
        SCOPED_TRACE(s.name);
        CMetafile pic;
        test::loadPlaceableBytes(t.engine, pic, s.file);
        ASSERT_TRUE(pic.IsLoaded());
        const Bytes before = pic.Handle->bits();
        t.settings.Rotation = 90;
        const Bytes first = test::renderToPicture(t.engine, pic)->bits();
        EXPECT_EQ(pic.Handle->bits(), before);
        t.settings.Rotation = 180;
        const Bytes other = test::renderToPicture(t.engine, pic)->bits();
        EXPECT_NE(other, first);
        t.settings.Rotation = 90;
        EXPECT_EQ(test::renderToPicture(t.engine, pic)->bits(), first);
        EXPECT_EQ(pic.Handle->bits(), before);
    }
}

// ---- improving files ----

TEST_F(RenderTest, ImprovingAFileOntoItselfReplacesItWithTheImprovedPicture) {
    t.settings.Rotation = 270;
    t.settings.Lineoptions = 2;
    const auto source = dir / "drawing.wmf";
    std::filesystem::copy_file(test::sourcePath("samples/bracket.wmf"), source);
    const Bytes original = test::readFile(source);

    ASSERT_TRUE(ImproveFile(t.engine, source, dir / "elsewhere.wmf", 0));
    const Bytes improved = test::readFile(dir / "elsewhere.wmf");
    EXPECT_EQ(test::readFile(source), original);
    EXPECT_NE(improved, original);

    ASSERT_TRUE(ImproveFile(t.engine, source, source, 0));
    EXPECT_EQ(test::readFile(source), improved);
    EXPECT_TRUE(t.ui.messages.empty());
}

TEST_F(RenderTest, ADamagedFileLeavesTheTargetAndSaysWhy) {
    const Bytes damaged = mf::RecordBuilder(uint16_t(Fn::Polyline))
                              .u16(500)
                              .i16(0)
                              .i16(0)
                              .i16(10)
                              .i16(10)
                              .i16(20)
                              .i16(0)
                              .finish();
    const auto source = dir / "damaged.wmf";
    test::writeFile(source, placeableOf({rec::moveTo(0, 0), damaged}, {0, 0, 100, 100, 1000}));
    const auto target = dir / "target.wmf";
    const Bytes old = {'o', 'l', 'd'};
    test::writeFile(target, old);
    t.settings.Jobs = 3;

    EXPECT_FALSE(ImproveFile(t.engine, source, target, 0));
    EXPECT_EQ(test::readFile(target), old);
    EXPECT_EQ(t.settings.Jobs, 3);
    const auto texts = messageTexts();
    ASSERT_EQ(texts.size(), 2u);
    const std::string loaderPrefix = "Damaged Windows metafile: " + source.string() + "\n";
    ASSERT_EQ(texts[0].rfind(loaderPrefix, 0), 0u) << texts[0];
    const std::string fault = texts[0].substr(loaderPrefix.size());
    EXPECT_NE(fault.find("POLYLINE"), std::string::npos) << fault;
    EXPECT_EQ(texts[1], "Unable to open " + source.string() + ":\n" + fault);
}

TEST_F(RenderTest, AFileThatCannotBeLoadedGivesTheLoadersReason) {
    const auto notPlaceable = dir / "plain.wmf";
    test::PictureBuilder plain{rec::moveTo(0, 0)};
    test::writeFile(notPlaceable, plain.wmf());
    const auto missing = dir / "missing.wmf";
    struct Case {
        std::filesystem::path source;
        std::vector<std::string> messages;
    };
    const std::vector<Case> cases = {
        {notPlaceable,
         {"Unsupported windows metafile format",
          "Unable to open " + notPlaceable.string() + ":\nnot a placeable Windows metafile"}},
        {missing, {"Unable to open " + missing.string() + ":\n" + std::strerror(ENOENT)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source.string());
        t.ui.messages.clear();
        EXPECT_FALSE(ImproveFile(t.engine, c.source, dir / "never.wmf", 0));
        EXPECT_EQ(messageTexts(), c.messages);
        EXPECT_FALSE(std::filesystem::exists(dir / "never.wmf"));
    }
}

TEST_F(RenderTest, AFileThatCannotBeWrittenIsToldOnce) {
    CMetafile pic;
    load(pic);
    const auto path = dir / "no-such-folder" / "out.wmf";
    EXPECT_FALSE(SaveToFile(t.engine, pic, path));
    const auto texts = messageTexts();
    ASSERT_EQ(texts.size(), 1u);
    const std::string prefix = "Unable to write " + path.string() + ":\n";
    EXPECT_EQ(texts[0].rfind(prefix, 0), 0u) << texts[0];
    EXPECT_GT(texts[0].size(), prefix.size());
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace qv
