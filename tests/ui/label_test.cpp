#include "ui/label.h"

#include <gtest/gtest.h>

#include "headless_ui.h"
#include "platform/window/window_api.h"

namespace qv::ui {
namespace {

using namespace platform::win;

constexpr UINT kLabelId = 1040;

class LabelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(parent.CreateEx(0, "Dialog", "About", WS_POPUP, RECT{0, 0, 300, 200}, nullptr,
                                    0, ControlKind::Dialog));
        WindowCreate c;
        c.kind = ControlKind::Static;
        c.className = "Static";
        c.text = "mailto:support@quorvex.example";
        c.style = WS_CHILD | WS_VISIBLE;
        c.rect = RECT{10, 10, 200, 24};
        c.parent = parent.m_hWnd;
        c.id = kLabelId;
        ASSERT_NE(machine.backend.createWindow(c), 0u);
        ASSERT_TRUE(label.SubclassDlgItem(kLabelId, &parent));
    }

    void click() { SendMessageW(label.m_hWnd, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5)); }

    test::HeadlessUi machine;
    platform::RecordingDesktop desktop;
    CWnd parent;
    CLabel label{desktop};
};

TEST_F(LabelTest, StartsWithSystemColoursAndTheDefaultGuiFont) {
    EXPECT_EQ(label.textColor(), GetSysColor(COLOR_WINDOWTEXT));
    EXPECT_EQ(label.backColor(), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(label.logFont().faceName, defaultGuiFont().faceName);
    EXPECT_EQ(label.logFont().height, defaultGuiFont().height);
    EXPECT_EQ(label.font().faceName, label.logFont().faceName);
    EXPECT_TRUE(label.linkTarget().empty());
    EXPECT_EQ(label.isLink(), 1);
    EXPECT_EQ(label.linkCursor(), 0u);
}

TEST_F(LabelTest, SettersChainAndRebuildTheFont) {
    CLabel& same = label.SetForeColor(RGB(0, 0, 255))
                       .SetBackColor(RGB(255, 255, 0))
                       .SetBold(TRUE)
                       .SetUnderline(TRUE)
                       .SetFontSize(12)
                       .SetFaceName("Arial")
                       .SetText("www.quorvex.example")
                       .SetLinkCursor(77);
    EXPECT_EQ(&same, &label);
    EXPECT_EQ(label.textColor(), 0xFF0000u);
    EXPECT_EQ(label.backColor(), 0x00FFFFu);
    EXPECT_EQ(label.logFont().weight, FW_BOLD);
    EXPECT_EQ(label.logFont().underline, 1);
    EXPECT_EQ(label.logFont().height, -12);
    EXPECT_EQ(label.logFont().faceName, "Arial");
    EXPECT_EQ(label.GetWindowText(), "www.quorvex.example");
    EXPECT_EQ(label.linkCursor(), 77u);
    // The font drawn with follows its description.
    EXPECT_EQ(label.font().weight, FW_BOLD);
    EXPECT_EQ(label.font().underline, 1);
    EXPECT_EQ(label.font().height, -12);
    EXPECT_EQ(label.font().faceName, "Arial");

    label.SetBold(FALSE).SetUnderline(FALSE);
    EXPECT_EQ(label.font().weight, FW_NORMAL);
    EXPECT_EQ(label.font().underline, 0);
}

TEST_F(LabelTest, FaceNameKeepsAtMost31Characters) {
    label.SetFaceName(std::string(40, 'x'));
    EXPECT_EQ(label.logFont().faceName, std::string(31, 'x'));
}

TEST_F(LabelTest, BackColorDoesNotRedrawTheOthersDo) {
    int before = label.redrawCount();
    label.SetBackColor(RGB(1, 2, 3));
    EXPECT_EQ(label.redrawCount(), before);
    label.SetForeColor(RGB(1, 2, 3))
        .SetBold(TRUE)
        .SetUnderline(TRUE)
        .SetFontSize(9)
        .SetFaceName("Arial");
    EXPECT_EQ(label.redrawCount(), before + 5);
}

TEST_F(LabelTest, SetLinkTogglesNotifyStyle) {
    label.SetLink(TRUE);
    EXPECT_NE(label.GetStyle() & SS_NOTIFY, 0u);
    EXPECT_EQ(label.isLink(), 1);
    label.SetLink(FALSE);
    EXPECT_EQ(label.GetStyle() & SS_NOTIFY, 0u);
    EXPECT_EQ(label.isLink(), 0);
    EXPECT_NE(label.GetStyle() & WS_VISIBLE, 0u);  // other styles stay
}

TEST_F(LabelTest, ClickOpensOwnTextWhenNoTargetWasSet) {
    label.SetLink(TRUE);
    click();
    ASSERT_EQ(desktop.opened.size(), 1u);
    EXPECT_EQ(desktop.opened[0], "mailto:support@quorvex.example");
    // The text became the target and stays it.
    label.SetText("something else");
    click();
    ASSERT_EQ(desktop.opened.size(), 2u);
    EXPECT_EQ(desktop.opened[1], "mailto:support@quorvex.example");
}

TEST_F(LabelTest, ClickOpensTheTargetThatWasSet) {
    label.setLinkTarget("https://www.quorvex.example/").SetLink(TRUE);
    click();
    ASSERT_EQ(desktop.opened.size(), 1u);
    EXPECT_EQ(desktop.opened[0], "https://www.quorvex.example/");
}

TEST_F(LabelTest, ClicksReachTheLinkOnlyAfterSetLink) {
    click();  // linked by default, but without SS_NOTIFY
    EXPECT_TRUE(desktop.opened.empty());
    label.SetLink(TRUE);
    click();
    EXPECT_EQ(desktop.opened.size(), 1u);
    label.SetLink(FALSE);
    click();
    EXPECT_EQ(desktop.opened.size(), 1u);
}

TEST_F(LabelTest, SetCursorUsesTheLinkCursorWhenSet) {
    EXPECT_EQ(SendMessageW(label.m_hWnd, WM_SETCURSOR, label.m_hWnd, 0), 0);
    EXPECT_EQ(label.cursorShown(), 0u);
    label.SetLinkCursor(42);
    EXPECT_EQ(SendMessageW(label.m_hWnd, WM_SETCURSOR, label.m_hWnd, 0), TRUE);
    EXPECT_EQ(label.cursorShown(), 42u);
}

struct ColorRequestCase {
    UINT kind;
    bool setsUpDc;
};

class LabelColorRequestTest : public LabelTest,
                              public ::testing::WithParamInterface<ColorRequestCase> {};

TEST_P(LabelColorRequestTest, AnswersWithBackgroundBrush) {
    label.SetForeColor(RGB(10, 20, 30)).SetBackColor(RGB(200, 210, 220)).SetBold(TRUE);
    StaticDc dc;
    LRESULT r = SendMessageW(label.m_hWnd, WM_REFLECT_CTLCOLOR, WPARAM(&dc), GetParam().kind);
    const auto* brush = reinterpret_cast<const SolidBrush*>(r);
    ASSERT_NE(brush, nullptr);
    EXPECT_EQ(brush->color, RGB(200, 210, 220));
    if (GetParam().setsUpDc) {
        EXPECT_TRUE(dc.fontSelected);
        EXPECT_EQ(dc.font.weight, FW_BOLD);
        EXPECT_EQ(dc.textColor, RGB(10, 20, 30));
        EXPECT_EQ(dc.bkMode, TRANSPARENT);
    } else {
        EXPECT_FALSE(dc.fontSelected);
        EXPECT_EQ(dc.textColor, 0u);
        EXPECT_EQ(dc.bkMode, OPAQUE);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, LabelColorRequestTest,
                         ::testing::Values(ColorRequestCase{CTLCOLOR_STATIC, true},
                                           ColorRequestCase{CTLCOLOR_EDIT, false},
                                           ColorRequestCase{CTLCOLOR_BTN, false},
                                           ColorRequestCase{CTLCOLOR_DLG, false}));

}  // namespace
}  // namespace qv::ui
