#include "ui/copy_tip.h"

#include <gtest/gtest.h>

#include "headless_ui.h"
#include "platform/window/window_api.h"
#include "ui/data_tip.h"

namespace qv::ui {
namespace {

using namespace platform::win;

class CopyTipTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(
            mainWindow.CreateEx(0, "QuorvexClass", "Quorvex", WS_POPUP, RECT{}, nullptr, 0));
    }
    void TearDown() override { delete TFXDataTip::CurrentTip; }

    test::HeadlessUi machine;
    CWnd mainWindow;
    CopyTipUi copyTip{[this] { return &mainWindow; }};
};

TEST_F(CopyTipTest, NothingWhenTheCursorCannotBeRead) {
    machine.backend.setCursorPosFails(true);
    size_t windows = machine.backend.children(mainWindow.m_hWnd).size();
    copyTip.showCopyTip("Clipboard modified by Quorvex\n21.00 x 29.70 cm");
    EXPECT_EQ(TFXDataTip::CurrentTip, nullptr);
    EXPECT_EQ(machine.backend.children(mainWindow.m_hWnd).size(), windows);
}

TEST_F(CopyTipTest, ShowsTwoLinesAtTheCursor) {
    machine.backend.setCursorPos(POINT{300, 400});
    copyTip.showCopyTip("Clipboard modified by Quorvex\n21.00 x 29.70 cm");
    TFXDataTip* tip = TFXDataTip::CurrentTip;
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(tip->GetParent(), &mainWindow);
    EXPECT_NE(tip->GetStyle() & WS_VISIBLE, 0u);
    RECT r = tip->GetWindowRect();
    EXPECT_EQ(r.left, 306);
    EXPECT_EQ(r.top, 403);
    SendMessageW(tip->m_hWnd, WM_PAINT);
    ASSERT_EQ(tip->lastPaint().lines.size(), 2u);
    EXPECT_EQ(tip->lastPaint().lines[0].text, "Clipboard modified by Quorvex");
    EXPECT_EQ(tip->lastPaint().lines[1].text, "21.00 x 29.70 cm");
}

TEST_F(CopyTipTest, NextCopyReplacesTheTip) {
    copyTip.showCopyTip("Clipboard modified by Quorvex\nfirst");
    TFXDataTip* first = TFXDataTip::CurrentTip;
    HWND firstWindow = first->m_hWnd;
    copyTip.showCopyTip("Clipboard modified by Quorvex\nsecond");
    EXPECT_FALSE(IsWindow(firstWindow));
    ASSERT_NE(TFXDataTip::CurrentTip, nullptr);
    EXPECT_EQ(TFXDataTip::CurrentTip->text(), "Clipboard modified by Quorvex\nsecond");
}

}  // namespace
}  // namespace qv::ui
