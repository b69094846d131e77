// The rewriting pass, seen through the pictures it writes: pens, brushes and
// colours under the settings, the background rectangle, outlines that retrace
// a filled polygon, the records that are left out, and its statistics.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/cmetafile.h"
#include "engine/metafile/gdi.h"
#include "engine/render.h"
#include "engine/rewrite_pass.h"
#include "picture_builder.h"
#include "settings/aci_palette.h"
#include "settings/aci_to_rgb.h"

namespace qv {
namespace {

using mf::Bytes;
using mf::Fn;
using test::Pt;
namespace rec = test::rec;

constexpr uint32_t kRed = 0x0000FF;  // colour index 1 in every palette column
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kNoIndex = 0x123457;  // no colour index has it (checked below)

std::vector<Bytes> only(const std::vector<Bytes>& records, Fn fn) {
    std::vector<Bytes> out;
    for (const Bytes& r : records)
        if (test::functionOf(r) == uint16_t(fn)) out.push_back(r);
    return out;
}

size_t count(const std::vector<Bytes>& records, Fn fn) {
    return only(records, fn).size();
}

uint32_t colorOf(const Bytes& r) {
    return uint32_t(test::view(r).field("color"));
}

class RewritePassTest : public ::testing::Test {
  protected:
    RewritePassTest() {
        t.settings.LeaveMargin = 0;  // the crop rectangle is what is drawn
        t.settings.Colors[0] = {0, 0.05, 0x111111, 0x222222};
        t.settings.Colors[1] = {0, 0.03, 0x336699, 0x996633};
        t.settings.Colors[7] = {0, 0.02, 0xABCDEF, 0xFEDCBA};
        t.settings.Colors[10] = {0, 0.07, 0x777777, 0x888888};  // red again: never chosen
    }

    // Loads the records as a placeable file of 1000 units per inch with the
    // frame (0, 0)-(1000, 800), and renders it; the output's records.
    std::vector<Bytes> render(const std::vector<Bytes>& records) {
        test::PictureBuilder b;
        for (const Bytes& r : records) b.add(r);
        CMetafile pic;
        test::loadPlaceableBytes(t.engine, pic, test::placeable(b.wmf(), {0, 0, 1000, 800, 1000}));
        EXPECT_TRUE(pic.IsLoaded());
        if (!pic.IsLoaded()) return {};
        mf::MetafileHandle out = test::renderToPicture(t.engine, pic, &size);
        return test::recordsOf(*out);
    }

    // The picture's drawing (0, 0)-(1000, 800) after the given records.
    std::vector<Bytes> renderWithDrawing(std::vector<Bytes> records) {
        records.push_back(rec::moveTo(0, 0));
        records.push_back(rec::lineTo(1000, 800));
        return render(records);
    }

    test::TestEngine t;
    Size size;
};

TEST_F(RewritePassTest, TheColourWithoutIndexHasNoneInThePalette) {
    render({rec::lineTo(10, 10)});  // sets the palette column as a load does
    for (int i = 0; i < 256; ++i) ASSERT_NE(t.engine.colors->AciToRgb(i), kNoIndex) << i;
    EXPECT_EQ(MatchAci(t.engine, kNoIndex), -1);
}

// ---- pens ----

struct PenCase {
    const char* name;
    void (*setup)(WmfSettings&);
    uint32_t color;
    int16_t width;
    uint32_t expectedColor;
    int16_t expectedWidth;
};

void PrintTo(const PenCase& c, std::ostream* os) {
    *os << c.name;
}

class PenTest : public RewritePassTest, public ::testing::WithParamInterface<PenCase> {};

// 1000 units per inch: the output scale is 1000.
TEST_P(PenTest, GetsTheWidthAndColourOfTheSettings) {
    const PenCase& c = GetParam();
    c.setup(t.settings);
    auto out = renderWithDrawing({rec::createPen(c.color, 0, c.width), rec::selectObject(0)});
    ASSERT_EQ(t.engine.state.OutputScale, 1000.0);
    auto pens = only(out, Fn::CreatePenIndirect);
    ASSERT_EQ(pens.size(), 1u);
    EXPECT_EQ(colorOf(pens[0]), c.expectedColor);
    EXPECT_EQ(test::view(pens[0]).field("width"), c.expectedWidth);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PenTest,
    ::testing::Values(
        PenCase{"Lineoptions0KeepsTheWidth", [](WmfSettings&) {}, kRed, 7, kRed, 7},
        PenCase{"Lineoptions1KeepsTheWidth", [](WmfSettings& s) { s.Lineoptions = 1; }, kRed, 7,
                kRed, 7},
        PenCase{"FixedWidthInInches",
                [](WmfSettings& s) {
                    s.Lineoptions = 2;
                    s.FixedWidth = 0.01;
                },
                kRed, 7, kRed, 10},
        PenCase{"FixedWidthInMillimetres",
                [](WmfSettings& s) {
                    s.Lineoptions = 2;
                    s.IsMetric = 1;
                    s.FixedWidth = 0.25;
                },
                kRed, 7, kRed, 10},
        PenCase{"FixedWidthRoundsToNearest",
                [](WmfSettings& s) {
                    s.Lineoptions = 2;
                    s.FixedWidth = 0.0126;
                },
                kRed, 7, kRed, 13},
        PenCase{"FixedWidthTooWideIsClamped",
                [](WmfSettings& s) {
                    s.Lineoptions = 2;
                    s.FixedWidth = 100;
                },
                kRed, 7, kRed, 32767},
        PenCase{"NegativeFixedWidthGivesZero",
                [](WmfSettings& s) {
                    s.Lineoptions = 2;
                    s.FixedWidth = -0.01;
                },
                kRed, 7, kRed, 0},
        PenCase{"FixedWidthKeepsTheColour",
                [](WmfSettings& s) {
                    s.Lineoptions = 2;
                    s.FixedWidth = 0.01;
                },
                kNoIndex, 7, kNoIndex, 10},
        // black is colour index 0, which counts as 7
        PenCase{"AdvancedBlackTakesRow7", [](WmfSettings& s) { s.Lineoptions = 3; }, 0x000000, 7,
                0xABCDEF, 20},
        PenCase{"AdvancedTakesTheRowOfTheColour", [](WmfSettings& s) { s.Lineoptions = 3; }, kRed,
                7, 0x336699, 30},
        PenCase{"AdvancedWidthInMillimetres",
                [](WmfSettings& s) {
                    s.Lineoptions = 3;
                    s.IsMetric = 1;
                    s.Colors[1].Width = 0.5;  // 19.685 units
                },
                kRed, 7, 0x336699, 20},
        PenCase{"AdvancedUnmatchedKeepsColourAndWidth", [](WmfSettings& s) { s.Lineoptions = 3; },
                kNoIndex, 7, kNoIndex, 7},
        PenCase{"MakeBlackWithAdvancedKeepsTheRowWidth",
                [](WmfSettings& s) {
                    s.Lineoptions = 3;
                    s.MakeBlack = 1;
                },
                kRed, 7, 0x000000, 30},
        PenCase{"MakeBlackAlone", [](WmfSettings& s) { s.MakeBlack = 1; }, kNoIndex, 7, 0x000000,
                7},
        PenCase{"WhiteTurnsBlackOnARemovedBackground",
                [](WmfSettings& s) {
                    s.WhiteBlack = 1;
                    s.RemoveBackground = 1;
                },
                kWhite, 7, 0x000000, 7},
        PenCase{"WhiteStaysWithTheBackground",
                [](WmfSettings& s) {
                    s.WhiteBlack = 1;
                    s.RemoveBackground = 0;
                },
                kWhite, 7, kWhite, 7},
        PenCase{"WhiteStaysWithoutWhiteBlack",
                [](WmfSettings& s) {
                    s.WhiteBlack = 0;
                    s.RemoveBackground = 1;
                },
                kWhite, 7, kWhite, 7},
        PenCase{"AdvancedRowColourWhiteTurnsBlack",
                [](WmfSettings& s) {
                    s.Lineoptions = 3;
                    s.Colors[1].LineColor = 0xFFFFFF;
                },
                kRed, 7, 0x000000, 30},
        PenCase{"TheFlagsByteIsCleared", [](WmfSettings&) {}, 0x02000000 | kRed, 7, kRed, 7},
        PenCase{"AFlaggedColourIsMatchedByItsRgb", [](WmfSettings& s) { s.Lineoptions = 3; },
                0x02000000 | kRed, 7, 0x336699, 30}),
    [](const auto& info) { return std::string(info.param.name); });

// A colour that several indexes share is matched with the lowest of them.
TEST_F(RewritePassTest, ASharedColourTakesTheLowestIndex) {
    struct SharedColors : ColorIndexSource {
        ColorRef AciToRgb(int index) const override {
            return index == 3 || index == 5 ? 0x00445566 : ColorRef(0x01000000 + index);
        }
    } colors;
    t.engine.setColorSource(colors);
    t.settings.Lineoptions = 3;
    t.settings.Colors[3] = {0, 0.004, 0x030303, 0};
    t.settings.Colors[5] = {0, 0.006, 0x050505, 0};
    auto out = renderWithDrawing({rec::createPen(0x445566, 0, 1), rec::selectObject(0)});
    auto pens = only(out, Fn::CreatePenIndirect);
    ASSERT_EQ(pens.size(), 1u);
    EXPECT_EQ(colorOf(pens[0]), 0x030303u);
    EXPECT_EQ(test::view(pens[0]).field("width"), 4);
    EXPECT_EQ(MatchAci(t.engine, 0x445566), 3);
}

// ---- brushes ----

struct BrushCase {
    const char* name;
    void (*setup)(WmfSettings&);
    uint32_t color;
    uint32_t expected;
};

void PrintTo(const BrushCase& c, std::ostream* os) {
    *os << c.name;
}

class BrushTest : public RewritePassTest, public ::testing::WithParamInterface<BrushCase> {};

TEST_P(BrushTest, GetsTheFillColourOfTheSettings) {
    const BrushCase& c = GetParam();
    c.setup(t.settings);
    auto out = renderWithDrawing(
        {rec::createBrush(c.color), rec::selectObject(0), rec::ellipse(10, 10, 100, 100)});
    auto brushes = only(out, Fn::CreateBrushIndirect);
    ASSERT_EQ(brushes.size(), 1u);
    EXPECT_EQ(colorOf(brushes[0]), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BrushTest,
    ::testing::Values(
        BrushCase{"WhiteTurnsBlackWithWhiteBlackAndRemoveBackground",
                  [](WmfSettings& s) {
                      s.WhiteBlack = 1;
                      s.RemoveBackground = 1;
                  },
                  kWhite, 0x000000},
        BrushCase{"WhiteStaysWithTheBackground",
                  [](WmfSettings& s) {
                      s.WhiteBlack = 1;
                      s.RemoveBackground = 0;
                  },
                  kWhite, kWhite},
        BrushCase{"WhiteStaysWithoutWhiteBlack",
                  [](WmfSettings& s) {
                      s.WhiteBlack = 0;
                      s.RemoveBackground = 1;
                  },
                  kWhite, kWhite},
        BrushCase{"UnmodifiedKeepsColours", [](WmfSettings&) {}, kRed, kRed},
        BrushCase{"UntouchedKeepsWhite", [](WmfSettings& s) { s.Filledoptions = 1; }, kWhite,
                  kWhite},
        BrushCase{"MakeAllBlack", [](WmfSettings& s) { s.Filledoptions = 2; }, kRed, 0x000000},
        BrushCase{"AdvancedTakesTheRowOfTheColour", [](WmfSettings& s) { s.Filledoptions = 3; },
                  kRed, 0x996633},
        BrushCase{"AdvancedBlackTakesRow7", [](WmfSettings& s) { s.Filledoptions = 3; }, 0x000000,
                  0xFEDCBA},
        BrushCase{"AdvancedUnmatchedKeepsItsColour", [](WmfSettings& s) { s.Filledoptions = 3; },
                  kNoIndex, kNoIndex},
        BrushCase{"AdvancedWhiteRowColourTurnsBlack",
                  [](WmfSettings& s) {
                      s.Filledoptions = 3;
                      s.Colors[1].FillColor = 0xFFFFFF;
                  },
                  kRed, 0x000000},
        BrushCase{"AnyOtherOptionIsUntouched", [](WmfSettings& s) { s.Filledoptions = 9; }, kWhite,
                  kWhite},
        BrushCase{"MakeBlackLeavesBrushes", [](WmfSettings& s) { s.MakeBlack = 1; }, kRed, kRed},
        BrushCase{"MakeBlackLeavesAdvancedFills",
                  [](WmfSettings& s) {
                      s.MakeBlack = 1;
                      s.Filledoptions = 3;
                      s.Lineoptions = 3;
                  },
                  kRed, 0x996633},
        BrushCase{"TheFlagsByteIsCleared", [](WmfSettings&) {}, 0x01000000 | kRed, kRed},
        BrushCase{"TheFlagsByteIsClearedOfUntouchedBrushes",
                  [](WmfSettings& s) { s.Filledoptions = 1; }, 0x01000000 | kRed, kRed},
        BrushCase{"AFlaggedColourIsMatchedByItsRgb", [](WmfSettings& s) { s.Filledoptions = 3; },
                  0x02000000 | kRed, 0x996633}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- text, background and pixel colours ----

struct ColorCase {
    const char* name;
    void (*setup)(WmfSettings&);
    uint32_t color;
    uint32_t expected;
};

void PrintTo(const ColorCase& c, std::ostream* os) {
    *os << c.name;
}

class ColorRecordTest : public RewritePassTest, public ::testing::WithParamInterface<ColorCase> {};

TEST_P(ColorRecordTest, TextBackgroundAndPixelColoursFollowTheLineSettings) {
    const ColorCase& c = GetParam();
    c.setup(t.settings);
    auto out = renderWithDrawing(
        {rec::setTextColor(c.color), rec::setBkColor(c.color), rec::setPixel(300, 200, c.color)});
    for (Fn fn : {Fn::SetTextColor, Fn::SetBkColor, Fn::SetPixel}) {
        SCOPED_TRACE(mf::recordName(uint16_t(fn)));
        auto records = only(out, fn);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(colorOf(records[0]), c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ColorRecordTest,
    ::testing::Values(
        ColorCase{"UnmodifiedKeepsColours", [](WmfSettings&) {}, kRed, kRed},
        ColorCase{"FixedWidthKeepsColours", [](WmfSettings& s) { s.Lineoptions = 2; }, kRed, kRed},
        ColorCase{"AdvancedTakesTheLineColour", [](WmfSettings& s) { s.Lineoptions = 3; }, kRed,
                  0x336699},
        ColorCase{"AdvancedBlackTakesRow7", [](WmfSettings& s) { s.Lineoptions = 3; }, 0x000000,
                  0xABCDEF},
        ColorCase{"AdvancedUnmatchedKeepsItsColour", [](WmfSettings& s) { s.Lineoptions = 3; },
                  kNoIndex, kNoIndex},
        ColorCase{"MakeBlack", [](WmfSettings& s) { s.MakeBlack = 1; }, kNoIndex, 0x000000},
        ColorCase{"MakeBlackWithAdvanced",
                  [](WmfSettings& s) {
                      s.MakeBlack = 1;
                      s.Lineoptions = 3;
                  },
                  kRed, 0x000000},
        ColorCase{"WhiteTurnsBlackOnARemovedBackground",
                  [](WmfSettings& s) {
                      s.WhiteBlack = 1;
                      s.RemoveBackground = 1;
                  },
                  kWhite, 0x000000},
        ColorCase{"WhiteStaysWithTheBackground", [](WmfSettings& s) { s.RemoveBackground = 0; },
                  kWhite, kWhite},
        ColorCase{"TheFlagsByteIsCleared", [](WmfSettings&) {}, 0x02000000 | kRed, kRed}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RewritePassTest, APixelKeepsItsColourWhenItsPointIsMapped) {
    t.settings.Rotation = 90;
    auto out =
        render({rec::moveTo(100, 50), rec::lineTo(600, 450), rec::setPixel(300, 200, 0x00123456)});
    auto pixels = only(out, Fn::SetPixel);
    ASSERT_EQ(pixels.size(), 1u);
    EXPECT_EQ(colorOf(pixels[0]), 0x123456u);
    // crop (100, 50)-(600, 450): (maxY - y, x - minX)
    EXPECT_EQ(test::view(pixels[0]).field("x"), 250);
    EXPECT_EQ(test::view(pixels[0]).field("y"), 200);
}

// ---- colour matching ----

TEST_F(RewritePassTest, ForcedPaletteChoosesTheColumnBeforeMatching) {
    render({rec::lineTo(10, 10)});
    const int loaded = t.settings.oPalette;
    const int forced = loaded == 8 ? 4 : 8;
    // An index whose colour in the forced column is no colour of the loaded one.
    int index = -1;
    uint32_t color = 0;
    for (int i = 1; i < 256 && index < 0; ++i) {
        const uint32_t c = aciPaletteColor(i, forced);
        bool inLoaded = false;
        for (int j = 0; j < 256; ++j) inLoaded = inLoaded || aciPaletteColor(j, loaded) == c;
        bool lowerInForced = false;
        for (int j = 0; j < i; ++j)
            lowerInForced = lowerInForced || aciPaletteColor(j, forced) == c;
        if (!inLoaded && !lowerInForced) {
            index = i;
            color = c;
        }
    }
    ASSERT_GT(index, 0) << "the palette columns " << loaded << " and " << forced << " agree";
    t.settings.Lineoptions = 3;
    t.settings.Colors[size_t(index)] = {0, 0.009, 0x00C0FFEE, 0};
    const std::vector<Bytes> picture = {rec::createPen(color, 0, 1), rec::selectObject(0),
                                        rec::lineTo(10, 10)};

    auto plain = only(render(picture), Fn::CreatePenIndirect);
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(colorOf(plain[0]), color);  // not matched in the column the load chose

    t.settings.ForcedPalette = forced;
    auto matched = only(render(picture), Fn::CreatePenIndirect);
    ASSERT_EQ(matched.size(), 1u);
    EXPECT_EQ(colorOf(matched[0]), 0xC0FFEEu);
    EXPECT_EQ(test::view(matched[0]).field("width"), 9);
    EXPECT_EQ(t.settings.oPalette, forced);
}

// ---- styles inside a block under a moved window origin ----

TEST_F(RewritePassTest, StylesInsideAMovedOriginBlockAreNotRewritten) {
    t.settings.Lineoptions = 2;
    t.settings.FixedWidth = 0.01;
    t.settings.Filledoptions = 2;
    t.settings.MakeBlack = 1;
    for (bool originBefore : {false, true}) {
        SCOPED_TRACE(originBefore ? "after a first window origin" : "the first window origin");
        std::vector<Bytes> records;
        if (originBefore) records.push_back(rec::setWindowOrg(0, 0));
        for (const Bytes& r :
             {rec::createPen(kRed, 0, 7), rec::selectObject(0), rec::lineTo(1000, 800),
              rec::saveDc(), rec::setWindowOrg(50, 0), rec::createPen(0x00FF00, 0, 7),
              rec::selectObject(1), rec::createBrush(0x00FF00), rec::selectObject(2),
              rec::setTextColor(0x00FF00), rec::lineTo(500, 500), rec::restoreDc(),
              rec::createPen(0xFF0000, 0, 7), rec::selectObject(3), rec::lineTo(0, 0)})
            records.push_back(r);
        auto out = render(records);
        auto pens = only(out, Fn::CreatePenIndirect);
        ASSERT_EQ(pens.size(), 3u);
        EXPECT_EQ(colorOf(pens[0]), 0u);
        EXPECT_EQ(test::view(pens[0]).field("width"), 10);
        EXPECT_EQ(colorOf(pens[1]), 0x00FF00u);  // inside the block
        EXPECT_EQ(test::view(pens[1]).field("width"), 7);
        EXPECT_EQ(colorOf(pens[2]), 0u);  // the block has ended
        EXPECT_EQ(test::view(pens[2]).field("width"), 10);
        auto brushes = only(out, Fn::CreateBrushIndirect);
        ASSERT_EQ(brushes.size(), 1u);
        EXPECT_EQ(colorOf(brushes[0]), 0x00FF00u);
        auto text = only(out, Fn::SetTextColor);
        ASSERT_EQ(text.size(), 1u);
        EXPECT_EQ(colorOf(text[0]), 0x00FF00u);
    }
}

// ---- the background rectangle ----

TEST_F(RewritePassTest, RemoveBackgroundLeavesOutOnlyTheRectangleAtTheOrigin) {
    t.settings.RemoveBackground = 1;
    auto out = renderWithDrawing({rec::rectangle(0, 0, 500, 400), rec::rectangle(0, 5, 500, 400),
                                  rec::rectangle(5, 0, 500, 400)});
    auto rects = only(out, Fn::Rectangle);
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(test::view(rects[0]).field("top"), 5);
    EXPECT_EQ(test::view(rects[0]).field("left"), 0);
    EXPECT_EQ(test::view(rects[1]).field("left"), 5);
    EXPECT_EQ(test::view(rects[1]).field("top"), 0);
    EXPECT_EQ(t.engine.state.Stats.BackgroundsRemoved, 1);
}

// Follows the objects of an output picture: what each slot holds and which
// slots hold the selected pen and brush (-1: the DC's own).
struct ObjectTracker {
    std::vector<std::optional<Bytes>> slots;
    int pen = -1, brush = -1;

    void step(const Bytes& r) {
        const uint16_t fn = test::functionOf(r);
        const mf::Record v = test::view(r);
        if (fn == uint16_t(Fn::CreatePenIndirect) || fn == uint16_t(Fn::CreateBrushIndirect) ||
            fn == uint16_t(Fn::CreateFontIndirect)) {
            size_t slot = 0;
            while (slot < slots.size() && slots[slot]) ++slot;
            if (slot == slots.size()) slots.emplace_back();
            slots[slot] = r;
        } else if (fn == uint16_t(Fn::SelectObject)) {
            const size_t slot = v.u16(0);
            if (slot >= slots.size() || !slots[slot]) return;
            const uint16_t kind = test::functionOf(*slots[slot]);
            if (kind == uint16_t(Fn::CreatePenIndirect)) pen = int(slot);
            if (kind == uint16_t(Fn::CreateBrushIndirect)) brush = int(slot);
        } else if (fn == uint16_t(Fn::DeleteObject)) {
            const size_t slot = v.u16(0);
            if (slot < slots.size()) slots[slot].reset();
        }
    }
    const Bytes* object(int slot) const {
        return slot >= 0 && size_t(slot) < slots.size() && slots[size_t(slot)]
                   ? &*slots[size_t(slot)]
                   : nullptr;
    }
};

struct BackgroundCase {
    int rotation;
    bool crop;
};

void PrintTo(const BackgroundCase& c, std::ostream* os) {
    *os << "rotation " << c.rotation << (c.crop ? ", crop" : ", no crop");
}

class BackgroundTest : public RewritePassTest,
                       public ::testing::WithParamInterface<BackgroundCase> {};

TEST_P(BackgroundTest, FillsTheWholeOutputWithItsOwnPenAndBrush) {
    const BackgroundCase& c = GetParam();
    t.settings.RemoveBackground = 0;
    t.settings.Rotation = c.rotation;
    t.settings.Crop = c.crop;
    constexpr uint32_t kBackground = 0x00402010;
    auto out = render({rec::createPen(kBackground, 0, 3), rec::selectObject(0),
                       rec::createBrush(0x00406080), rec::selectObject(1),
                       rec::rectangle(0, 0, 1000, 800), rec::createPen(kRed, 0, 1),
                       rec::selectObject(2), rec::moveTo(100, 150), rec::lineTo(700, 500)});
    // Crop: the line, 600 x 350; else the frame, 1000 x 800.
    Size expected = c.crop ? Size{600, 350} : Size{1000, 800};
    if (c.rotation == 90 || c.rotation == 270) std::swap(expected.cx, expected.cy);
    ASSERT_EQ(size, expected);

    ObjectTracker objects;
    size_t i = 0;
    while (i < out.size() && test::functionOf(out[i]) != uint16_t(Fn::Rectangle))
        objects.step(out[i++]);
    ASSERT_LT(i, out.size()) << "no background rectangle";
    // The four records before it select the background's own pen and brush
    // (create, select, create, select); what was selected before them.
    ASSERT_GE(i, 4u);
    for (size_t k = i - 4; k < i; k += 2) {
        EXPECT_TRUE(test::functionOf(out[k]) == uint16_t(Fn::CreatePenIndirect) ||
                    test::functionOf(out[k]) == uint16_t(Fn::CreateBrushIndirect));
        EXPECT_EQ(test::functionOf(out[k + 1]), uint16_t(Fn::SelectObject));
    }
    ObjectTracker before;
    for (size_t k = 0; k < i - 4; ++k) before.step(out[k]);
    const mf::Record rect = test::view(out[i]);
    EXPECT_EQ(rect.field("left"), 0);
    EXPECT_EQ(rect.field("top"), 0);
    EXPECT_EQ(rect.field("right"), expected.cx);
    EXPECT_EQ(rect.field("bottom"), expected.cy);

    const Bytes* pen = objects.object(objects.pen);
    const Bytes* brush = objects.object(objects.brush);
    ASSERT_NE(pen, nullptr);
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(test::view(*pen).field("style"), 0);
    EXPECT_EQ(test::view(*pen).field("width"), 0);
    EXPECT_EQ(colorOf(*pen), kBackground);
    EXPECT_EQ(test::view(*brush).field("style"), 0);
    EXPECT_EQ(colorOf(*brush), kBackground);
    const int tempPen = objects.pen, tempBrush = objects.brush;
    ASSERT_NE(tempPen, before.pen);
    ASSERT_NE(tempBrush, before.brush);

    // Right after it: the previous pen and brush selected back, the
    // temporary ones deleted.
    size_t k = i + 1;
    while (k < out.size() && (test::functionOf(out[k]) == uint16_t(Fn::SelectObject) ||
                              test::functionOf(out[k]) == uint16_t(Fn::DeleteObject)))
        objects.step(out[k++]);
    EXPECT_EQ(objects.pen, before.pen);
    EXPECT_EQ(objects.brush, before.brush);
    ASSERT_NE(objects.object(objects.pen), nullptr);
    EXPECT_EQ(colorOf(*objects.object(objects.pen)), kBackground);  // the picture's own pen
    EXPECT_EQ(colorOf(*objects.object(objects.brush)), 0x00406080u);
    EXPECT_EQ(objects.object(tempPen), nullptr);
    EXPECT_EQ(objects.object(tempBrush), nullptr);
    EXPECT_EQ(count(out, Fn::Rectangle), 1u);
    EXPECT_EQ(t.engine.state.Stats.BackgroundsKept, 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, BackgroundTest,
                         ::testing::Values(BackgroundCase{0, true}, BackgroundCase{90, true},
                                           BackgroundCase{180, true}, BackgroundCase{270, true},
                                           BackgroundCase{0, false}, BackgroundCase{90, false},
                                           BackgroundCase{180, false}, BackgroundCase{270, false}),
                         [](const auto& info) {
                             return "Rotation" + std::to_string(info.param.rotation) +
                                    (info.param.crop ? "Crop" : "NoCrop");
                         });

// ---- outlines that retrace a filled polygon ----

const std::vector<Pt> kSquare = {{100, 100}, {400, 100}, {400, 300}, {100, 300}};

std::vector<Pt> closed(std::vector<Pt> pts) {
    pts.push_back(pts.front());
    return pts;
}

struct OutlineSettings {
    const char* name;
    int removeLines, lineoptions, filledoptions, makeBlack;
    bool removes;
};

const std::vector<OutlineSettings> kOutlineSettings = {
    {"RemoveLinesWithFixedWidth", 1, 2, 0, 0, true},     {"RemoveLinesWithFills", 1, 0, 2, 0, true},
    {"RemoveLinesWithMakeBlack", 1, 0, 0, 1, true},      {"RemoveLinesAlone", 1, 0, 0, 0, false},
    {"FixedWidthWithoutRemoveLines", 0, 2, 0, 0, false},
};

class OutlineTest : public RewritePassTest {
  protected:
    void use(const OutlineSettings& s, int rotation) {
        t.settings.RemoveLines = s.removeLines;
        t.settings.Lineoptions = s.lineoptions;
        t.settings.Filledoptions = s.filledoptions;
        t.settings.MakeBlack = s.makeBlack;
        t.settings.Rotation = rotation;
    }
};

TEST_F(OutlineTest, APolygonRetracedByTheNextPolygonIsDrawnOnce) {
    for (const OutlineSettings& s : kOutlineSettings) {
        for (int rotation : {0, 90}) {
            SCOPED_TRACE(std::string(s.name) + " rotation " + std::to_string(rotation));
            use(s, rotation);
            auto out = renderWithDrawing({rec::polygon(kSquare), rec::polygon(closed(kSquare))});
            EXPECT_EQ(count(out, Fn::Polygon), s.removes ? 1u : 2u);
            EXPECT_EQ(t.engine.state.Stats.OutlinesRemoved, s.removes ? 1 : 0);
        }
    }
}

TEST_F(OutlineTest, OnlyAnExactRetraceOfThePolygonIsLeftOut) {
    use(kOutlineSettings[0], 0);
    std::vector<Pt> moved = closed(kSquare);
    moved[2].x = 401;
    std::vector<Pt> open = kSquare;
    open.push_back({100, 101});
    const std::vector<std::pair<const char*, std::vector<Pt>>> seconds = {
        {"one point moved", moved},
        {"last point not the first", open},
        {"the same polygon again", kSquare},
        {"two points more", closed(closed(kSquare))},
    };
    for (const auto& [name, second] : seconds) {
        SCOPED_TRACE(name);
        auto out = renderWithDrawing({rec::polygon(kSquare), rec::polygon(second)});
        EXPECT_EQ(count(out, Fn::Polygon), 2u);
    }
    // A third polygon that retraces the first is drawn: the second replaced it.
    auto out = renderWithDrawing(
        {rec::polygon(kSquare), rec::polygon(moved), rec::polygon(closed(kSquare))});
    EXPECT_EQ(count(out, Fn::Polygon), 3u);
}

TEST_F(OutlineTest, AClosedPolylineAfterThePolygonIsLeftOutOnce) {
    for (const OutlineSettings& s : kOutlineSettings) {
        for (int rotation : {0, 270}) {
            SCOPED_TRACE(std::string(s.name) + " rotation " + std::to_string(rotation));
            use(s, rotation);
            auto out =
                renderWithDrawing({rec::polygon(kSquare), rec::createPen(kRed, 0, 1),
                                   rec::selectObject(0), rec::lineTo(5, 5), rec::setTextColor(kRed),
                                   rec::polyline(closed(kSquare)), rec::polyline(closed(kSquare))});
            EXPECT_EQ(count(out, Fn::Polyline), s.removes ? 1u : 2u);
            EXPECT_EQ(t.engine.state.Stats.OutlinesRemoved, s.removes ? 1 : 0);
        }
    }
}

TEST_F(OutlineTest, WhichPolylinesCountAsTheOutline) {
    use(kOutlineSettings[0], 0);
    const Pt a = kSquare[0], b = kSquare[1], c = kSquare[2], d = kSquare[3];
    struct Case {
        const char* name;
        std::vector<Pt> polyline;
        bool leftOut;
    };
    const std::vector<Case> cases = {
        {"closed, from the first point", {a, b, c, d, a}, true},
        {"closed, second point the first", {d, a, b, c, d}, true},
        {"closed, the other way round", {a, d, c, b, a}, true},
        {"open", {a, b, c, d}, false},
        {"closed, from elsewhere", {b, c, d, a, b}, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        auto out = renderWithDrawing({rec::polygon(kSquare), rec::polyline(k.polyline)});
        EXPECT_EQ(count(out, Fn::Polyline), k.leftOut ? 0u : 1u);
    }
    // Any polyline in between ends the wait for the outline.
    auto out = renderWithDrawing(
        {rec::polygon(kSquare), rec::polyline({{1, 1}, {2, 2}}), rec::polyline({a, b, c, d, a})});
    EXPECT_EQ(count(out, Fn::Polyline), 2u);
}

// ---- records left out, records changed ----

TEST_F(RewritePassTest, SetMapModeNeverReachesTheOutput) {
    for (int crop : {0, 1}) {
        SCOPED_TRACE(crop);
        t.settings.Crop = crop;
        auto out = renderWithDrawing({rec::setMapMode(1), rec::setMapMode(8)});
        auto modes = only(out, Fn::SetMapMode);
        ASSERT_EQ(modes.size(), 1u);
        EXPECT_EQ(out[0], modes[0]);  // the output's own, first
    }
}

TEST_F(RewritePassTest, ViewportRecordsReachTheOutputOnlyWithoutCrop) {
    for (int crop : {0, 1}) {
        SCOPED_TRACE(crop);
        t.settings.Crop = crop;
        auto out = renderWithDrawing({rec::setViewportOrg(10, 20), rec::setViewportExt(300, 200)});
        EXPECT_EQ(count(out, Fn::SetViewportOrg), crop ? 0u : 1u);
        EXPECT_EQ(count(out, Fn::SetViewportExt), crop ? 0u : 1u);
    }
}

TEST_F(RewritePassTest, APatBltTurnsAroundItsCentre) {
    t.settings.Rotation = 90;
    auto out = render({rec::moveTo(0, 0), rec::lineTo(100, 50), rec::patBlt(0, 0, 10, 4)});
    auto blits = only(out, Fn::PatBlt);
    ASSERT_EQ(blits.size(), 1u);
    const mf::Record p = test::view(blits[0]);
    EXPECT_EQ(p.field("width"), 4);
    EXPECT_EQ(p.field("height"), 10);
    EXPECT_EQ(p.field("x"), 46);
    EXPECT_EQ(p.field("y"), 0);
}

TEST_F(RewritePassTest, TheTextRectangleIsMappedWhenClippedOrOpaque) {
    t.settings.Rotation = 180;
    for (uint16_t options : {0, 2, 4, 6}) {
        SCOPED_TRACE(options);
        std::optional<test::Rect16> box;
        if (options) box = test::Rect16{200, 300, 400, 350};
        auto out = render({rec::moveTo(0, 0), rec::lineTo(1000, 800),
                           rec::extTextOut(250, 320, "ab", options, box)});
        auto texts = only(out, Fn::ExtTextOut);
        ASSERT_EQ(texts.size(), 1u);
        const mf::Record r = test::view(texts[0]);
        EXPECT_EQ(r.i16(1), 750);  // x
        EXPECT_EQ(r.i16(0), 480);  // y
        EXPECT_EQ(r.u16(3), options);
        if (options) {
            EXPECT_EQ(r.i16(4), 800);  // left
            EXPECT_EQ(r.i16(5), 500);  // top
            EXPECT_EQ(r.i16(6), 600);  // right
            EXPECT_EQ(r.i16(7), 450);  // bottom
        }
        // The text itself is kept.
        const size_t textWord = options ? 8 : 4;
        EXPECT_EQ(r.u16(textWord), uint16_t('a' | ('b' << 8)));
    }
}

TEST_F(RewritePassTest, ACompressedBitmapKeepsItsPixelsAndSizesButMovesItsCentre) {
    t.settings.Rotation = 90;
    struct Case {
        const char* name;
        Bytes dib;
        bool turned;
    };
    const std::vector<Case> cases = {
        {"run-length compressed", test::rle8Dib(4, 3), false},
        {"uncompressed", test::patternDib(4, 3, 24), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes in = rec::stretchDibOf(10, 0, 30, 20, c.dib);
        auto out = render({rec::moveTo(0, 0), rec::lineTo(100, 50), in});
        auto bitmaps = only(out, Fn::StretchDib);
        ASSERT_EQ(bitmaps.size(), 1u);
        const mf::Record r = test::view(bitmaps[0]);
        // centre (25, 10) of crop (0, 0)-(100, 50) goes to (40, 25)
        EXPECT_EQ(r.field("destWidth"), c.turned ? 20 : 30);
        EXPECT_EQ(r.field("destHeight"), c.turned ? 30 : 20);
        EXPECT_EQ(r.field("xDest"), c.turned ? 30 : 25);
        EXPECT_EQ(r.field("yDest"), c.turned ? 10 : 15);
        EXPECT_EQ(r.field("srcWidth"), c.turned ? 3 : 4);
        EXPECT_EQ(r.field("srcHeight"), c.turned ? 4 : 3);
        const mf::ByteSpan bits = r.params().subspan(r.info()->fixedBytes);
        if (!c.turned) {
            EXPECT_EQ(Bytes(bits.begin(), bits.end()), c.dib);
        } else {
            EXPECT_EQ(mf::getU32(bits, 4), 3u);  // width: the old height
            EXPECT_EQ(mf::getU32(bits, 8), 4u);
        }
        EXPECT_EQ(t.engine.state.Stats.BitmapsTurned, c.turned ? 1 : 0);
        EXPECT_EQ(t.engine.state.Stats.BitmapsNotTurned, c.turned ? 0 : 1);
    }
}

// ---- statistics ----

TEST_F(RewritePassTest, StatisticsCountWhatThePassChanged) {
    t.settings.Lineoptions = 3;
    t.settings.Filledoptions = 2;
    t.settings.RemoveLines = 1;
    t.settings.RemoveBackground = 1;
    t.settings.Rotation = 90;
    const std::vector<Bytes> records = {
        rec::createPen(kNoIndex, 0, 1),
        rec::selectObject(0),             // unchanged
        rec::rectangle(0, 0, 1000, 800),  // background
        rec::createPen(kRed, 0, 1),
        rec::selectObject(1),  // rewritten
        rec::createPen(kWhite, 0, 1),
        rec::selectObject(2),  // rewritten (row 7 of white)
        rec::createBrush(kRed),
        rec::selectObject(3),  // black
        rec::createBrush(0),
        rec::selectObject(4),  // already black
        rec::setTextColor(kRed),
        rec::setTextColor(kNoIndex),
        rec::polygon(kSquare),
        rec::polyline(closed(kSquare)),
        rec::stretchDibOf(10, 10, 40, 30, test::patternDib(2, 2, 24)),
        rec::stretchDibOf(10, 10, 40, 30, test::rle8Dib(2, 2)),
        rec::moveTo(0, 0),
        rec::lineTo(1000, 800)};
    test::PictureBuilder b;
    for (const Bytes& r : records) b.add(r);
    const size_t recordsIn = b.picture()->recordCount() + 1;  // with META_EOF

    for (int pass = 0; pass < 2; ++pass) {  // counts start again with each render
        SCOPED_TRACE(pass);
        render(records);
        const RewriteStats& s = t.engine.state.Stats;
        EXPECT_EQ(s.RecordsIn, int32_t(recordsIn));
        EXPECT_EQ(s.PensRewritten, 2);
        EXPECT_EQ(s.FillsRewritten, 1);
        EXPECT_EQ(s.ColorsRewritten, 1);
        EXPECT_EQ(s.OutlinesRemoved, 1);
        EXPECT_EQ(s.BackgroundsRemoved, 1);
        EXPECT_EQ(s.BackgroundsKept, 0);
        EXPECT_EQ(s.BitmapsTurned, 1);
        EXPECT_EQ(s.BitmapsNotTurned, 1);
    }
}

}  // namespace
}  // namespace qv
