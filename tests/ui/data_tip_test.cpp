#include "ui/data_tip.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/metafile/text_measure.h"
#include "headless_ui.h"
#include "platform/window/window_api.h"

namespace qv::ui {
namespace {

using namespace platform::win;

int lineHeight() {
    return mf::GetTextExtentPoint32W(TFXDataTip::tipFont(), "X").cy;
}
int textWidth(const std::string& line) {
    return mf::GetTextExtentPoint32W(TFXDataTip::tipFont(), line).cx;
}

class DataTipTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(
            mainWindow.CreateEx(0, "QuorvexClass", "Quorvex", WS_POPUP, RECT{}, nullptr, 0));
    }
    void TearDown() override {
        delete TFXDataTip::CurrentTip;  // a tip a test left on screen
        EXPECT_EQ(TFXDataTip::CurrentTip, nullptr);
    }

    // A new tip, created with the (hidden) main window as parent and shown.
    TFXDataTip* show(POINT at, const std::string& text) {
        auto* tip = new TFXDataTip;
        EXPECT_EQ(tip->Create(&mainWindow), 1);
        tip->ShowTip(at, text);
        return tip;
    }

    int tipWindowCount() const {
        auto all = machine.backend.children(mainWindow.m_hWnd);
        return int(std::count_if(all.begin(), all.end(), [&](HWND w) {
            return machine.backend.className(w) == TFXDataTip::kClassName;
        }));
    }

    test::HeadlessUi machine;
    CWnd mainWindow;
};

TEST_F(DataTipTest, CreateMakesAHiddenTopmostPopup) {
    TFXDataTip tip;
    ASSERT_EQ(tip.Create(&mainWindow), 1);
    EXPECT_EQ(tip.GetWindowText(), "Tooltip Window");
    EXPECT_EQ(tip.GetStyle(), WS_POPUP | WS_CLIPSIBLINGS | WS_BORDER);
    EXPECT_NE(tip.GetExStyle() & WS_EX_TOPMOST, 0u);
    EXPECT_EQ(tip.GetStyle() & WS_VISIBLE, 0u);
    EXPECT_EQ(tip.GetParent(), &mainWindow);
    mf::LogFont f = TFXDataTip::tipFont();
    EXPECT_EQ(f.height, 16);
    EXPECT_EQ(f.width, 0);
    EXPECT_EQ(f.weight, 0);
    EXPECT_EQ(f.italic + f.underline + f.strikeOut, 0);
    EXPECT_EQ(f.faceName, "MS Sans Serif");
}

TEST(DataTipSplit, SplitsLikeWcstok) {
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"one line", {"one line"}},
        {"first\nsecond", {"first", "second"}},
        {"first\n\nsecond", {"first", "second"}},
        {"\n\nfirst\n", {"first"}},
        {"\n", {}},
        {"Clipboard modified by Quorvex\n21.00 x 29.70 cm",
         {"Clipboard modified by Quorvex", "21.00 x 29.70 cm"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TFXDataTip::splitLines(c.text), c.lines) << '"' << c.text << '"';
}

struct SizeCase {
    std::string text;
    std::vector<std::string> lines;  // the lines that are measured
};

class DataTipSizeTest : public DataTipTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(DataTipSizeTest, WindowFitsTheLinesWithItsFrame) {
    TFXDataTip* tip = show(POINT{100, 200}, GetParam().text);
    int width = 0;
    for (const std::string& l : GetParam().lines) width = std::max(width, textWidth(l));
    int height = int(GetParam().lines.size()) * lineHeight();
    RECT r = tip->GetWindowRect();
    EXPECT_EQ(r.width(), width + 8);
    EXPECT_EQ(r.height(), height + 4);
    EXPECT_EQ(r.left, 106);
    EXPECT_EQ(r.top, 203);
    EXPECT_NE(tip->GetStyle() & WS_VISIBLE, 0u);
    EXPECT_EQ(TFXDataTip::CurrentTip, tip);
}

INSTANTIATE_TEST_SUITE_P(Texts, DataTipSizeTest,
                         ::testing::Values(SizeCase{"Clipboard modified by Quorvex",
                                                    {"Clipboard modified by Quorvex"}},
                                           SizeCase{"short\n\na much longer second line",
                                                    {"short", "a much longer second line"}},
                                           SizeCase{"", {}}));

TEST_F(DataTipTest, EmptyTextGivesEightByFour) {
    TFXDataTip* tip = show(POINT{50, 60}, "");
    EXPECT_EQ(tip->GetWindowRect(), (RECT{56, 63, 64, 67}));
}

TEST_F(DataTipTest, ShownTopmostWithoutTakingTheFocus) {
    HWND before = GetForegroundWindow();
    TFXDataTip* tip = show(POINT{10, 10}, "tip");
    EXPECT_EQ(GetForegroundWindow(), before);
    EXPECT_NE(tip->GetExStyle() & WS_EX_TOPMOST, 0u);
}

struct EdgeCase {
    POINT point;
    SIZE screen;
    int left, top;  // expected corner; the tip is 8 + width by 4 + one line high
};

class DataTipEdgeTest : public DataTipTest, public ::testing::WithParamInterface<EdgeCase> {};

TEST_P(DataTipEdgeTest, StaysOnScreenByMovingLeftOrUpOnly) {
    const EdgeCase& c = GetParam();
    machine.backend.setScreenSize(c.screen);
    const std::string text = "Clipboard modified";
    int w = textWidth(text) + 8;
    int h = lineHeight() + 4;
    TFXDataTip* tip = show(c.point, text);
    RECT r = tip->GetWindowRect();
    int left = c.left == -1 ? c.screen.cx - w : c.left;
    int top = c.top == -1 ? c.screen.cy - h : c.top;
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.width(), w);
    EXPECT_EQ(r.height(), h);
    EXPECT_LE(r.left, c.point.x + 6);
    EXPECT_LE(r.top, c.point.y + 3);
}

// -1: ends exactly at the screen edge.
INSTANTIATE_TEST_SUITE_P(Positions, DataTipEdgeTest,
                         ::testing::Values(EdgeCase{{100, 100}, {800, 600}, 106, 103},
                                           EdgeCase{{795, 100}, {800, 600}, -1, 103},
                                           EdgeCase{{100, 598}, {800, 600}, 106, -1},
                                           EdgeCase{{799, 599}, {800, 600}, -1, -1},
                                           EdgeCase{{2000, 1500}, {800, 600}, -1, -1},
                                           EdgeCase{{-50, -20}, {800, 600}, -44, -17}));

TEST_F(DataTipTest, TipEndingExactlyAtTheEdgeIsNotMoved) {
    const std::string text = "edge";
    int w = textWidth(text) + 8;
    int h = lineHeight() + 4;
    machine.backend.setScreenSize(SIZE{106 + w, 203 + h});
    TFXDataTip* tip = show(POINT{100, 200}, text);
    EXPECT_EQ(tip->GetWindowRect().left, 106);
    EXPECT_EQ(tip->GetWindowRect().top, 203);
}

TEST_F(DataTipTest, SecondTipClosesTheFirstAtOnce) {
    show(POINT{10, 10}, "first");
    EXPECT_EQ(tipWindowCount(), 1);
    TFXDataTip* second = show(POINT{20, 20}, "second");
    EXPECT_EQ(tipWindowCount(), 1);
    EXPECT_EQ(TFXDataTip::CurrentTip, second);
    EXPECT_TRUE(IsWindow(second->m_hWnd));
    // The first tip's timer went with it: only the second one closes.
    machine.backend.advanceTime(3000);
    EXPECT_EQ(tipWindowCount(), 0);
    EXPECT_EQ(TFXDataTip::CurrentTip, nullptr);
}

TEST_F(DataTipTest, ClickClosesTheTip) {
    TFXDataTip* tip = show(POINT{10, 10}, "click me");
    HWND w = tip->m_hWnd;
    machine.backend.advanceTime(1000);
    SendMessageW(w, WM_LBUTTONDOWN, 0, MAKELPARAM(3, 3));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(TFXDataTip::CurrentTip, nullptr);
    machine.backend.advanceTime(5000);  // no timer left behind
    EXPECT_EQ(tipWindowCount(), 0);
}

TEST_F(DataTipTest, TimerClosesTheTipAfterThreeSeconds) {
    TFXDataTip* tip = show(POINT{10, 10}, "soon gone");
    HWND w = tip->m_hWnd;
    machine.backend.advanceTime(2999);
    EXPECT_TRUE(IsWindow(w));
    EXPECT_EQ(TFXDataTip::CurrentTip, tip);
    machine.backend.advanceTime(1);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(TFXDataTip::CurrentTip, nullptr);
}

TEST_F(DataTipTest, TipThatWasNotCreatedShowsNothing) {
    TFXDataTip* onScreen = show(POINT{10, 10}, "stays");
    TFXDataTip tip;  // no Create
    tip.ShowTip(POINT{10, 10}, "never shown");
    EXPECT_EQ(tip.text(), "never shown");
    EXPECT_EQ(tip.m_hWnd, 0u);
    EXPECT_EQ(TFXDataTip::CurrentTip, onScreen);  // and the tip on screen stays
    EXPECT_EQ(tipWindowCount(), 1);
}

TEST_F(DataTipTest, PaintsCentredLinesOneBelowTheOther) {
    TFXDataTip* tip = show(POINT{10, 10}, "Clipboard modified by Quorvex\n\n12 x 34 mm");
    SendMessageW(tip->m_hWnd, WM_PAINT);
    const TipPaint& p = tip->lastPaint();
    RECT client = tip->GetClientRect();
    EXPECT_EQ(p.fill, client);
    EXPECT_EQ(p.background, GetSysColor(COLOR_INFOBK));
    EXPECT_EQ(p.textColor, GetSysColor(COLOR_INFOTEXT));
    EXPECT_EQ(p.font.faceName, "MS Sans Serif");
    int x = client.width() / 2;
    std::vector<TipPaint::Line> expected{{x, 1, "Clipboard modified by Quorvex"},
                                         {x, 1 + lineHeight(), "12 x 34 mm"}};
    EXPECT_EQ(p.lines, expected);
}

}  // namespace
}  // namespace qv::ui
