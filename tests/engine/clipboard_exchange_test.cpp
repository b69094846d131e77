// Pictures passing through the clipboard, run against the in-process
// clipboard: which pictures are improved, what is put back, the size texts,
// the tooltip and the save-as popup, re-entry through the viewer chain, the
// failures, and copying the last picture again.
#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/clipboard_exchange.h"
#include "engine/cmetafile.h"
#include "engine/metafile/gdi.h"
#include "engine/metafile/metafilepict.h"
#include "picture_builder.h"
#include "platform/clipboard.h"
#include "platform/system_error.h"
#include "settings/color_defaults.h"
#include "settings/compute_equals.h"

namespace qv {
namespace {

using mf::Bytes;
using mf::Fn;
using platform::CF_BITMAP;
using platform::CF_DIB;
using platform::CF_ENHMETAFILE;
using platform::CF_LOCALE;
using platform::CF_METAFILEPICT;
using platform::CF_PALETTE;
using platform::CF_TEXT;
using platform::CF_UNICODETEXT;
using platform::ClipboardCall;
using platform::WindowId;
namespace rec = test::rec;

constexpr WindowId kMainWindow = 1;
constexpr WindowId kOtherProgram = 20;  // the program that copied the picture
constexpr WindowId kInspector = 21;     // the test looking at the clipboard
constexpr WindowId kViewer = 30;

// The suggested size every source picture comes with: 2 x 1 inches for a
// window of 2000 x 1000 units, so 1000 units per inch.
constexpr int32_t kSourceExtX = 5080;
constexpr int32_t kSourceExtY = 2540;

// A CAD program's picture: a dark background rectangle at the origin over the
// whole window, and a line from (100, 200) to (1101, 533). Cropped without a
// margin the output is 1001 x 333 units.
mf::MetafileHandle cadPicture() {
    return test::PictureBuilder{rec::setWindowExt(2000, 1000), rec::createPen(0x000000),
                                rec::selectObject(0),          rec::rectangle(0, 0, 2000, 1000),
                                rec::moveTo(100, 200),         rec::lineTo(1101, 533)}
        .picture();
}
constexpr Size kCadOutput{1001, 333};

// Another picture, drawing 500 x 250 units.
mf::MetafileHandle smallPicture() {
    return test::PictureBuilder{rec::setWindowExt(2000, 1000), rec::moveTo(10, 10),
                                rec::lineTo(510, 260)}
        .picture();
}

class RecordingClipboardUi : public ClipboardUi {
  public:
    void showCopyTip(const std::string& text) override { tips.push_back(text); }
    void SaveLastPicture() override {
        ++saves;
        if (onSave) onSave();
    }

    std::vector<std::string> tips;
    int saves = 0;
    std::function<void()> onSave;
};

struct ClipboardPicture {
    mf::METAFILEPICT pict;
    uint32_t flags = 0;
    const mf::Metafile* blockPicture = nullptr;  // the picture the block keeps alive
};

std::string systemText(int error) {
    errno = error;
    return platform::SystemErrorText();
}

class ClipboardExchangeTest : public ::testing::Test {
  protected:
    ClipboardExchangeTest() {
        resetColorDefaults(t.settings, *t.engine.colors);
        ComputeEquals(t.settings, *t.engine.colors);
        t.settings.LeaveMargin = 0;  // the output is the drawing
        t.ui.setMainWindow(kMainWindow);
        makeExchange(false);
    }

    void makeExchange(bool trayProgram) {
        exchange = std::make_unique<ClipboardExchange>(t.engine, clipboard, ui, trayProgram);
    }

    uint32_t named(const std::string& name) {
        uint32_t f = clipboard.RegisterClipboardFormatW(name);
        EXPECT_NE(f, 0u) << name;
        return f;
    }

    // Another program's copy: its picture first, then the other formats.
    void putPicture(const std::vector<uint32_t>& beside = {},
                    mf::MetafileHandle picture = cadPicture()) {
        ASSERT_NE(picture, nullptr);
        original = picture.get();
        ASSERT_TRUE(clipboard.OpenClipboard(kOtherProgram));
        ASSERT_TRUE(clipboard.EmptyClipboard());
        ASSERT_TRUE(clipboard.SetClipboardData(
            CF_METAFILEPICT,
            platform::makeMetafilePictBlock(platform::GHND,
                                            {mf::MM_ANISOTROPIC, kSourceExtX, kSourceExtY, nullptr},
                                            std::move(picture))));
        for (uint32_t f : beside)
            ASSERT_TRUE(clipboard.SetClipboardData(f, platform::GlobalAlloc(platform::GHND, 16)));
        ASSERT_TRUE(clipboard.CloseClipboard());
    }

    // Another program's copy without any picture.
    void putWithoutPicture(const std::vector<uint32_t>& formats) {
        ASSERT_TRUE(clipboard.OpenClipboard(kOtherProgram));
        ASSERT_TRUE(clipboard.EmptyClipboard());
        for (uint32_t f : formats)
            ASSERT_TRUE(clipboard.SetClipboardData(f, platform::GlobalAlloc(platform::GHND, 16)));
        ASSERT_TRUE(clipboard.CloseClipboard());
    }

    std::optional<ClipboardPicture> onClipboard() {
        if (!clipboard.OpenClipboard(kInspector)) return std::nullopt;
        std::optional<ClipboardPicture> result;
        if (platform::GlobalBlock* b = clipboard.GetClipboardData(CF_METAFILEPICT)) {
            if (const auto* p = b->lockAs<mf::METAFILEPICT>()) {
                result = ClipboardPicture{*p, b->flags(), b->metafile()};
                b->unlock();
            }
        }
        clipboard.CloseClipboard();
        return result;
    }

    std::vector<uint32_t> formats() {
        std::vector<uint32_t> out;
        if (!clipboard.OpenClipboard(kInspector)) return out;
        for (uint32_t f = clipboard.EnumClipboardFormats(0); f;
             f = clipboard.EnumClipboardFormats(f))
            out.push_back(f);
        clipboard.CloseClipboard();
        return out;
    }

    // The clipboard holds nothing but the improved picture, rendered once more
    // than `jobsBefore`.
    void expectImprovedOnClipboard(int jobsBefore, Size output = kCadOutput) {
        EXPECT_EQ(formats(), std::vector<uint32_t>{CF_METAFILEPICT});
        std::optional<ClipboardPicture> cp = onClipboard();
        ASSERT_TRUE(cp);
        ASSERT_NE(cp->pict.hMF, nullptr);
        EXPECT_NE(cp->pict.hMF, original);
        EXPECT_EQ(cp->pict.hMF, cp->blockPicture);
        EXPECT_EQ(cp->pict.mm, mf::MM_ANISOTROPIC);
        std::vector<Bytes> out = test::recordsOf(*cp->pict.hMF);
        ASSERT_GE(out.size(), 3u);
        EXPECT_EQ(test::functionOf(out[0]), uint16_t(Fn::SetMapMode));
        EXPECT_EQ(test::view(out[0]).field("mode"), 8);
        EXPECT_EQ(test::functionOf(out[1]), uint16_t(Fn::SetWindowOrg));
        EXPECT_EQ(test::view(out[1]).field("x"), 0);
        EXPECT_EQ(test::view(out[1]).field("y"), 0);
        EXPECT_EQ(test::functionOf(out[2]), uint16_t(Fn::SetWindowExt));
        EXPECT_EQ(test::view(out[2]).field("x"), output.cx);
        EXPECT_EQ(test::view(out[2]).field("y"), output.cy);
        for (const Bytes& r : out)
            EXPECT_NE(test::functionOf(r), uint16_t(Fn::Rectangle)) << "the background is left";
        EXPECT_EQ(t.settings.Jobs, jobsBefore + 1);
        EXPECT_EQ(exchange->LastSizeText.rfind("(size: ", 0), 0u) << exchange->LastSizeText;
        EXPECT_FALSE(exchange->ClipboardBusy);
    }

    // As above, and the picture is the last picture.
    void expectImproved(int jobsBefore, Size output = kCadOutput) {
        expectImprovedOnClipboard(jobsBefore, output);
        EXPECT_TRUE(exchange->HasLastPicture);
        ASSERT_NE(exchange->LastPicture, nullptr);
        EXPECT_EQ(exchange->LastPicture->LoadedFromClipboard, 1);
    }

    // The other program's copy is still there as it was, nothing rendered.
    void expectLeftAlone(const std::vector<uint32_t>& expectedFormats, int jobsBefore) {
        EXPECT_EQ(formats(), expectedFormats);
        std::optional<ClipboardPicture> cp = onClipboard();
        ASSERT_TRUE(cp);
        EXPECT_EQ(cp->pict.hMF, original);
        EXPECT_EQ(cp->pict.xExt, kSourceExtX);
        EXPECT_EQ(t.settings.Jobs, jobsBefore);
        EXPECT_FALSE(exchange->ClipboardBusy);
    }

    std::vector<std::string> messageTexts() const {
        std::vector<std::string> texts;
        for (const auto& m : t.ui.messages) texts.push_back(m.text);
        return texts;
    }

    test::TestEngine t;
    platform::Clipboard clipboard;
    RecordingClipboardUi ui;
    std::unique_ptr<ClipboardExchange> exchange;
    const mf::Metafile* original = nullptr;
};

// ---- which pictures are improved ----

struct DetectionCase {
    const char* name;
    std::vector<int> levels;  // AutoModify, each tried on its own
    bool force;
    std::vector<uint32_t> predefined;  // beside the picture
    std::vector<std::string> registered;
    bool improved;
};

void PrintTo(const DetectionCase& c, std::ostream* os) {
    *os << c.name;
}

class ClipboardDetectionTest : public ClipboardExchangeTest,
                               public ::testing::WithParamInterface<DetectionCase> {};

TEST_P(ClipboardDetectionTest, ImprovesOnlyWhatTheLevelAndFormatsAskFor) {
    const DetectionCase& c = GetParam();
    for (int level : c.levels) {
        SCOPED_TRACE("AutoModify " + std::to_string(level));
        makeExchange(false);
        t.settings.AutoModify = level;
        std::vector<uint32_t> beside = c.predefined;
        for (const std::string& n : c.registered) beside.push_back(named(n));
        putPicture(beside);
        std::vector<uint32_t> before = formats();
        const int jobs = t.settings.Jobs;

        exchange->ReadClipboard(c.force, 0, false);

        if (c.improved) {
            expectImproved(jobs);
        } else {
            expectLeftAlone(before, jobs);
            EXPECT_EQ(exchange->LastSizeText, "(WMF not modified)");
            EXPECT_FALSE(exchange->HasLastPicture);
        }
        EXPECT_EQ(messageTexts(), std::vector<std::string>{});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClipboardDetectionTest,
    ::testing::Values(
        // The CAD programs' own formats force the improvement from level 1 up.
        DetectionCase{"AutoCadFormat", {1, 2, 3}, false, {CF_ENHMETAFILE}, {"AutoCAD.r19"}, true},
        DetectionCase{"AutoCadInLowerCase", {1, 2, 3}, false, {}, {"autocad.r16"}, true},
        DetectionCase{"AutoCadInCapitals", {1}, false, {}, {"AUTOCAD"}, true},
        DetectionCase{"AutosketchFormat", {1, 2, 3}, false, {}, {"Autosketch 9"}, true},
        DetectionCase{"AutosketchInCapitals", {1}, false, {}, {"AUTOSKETCH"}, true},
        DetectionCase{"AutoCadAfterOtherFormats",
                      {1},
                      false,
                      {CF_TEXT},
                      {"Rich Text Format", "AutoCAD.r19"},
                      true},
        DetectionCase{
            "AutoCadOutweighsText", {2}, false, {CF_TEXT, CF_LOCALE}, {"AutoCAD.r19"}, true},
        DetectionCase{"NameOnlyBeginningLikeAutoCad", {1}, false, {}, {"AutoCA"}, false},
        DetectionCase{"NameOnlyBeginningLikeAutosketch", {1}, false, {}, {"Autosketc"}, false},
        DetectionCase{"AutoCadInsideAName", {1}, false, {}, {"Export of AutoCAD"}, false},
        // Forced: any level, anything beside.
        DetectionCase{
            "ForcedAtEveryLevel", {0, 1, 2, 3}, true, {CF_TEXT}, {"Rich Text Format"}, true},
        // Level 0: only on command.
        DetectionCase{"Level0PictureAlone", {0}, false, {}, {}, false},
        DetectionCase{"Level0WithPictureFormats", {0}, false, {CF_ENHMETAFILE, CF_DIB}, {}, false},
        // Level 1: only the CAD programs.
        DetectionCase{"Level1PictureAlone", {1}, false, {}, {}, false},
        DetectionCase{"Level1WithPictureFormats", {1}, false, {CF_ENHMETAFILE, CF_DIB}, {}, false},
        // Level 2: pictures that come with nothing but other pictures.
        DetectionCase{"Level2PictureAlone", {2}, false, {}, {}, true},
        DetectionCase{"Level2WithEnhancedMetafile", {2}, false, {CF_ENHMETAFILE}, {}, true},
        DetectionCase{"Level2WithAllPictureFormats",
                      {2},
                      false,
                      {CF_DIB, CF_BITMAP, CF_ENHMETAFILE},
                      {},
                      true},
        DetectionCase{"Level2WithARegisteredFormat", {2}, false, {}, {"Rich Text Format"}, true},
        DetectionCase{"Level2WithText", {2}, false, {CF_TEXT}, {}, false},
        DetectionCase{
            "Level2WithPicturesAndText", {2}, false, {CF_ENHMETAFILE, CF_UNICODETEXT}, {}, false},
        DetectionCase{"Level2WithAPalette", {2}, false, {CF_PALETTE}, {}, false},
        DetectionCase{"Level2WithALocale", {2}, false, {CF_DIB, CF_LOCALE}, {}, false},
        // Level 3: everything.
        DetectionCase{
            "Level3WithText", {3}, false, {CF_TEXT, CF_UNICODETEXT}, {"Rich Text Format"}, true},
        DetectionCase{"Level3PictureAlone", {3}, false, {}, {}, true}),
    [](const ::testing::TestParamInfo<DetectionCase>& info) {
        return std::string(info.param.name);
    });

TEST_F(ClipboardExchangeTest, AClipboardWithoutAPictureChangesNothing) {
    // A read before leaves a last picture and a size text.
    putPicture();
    exchange->ReadClipboard(true, 0, false);
    ASSERT_TRUE(exchange->HasLastPicture);
    const CMetafile* last = exchange->LastPicture.get();
    const std::string sizeText = exchange->LastSizeText;

    t.settings.AutoModify = 3;
    putWithoutPicture({CF_TEXT, named("AutoCAD.r19"), CF_ENHMETAFILE});
    const std::vector<uint32_t> before = formats();
    const uint32_t sequence = clipboard.GetClipboardSequenceNumber();
    const int jobs = t.settings.Jobs;

    exchange->ReadClipboard(true, 0, true);

    EXPECT_EQ(formats(), before);
    EXPECT_EQ(clipboard.GetClipboardSequenceNumber(), sequence);
    EXPECT_EQ(exchange->LastSizeText, sizeText);
    EXPECT_EQ(exchange->LastPicture.get(), last);
    EXPECT_EQ(t.settings.Jobs, jobs);
    EXPECT_TRUE(ui.tips.empty());
    EXPECT_TRUE(t.ui.messages.empty());
    EXPECT_FALSE(exchange->ClipboardBusy);
}

TEST_F(ClipboardExchangeTest, APictureFormatWithoutDataChangesNothing) {
    ASSERT_TRUE(clipboard.OpenClipboard(kOtherProgram));
    ASSERT_TRUE(clipboard.EmptyClipboard());
    ASSERT_TRUE(clipboard.SetClipboardData(CF_METAFILEPICT, nullptr));
    ASSERT_TRUE(clipboard.CloseClipboard());
    const uint32_t sequence = clipboard.GetClipboardSequenceNumber();

    exchange->ReadClipboard(true, 0, true);

    EXPECT_FALSE(exchange->HasLastPicture);
    EXPECT_EQ(clipboard.GetClipboardSequenceNumber(), sequence);
    EXPECT_EQ(clipboard.CountClipboardFormats(), 1);
    EXPECT_EQ(t.settings.Jobs, 0);
    EXPECT_TRUE(ui.tips.empty());
    EXPECT_FALSE(exchange->ClipboardBusy);
}

TEST_F(ClipboardExchangeTest, TheLastPictureIsTheLoadedClipboardPicture) {
    putPicture({CF_TEXT});
    exchange->ReadClipboard(true, 12.5, false);
    ASSERT_NE(exchange->LastPicture, nullptr);
    const CMetafile& last = *exchange->LastPicture;
    EXPECT_EQ(last.ViewHeight, 12.5);
    EXPECT_EQ(last.ExtX, kSourceExtX);
    EXPECT_EQ(last.ExtY, kSourceExtY);
    EXPECT_EQ(last.WindowExt, (Size{2000, 1000}));
    EXPECT_EQ(last.Extent, (Rect{100, 200, 1101, 533}));
    // Its own copy: the source went with the clipboard's old contents.
    ASSERT_NE(last.Handle, nullptr);
    EXPECT_NE(last.Handle.get(), original);
}

// ---- the picture put back ----

struct SizeCase {
    const char* name;
    int isMetric;
    double percentage;  // of the picture's own 1000 units per inch
    int32_t xExt, yExt;
    const char* text;
};

void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.name;
}

class ClipboardSizeTest : public ClipboardExchangeTest,
                          public ::testing::WithParamInterface<SizeCase> {};

// The output is 1001 x 333 units; xExt = trunc(1001 * 2540 / scale),
// yExt = MulDiv(xExt, 333, 1001), rounded.
TEST_P(ClipboardSizeTest, ThePictureCarriesItsPrintedSize) {
    const SizeCase& c = GetParam();
    t.settings.IsMetric = c.isMetric;
    t.settings.Percentage = c.percentage;
    putPicture({named("AutoCAD.r19")});

    exchange->ReadClipboard(false, 0, false);

    EXPECT_DOUBLE_EQ(t.engine.state.OutputScale, 1000.0 * 100.0 / c.percentage);
    std::optional<ClipboardPicture> cp = onClipboard();
    ASSERT_TRUE(cp);
    EXPECT_EQ(cp->pict.mm, mf::MM_ANISOTROPIC);
    EXPECT_EQ(cp->pict.xExt, c.xExt);
    EXPECT_EQ(cp->pict.yExt, c.yExt);
    EXPECT_EQ(cp->flags,
              platform::GMEM_DDESHARE | platform::GMEM_ZEROINIT | platform::GMEM_MOVEABLE);
    EXPECT_EQ(exchange->LastSizeText, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClipboardSizeTest,
    ::testing::Values(
        // 2542.54 -> 2542; 2542 * 333 / 1001 = 845.6 -> 846.
        SizeCase{"Inches", 0, 100, 2542, 846, "(size: 1.00\" * 0.33\")"},
        SizeCase{"Centimetres", 1, 100, 2542, 846, "(size: 2.5 * 0.8 cm)"},
        // 1271.27 -> 1271; 422.8 -> 423.
        SizeCase{"HalfSizeInches", 0, 50, 1271, 423, "(size: 0.50\" * 0.17\")"},
        SizeCase{"HalfSizeCentimetres", 1, 50, 1271, 423, "(size: 1.3 * 0.4 cm)"},
        // 7627.62 -> 7627; 2537.3 -> 2537.
        SizeCase{"TripleSizeInches", 0, 300, 7627, 2537, "(size: 3.00\" * 1.00\")"},
        SizeCase{"TripleSizeCentimetres", 1, 300, 7627, 2537, "(size: 7.6 * 2.5 cm)"}),
    [](const ::testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

TEST_F(ClipboardExchangeTest, APrintedWidthOf100MmReadsTenCentimetres) {
    t.settings.IsMetric = 1;
    t.settings.Widthoptions = 1;   // a fixed printed width
    t.settings.PictureWidth = 10;  // cm
    putPicture();

    exchange->ReadClipboard(true, 0, false);

    std::optional<ClipboardPicture> cp = onClipboard();
    ASSERT_TRUE(cp);
    EXPECT_NEAR(cp->pict.xExt, 10000, 1);
    EXPECT_EQ(exchange->LastSizeText, "(size: 10.0 * 3.3 cm)");
}

// ---- the tooltip and the save-as popup ----

struct TipCase {
    bool showTip;
    int tooltip;
};

class ClipboardTooltipTest : public ClipboardExchangeTest,
                             public ::testing::WithParamInterface<TipCase> {};

TEST_P(ClipboardTooltipTest, ShowsTheSizeOnlyWhenAskedForAndWanted) {
    const TipCase c = GetParam();
    t.settings.Tooltip = c.tooltip;
    putPicture();

    exchange->ReadClipboard(true, 0, c.showTip);

    ASSERT_TRUE(exchange->HasLastPicture);
    if (c.showTip && c.tooltip) {
        ASSERT_EQ(ui.tips.size(), 1u);
        EXPECT_EQ(ui.tips, std::vector<std::string>{"Clipboard modified by Quorvex\n" +
                                                    exchange->LastSizeText});
        EXPECT_EQ(ui.tips[0], "Clipboard modified by Quorvex\n(size: 1.00\" * 0.33\")");
    } else {
        EXPECT_TRUE(ui.tips.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ClipboardTooltipTest,
                         ::testing::Values(TipCase{true, 1}, TipCase{true, 0}, TipCase{false, 1},
                                           TipCase{false, 0}),
                         [](const ::testing::TestParamInfo<TipCase>& info) {
                             return std::string(info.param.showTip ? "Asked" : "NotAsked") +
                                    (info.param.tooltip ? "Wanted" : "NotWanted");
                         });

TEST_F(ClipboardExchangeTest, APictureLeftAloneShowsNoTip) {
    putPicture({CF_TEXT});
    exchange->ReadClipboard(false, 0, true);
    EXPECT_EQ(exchange->LastSizeText, "(WMF not modified)");
    EXPECT_TRUE(ui.tips.empty());
}

struct PopupCase {
    bool trayProgram;
    int popupSaveas;
    int saves;
};

class ClipboardSaveasPopupTest : public ClipboardExchangeTest,
                                 public ::testing::WithParamInterface<PopupCase> {};

TEST_P(ClipboardSaveasPopupTest, FollowsTheCopyInTheTrayProgramOnly) {
    const PopupCase c = GetParam();
    makeExchange(c.trayProgram);
    t.settings.PopupSaveas = c.popupSaveas;
    putPicture({named("AutoCAD.r19")});
    // What the popup finds when it comes.
    bool hadLastPicture = false;
    std::vector<uint32_t> formatsThen;
    ui.onSave = [&] {
        hadLastPicture = exchange->HasLastPicture;
        formatsThen = formats();
    };

    exchange->ReadClipboard(false, 0, false);

    EXPECT_EQ(ui.saves, c.saves);
    if (c.saves) {
        EXPECT_TRUE(hadLastPicture);
        EXPECT_EQ(formatsThen, std::vector<uint32_t>{CF_METAFILEPICT});
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ClipboardSaveasPopupTest,
                         ::testing::Values(PopupCase{true, 1, 1}, PopupCase{true, 0, 0},
                                           PopupCase{false, 1, 0}, PopupCase{false, 0, 0}),
                         [](const ::testing::TestParamInfo<PopupCase>& info) {
                             return std::string(info.param.trayProgram ? "Tray" : "PlugIn") +
                                    (info.param.popupSaveas ? "PopupSaveas" : "NoPopup");
                         });

TEST_F(ClipboardExchangeTest, APictureLeftAloneGetsNoSaveasPopup) {
    makeExchange(true);
    t.settings.PopupSaveas = 1;
    putPicture({CF_TEXT});
    exchange->ReadClipboard(false, 0, true);
    EXPECT_EQ(ui.saves, 0);
}

// ---- re-entry through the viewer chain ----

// The tray program's clipboard watcher: reads the clipboard whenever it
// changes, as the viewer chain tells it from inside the writer's close.
class Watcher : public platform::ClipboardMessageSink {
  public:
    explicit Watcher(ClipboardExchange*& exchange) : exchange_(exchange) {}

    void onClipboardMessage(WindowId to, uint32_t msg, uint64_t, int64_t) override {
        if (to != kViewer || msg != platform::WM_DRAWCLIPBOARD) return;
        ++notifications;
        busySeen.push_back(exchange_->ClipboardBusy);
        // Deep enough to show a second improvement, not an endless one.
        if (depth_ >= 2) return;
        ++depth_;
        exchange_->ReadClipboard(false, 0, true);
        --depth_;
    }

    int notifications = 0;
    std::vector<bool> busySeen;

  private:
    ClipboardExchange*& exchange_;
    int depth_ = 0;
};

class ClipboardReentryTest : public ClipboardExchangeTest {
  protected:
    ClipboardReentryTest() {
        t.settings.AutoModify = 3;  // a second read would improve again
        makeExchange(true);
        current = exchange.get();
        putPicture();
        clipboard.SetClipboardViewer(kViewer);
        clipboard.setMessageSink(&watcher);
    }
    ~ClipboardReentryTest() override { clipboard.setMessageSink(nullptr); }

    ClipboardExchange* current = nullptr;
    Watcher watcher{current};
};

TEST_F(ClipboardReentryTest, OurOwnWriteIsNotImprovedAgain) {
    exchange->ReadClipboard(false, 0, true);

    EXPECT_EQ(watcher.notifications, 1);
    EXPECT_EQ(watcher.busySeen, std::vector<bool>{true});
    expectImproved(0);
    EXPECT_EQ(ui.tips.size(), 1u);
    EXPECT_TRUE(t.ui.messages.empty());
}

TEST_F(ClipboardReentryTest, TheWatcherImprovesTheNextCopyOfAnotherProgram) {
    exchange->ReadClipboard(false, 0, true);
    ASSERT_EQ(t.settings.Jobs, 1);

    putPicture({CF_TEXT});  // the other program copies again; the watcher reads it

    EXPECT_EQ(watcher.notifications, 3);  // that copy and our write of it
    EXPECT_EQ(watcher.busySeen, (std::vector<bool>{true, false, true}));
    expectImproved(1);
}

TEST_F(ClipboardReentryTest, CopyingTheLastPictureAgainIsNotImprovedAgain) {
    exchange->ReadClipboard(false, 0, true);
    ASSERT_EQ(t.settings.Jobs, 1);
    watcher.busySeen.clear();

    exchange->CopyLastToClipboard();

    EXPECT_EQ(watcher.busySeen, std::vector<bool>{true});
    EXPECT_EQ(t.settings.Jobs, 2);
    EXPECT_EQ(clipboard.CountClipboardFormats(), 1);
    EXPECT_FALSE(exchange->ClipboardBusy);
}

// ---- failures ----

struct OpenFailureCase {
    const char* name;
    bool otherProgramHoldsIt;  // else the open fails by itself
    int error;
};

void PrintTo(const OpenFailureCase& c, std::ostream* os) {
    *os << c.name;
}

class ClipboardReadOpenFailureTest : public ClipboardExchangeTest,
                                     public ::testing::WithParamInterface<OpenFailureCase> {};

TEST_P(ClipboardReadOpenFailureTest, ReportsOnceAndKeepsTheLastPicture) {
    const OpenFailureCase& c = GetParam();
    putPicture();
    exchange->ReadClipboard(true, 0, false);
    ASSERT_TRUE(exchange->HasLastPicture);
    const CMetafile* last = exchange->LastPicture.get();

    putPicture({CF_TEXT});
    const int jobs = t.settings.Jobs;
    if (c.otherProgramHoldsIt) {
        ASSERT_TRUE(clipboard.OpenClipboard(kOtherProgram));
    } else {
        clipboard.failNext(ClipboardCall::Open, c.error);
    }

    exchange->ReadClipboard(true, 0, true);

    EXPECT_EQ(exchange->LastSizeText, "(unable to open clipboard for reading)");
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_EQ(t.ui.messages[0].text,
              "Unable to open clipboard for reading:\n" + systemText(c.error));
    EXPECT_EQ(t.ui.messages[0].caption, "Quorvex error");
    EXPECT_EQ(exchange->LastPicture.get(), last);
    EXPECT_TRUE(exchange->HasLastPicture);
    EXPECT_EQ(t.settings.Jobs, jobs);
    EXPECT_TRUE(ui.tips.empty());
    EXPECT_FALSE(exchange->ClipboardBusy);

    // Once the clipboard can be opened again, the next read works.
    if (c.otherProgramHoldsIt) {
        ASSERT_TRUE(clipboard.CloseClipboard());
    }
    exchange->ReadClipboard(true, 0, false);
    expectImproved(jobs);
    EXPECT_NE(exchange->LastPicture.get(), last);
}

INSTANTIATE_TEST_SUITE_P(Cases, ClipboardReadOpenFailureTest,
                         ::testing::Values(OpenFailureCase{"AnotherProgramHoldsIt", true, EBUSY},
                                           OpenFailureCase{"TheOpenFails", false, EPERM}),
                         [](const ::testing::TestParamInfo<OpenFailureCase>& info) {
                             return std::string(info.param.name);
                         });

class ClipboardCopyTest : public ClipboardExchangeTest {
  protected:
    ClipboardCopyTest() {
        source = cadPicture();
        picture.LoadClipboardPicture(
            t.engine, {mf::MM_ANISOTROPIC, kSourceExtX, kSourceExtY, source.get()}, 0, 0);
    }

    mf::MetafileHandle source;
    CMetafile picture;
};

TEST_F(ClipboardCopyTest, CopyingReplacesEverythingOnTheClipboard) {
    putPicture({CF_TEXT, named("AutoCAD.r19")});
    EXPECT_EQ(exchange->CopyToClipboard(picture, true), 1);
    expectImprovedOnClipboard(0);
    EXPECT_FALSE(exchange->HasLastPicture);  // a plain copy is no read
    EXPECT_EQ(ui.tips.size(), 1u);
}

TEST_F(ClipboardCopyTest, AFailedOpenForWritingIsReportedAndLeavesTheClipboard) {
    putPicture({CF_TEXT});
    const std::vector<uint32_t> before = formats();
    for (bool otherProgramHoldsIt : {false, true}) {
        SCOPED_TRACE(otherProgramHoldsIt ? "another program holds it" : "the open fails");
        t.ui.messages.clear();
        if (otherProgramHoldsIt) {
            ASSERT_TRUE(clipboard.OpenClipboard(kOtherProgram));
        } else {
            clipboard.failNext(ClipboardCall::Open, EPERM);
        }

        EXPECT_EQ(exchange->CopyToClipboard(picture, true), 0);

        if (otherProgramHoldsIt) {
            ASSERT_TRUE(clipboard.CloseClipboard());
        }
        ASSERT_EQ(t.ui.messages.size(), 1u);
        EXPECT_EQ(t.ui.messages[0].text, "Unable to open clipboard for writing:\n" +
                                             systemText(otherProgramHoldsIt ? EBUSY : EPERM));
        EXPECT_EQ(formats(), before);
        std::optional<ClipboardPicture> cp = onClipboard();
        ASSERT_TRUE(cp);
        EXPECT_EQ(cp->pict.hMF, original);
        EXPECT_TRUE(ui.tips.empty());
    }
}

TEST_F(ClipboardCopyTest, AFailedWriteIsReported) {
    putPicture({CF_TEXT});
    clipboard.failNext(ClipboardCall::SetData, ENOMEM);

    EXPECT_EQ(exchange->CopyToClipboard(picture, false), 1);

    EXPECT_EQ(messageTexts(),
              std::vector<std::string>{"Unable to write clipboard.\n" + systemText(ENOMEM)});
    EXPECT_FALSE(clipboard.IsClipboardFormatAvailable(CF_METAFILEPICT));
    EXPECT_EQ(clipboard.GetOpenClipboardWindow(), 0u);
}

TEST_F(ClipboardExchangeTest, AReadWhoseWriteFailsStillKeepsTheLastPicture) {
    putPicture({named("AutoCAD.r19")});
    clipboard.failNext(ClipboardCall::SetData, ENOMEM);

    exchange->ReadClipboard(false, 0, false);

    EXPECT_EQ(messageTexts(),
              std::vector<std::string>{"Unable to write clipboard.\n" + systemText(ENOMEM)});
    EXPECT_TRUE(exchange->HasLastPicture);
    EXPECT_FALSE(clipboard.IsClipboardFormatAvailable(CF_METAFILEPICT));
    EXPECT_EQ(clipboard.GetOpenClipboardWindow(), 0u);
    EXPECT_FALSE(exchange->ClipboardBusy);
}

// ---- pictures of IntelliCAD ----

struct IntelliCadCase {
    const char* name;
    bool trayProgram;
    int level;
    bool force;
    std::vector<std::string> registered;
    bool improved;
    int palette;  // oPalette after the read
};

void PrintTo(const IntelliCadCase& c, std::ostream* os) {
    *os << c.name;
}

class ClipboardIntelliCadTest : public ClipboardExchangeTest,
                                public ::testing::WithParamInterface<IntelliCadCase> {};

TEST_P(ClipboardIntelliCadTest, IsImprovedUnderTheUsualRulesWithItsOwnPalette) {
    const IntelliCadCase& c = GetParam();
    makeExchange(c.trayProgram);
    t.settings.AutoModify = c.level;
    std::vector<uint32_t> beside;
    for (const std::string& n : c.registered) beside.push_back(named(n));
    putPicture(beside);
    const std::vector<uint32_t> before = formats();

    exchange->ReadClipboard(c.force, 0, false);

    if (c.improved) {
        expectImproved(0);
        ASSERT_NE(exchange->LastPicture, nullptr);
        EXPECT_EQ(exchange->LastPicture->IntelliCadPalette != 0, c.palette == 8);
        EXPECT_EQ(t.settings.oPalette, c.palette);
    } else {
        expectLeftAlone(before, 0);
        EXPECT_EQ(exchange->LastSizeText, "(WMF not modified)");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ClipboardIntelliCadTest,
    ::testing::Values(
        IntelliCadCase{"NotForcedAtLevel1", true, 1, false, {"IntelliCAD 7"}, false, 0},
        IntelliCadCase{"ForcedInTheTrayProgram", true, 1, true, {"IntelliCAD 7"}, true, 8},
        IntelliCadCase{"AloneAtLevel2", true, 2, false, {"IntelliCAD Picture"}, true, 8},
        IntelliCadCase{
            "WithAutoCadFormat", true, 1, false, {"IntelliCAD 7", "AutoCAD.r19"}, true, 8},
        IntelliCadCase{
            "OtherProgramsInTheTrayProgram", true, 3, false, {"Rich Text Format"}, true, 4},
        IntelliCadCase{"NotRecognisedByThePlugIn", false, 1, true, {"IntelliCAD 7"}, true, 4}),
    [](const ::testing::TestParamInfo<IntelliCadCase>& info) {
        return std::string(info.param.name);
    });

// ---- the last picture ----

TEST_F(ClipboardExchangeTest, CopyingTheLastPictureWithoutOneDoesNothing) {
    putPicture({CF_TEXT});
    const std::vector<uint32_t> before = formats();
    const uint32_t sequence = clipboard.GetClipboardSequenceNumber();

    exchange->CopyLastToClipboard();

    EXPECT_FALSE(exchange->HasLastPicture);
    EXPECT_EQ(formats(), before);
    EXPECT_EQ(clipboard.GetClipboardSequenceNumber(), sequence);
    EXPECT_EQ(t.settings.Jobs, 0);
    EXPECT_TRUE(exchange->LastSizeText.empty());
    EXPECT_TRUE(ui.tips.empty());
    EXPECT_TRUE(t.ui.messages.empty());
}

TEST_F(ClipboardExchangeTest, TheLastPictureIsCopiedAgainUnderTheNewOptions) {
    putPicture({named("AutoCAD.r19")});
    exchange->ReadClipboard(false, 0, false);
    ASSERT_TRUE(exchange->HasLastPicture);
    const CMetafile* last = exchange->LastPicture.get();
    putWithoutPicture({CF_TEXT});  // something else was copied meanwhile
    t.settings.Percentage = 50;

    exchange->CopyLastToClipboard();

    EXPECT_EQ(formats(), std::vector<uint32_t>{CF_METAFILEPICT});
    std::optional<ClipboardPicture> cp = onClipboard();
    ASSERT_TRUE(cp);
    EXPECT_EQ(cp->pict.xExt, 1271);
    EXPECT_EQ(cp->pict.yExt, 423);
    EXPECT_EQ(exchange->LastSizeText, "(size: 0.50\" * 0.17\")");
    EXPECT_EQ(ui.tips,
              std::vector<std::string>{"Clipboard modified by Quorvex\n(size: 0.50\" * 0.17\")"});
    EXPECT_EQ(exchange->LastPicture.get(), last);
    EXPECT_EQ(t.settings.Jobs, 2);
    EXPECT_FALSE(exchange->ClipboardBusy);
}

TEST_F(ClipboardExchangeTest, NothingIsCopiedWhileTheClipboardIsBusy) {
    putPicture();
    exchange->ReadClipboard(true, 0, false);
    putWithoutPicture({CF_TEXT});
    uint32_t sequence = clipboard.GetClipboardSequenceNumber();

    exchange->ClipboardBusy = true;
    exchange->CopyLastToClipboard();
    EXPECT_EQ(clipboard.GetClipboardSequenceNumber(), sequence);

    putPicture();
    sequence = clipboard.GetClipboardSequenceNumber();
    exchange->ReadClipboard(true, 0, false);
    EXPECT_EQ(clipboard.GetClipboardSequenceNumber(), sequence);
    std::optional<ClipboardPicture> cp = onClipboard();
    ASSERT_TRUE(cp);
    EXPECT_EQ(cp->pict.hMF, original);
    EXPECT_EQ(t.settings.Jobs, 1);
    EXPECT_TRUE(exchange->ClipboardBusy);
}

TEST_F(ClipboardExchangeTest, AReplacedLastPictureIsTheOneCopiedAgain) {
    putPicture();
    exchange->ReadClipboard(true, 0, false);
    ASSERT_TRUE(exchange->HasLastPicture);

    mf::MetafileHandle merged = smallPicture();
    auto picture = std::make_unique<CMetafile>();
    picture->LoadClipboardPicture(
        t.engine, {mf::MM_ANISOTROPIC, kSourceExtX, kSourceExtY, merged.get()}, 0, 0);
    const CMetafile* replacement = picture.get();
    exchange->ReplaceLastPicture(std::move(picture));
    EXPECT_EQ(exchange->LastPicture.get(), replacement);
    EXPECT_TRUE(exchange->HasLastPicture);

    exchange->CopyLastToClipboard();
    expectImproved(1, Size{500, 250});
}

TEST_F(ClipboardExchangeTest, AReplacementIsTheFirstLastPicture) {
    auto picture = std::make_unique<CMetafile>();
    mf::MetafileHandle merged = smallPicture();
    picture->LoadClipboardPicture(
        t.engine, {mf::MM_ANISOTROPIC, kSourceExtX, kSourceExtY, merged.get()}, 0, 0);
    exchange->ReplaceLastPicture(std::move(picture));
    ASSERT_TRUE(exchange->HasLastPicture);

    exchange->CopyLastToClipboard();

    std::optional<ClipboardPicture> cp = onClipboard();
    ASSERT_TRUE(cp);
    EXPECT_EQ(cp->pict.xExt, 1270);  // 500 units at 1000 per inch
    EXPECT_EQ(cp->pict.yExt, 635);
    EXPECT_EQ(t.settings.Jobs, 1);
}

}  // namespace
}  // namespace qv
