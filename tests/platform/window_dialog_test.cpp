#include <gtest/gtest.h>

#include <string>

#include "platform/window/data_exchange.h"
#include "platform/window/dialog.h"
#include "platform/window/framework.h"
#include "platform/window/headless_backend.h"
#include "platform/window/ui_script.h"
#include "support/test_support.h"

namespace qv::platform::win {
namespace {

// The sample dialog 9001 with a data exchange of every kind.
class CSampleDialog : public CDialog {
  public:
    CSampleDialog() : CDialog(9001) {}

    int crop = 1;
    int lines = 1;
    double fixedWidth = 0.25;
    int percentage = 75;
    int rotation = 2;
    int helpAsked = 0;

    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Check(pDX, 1001, crop);
        DDX_Radio(pDX, 1002, lines);
        DDX_Text(pDX, 1014, fixedWidth);
        DDV_MinMaxDouble(pDX, fixedWidth, 0, 25);
        DDX_Text(pDX, 1017, percentage);
        DDV_MinMaxInt(pDX, percentage, 1, 999);
        DDX_CBIndex(pDX, 1059, rotation);
    }
    BOOL OnHelpInfo(HELPINFO*) {
        ++helpAsked;
        return TRUE;
    }
    void OnRadio(UINT) { GetDlgItem(1014)->EnableWindow(IsDlgButtonChecked(1005) != 0); }
    void OnLoadOptions() { EndDialog(40016); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CSampleDialog, CDialog)
ON_WM_HELPINFO()
ON_CONTROL_RANGE(BN_CLICKED, 1002, 1006, &CSampleDialog::OnRadio)
ON_COMMAND(40016, &CSampleDialog::OnLoadOptions)
END_MESSAGE_MAP()

class DialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(fw.resources().loadFile(
            test::sourcePath("resources/sample_options.dlg").string(), error))
            << error;
    }
    HeadlessBackend backend;
    RecordingUserInterface ui;
    ScriptedFileDialogs files;
    Framework fw{backend, ui, &files};
    UiScript script{backend, &ui, &files};
    CSampleDialog dlg;
};

TEST_F(DialogTest, OpeningShowsTheMembersAndOkWithoutChangesKeepsThem) {
    std::vector<ControlState> seen;
    UINT focus = 0;
    script
        .inspect([&](HWND w) {
            seen = allControls(w);
            focus = backend.controlId(GetFocus());
        })
        .click(IDOK);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    ASSERT_EQ(seen.size(), 11u);
    auto byId = [&](int id) {
        for (const ControlState& c : seen)
            if (c.id == id) return c;
        return ControlState{};
    };
    EXPECT_EQ(byId(1001).check, BST_CHECKED);
    EXPECT_EQ(byId(1002).check, BST_UNCHECKED);
    EXPECT_EQ(byId(1005).check, BST_CHECKED);
    EXPECT_EQ(byId(1005).text, "Fixed width (mm)");
    EXPECT_EQ(byId(1014).text, "0.25");
    EXPECT_EQ(byId(1017).text, "75");
    EXPECT_EQ(byId(1059).selection, 2);
    EXPECT_EQ(byId(1059).items, (std::vector<std::string>{"0°", "90°", "180°", "270°"}));
    EXPECT_TRUE(byId(1).enabled && byId(1).visible);
    EXPECT_EQ(seen[0].id, 1001);  // template order is tab order
    EXPECT_EQ(focus, 1001u);
    EXPECT_EQ(dlg.crop, 1);
    EXPECT_EQ(dlg.fixedWidth, 0.25);
    EXPECT_EQ(dlg.percentage, 75);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(backend.scriptErrors.empty());
    EXPECT_EQ(dlg.m_hWnd, 0u);  // DoModal destroyed the window
}

TEST_F(DialogTest, OkWithValidDataStoresEveryControl) {
    script.click(1001)
        .setText(1014, " 1.5 ")
        .click(1006)
        .setText(1017, "120")
        .select(1059, 3)
        .click(IDOK);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(backend.scriptErrors.empty());
    EXPECT_EQ(dlg.crop, 0);
    EXPECT_EQ(dlg.lines, 2);
    EXPECT_EQ(dlg.fixedWidth, 1.5);
    EXPECT_EQ(dlg.percentage, 120);
    EXPECT_EQ(dlg.rotation, 3);
}

TEST_F(DialogTest, CancelLeavesTheData) {
    script.click(1001).setText(1017, "5").select(1059, 0).click(IDCANCEL);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.crop, 1);
    EXPECT_EQ(dlg.percentage, 75);
    EXPECT_EQ(dlg.rotation, 2);
}

struct InvalidCase {
    int id;
    const char* text;
    const char* message;
};

class DialogInvalidTest : public DialogTest, public ::testing::WithParamInterface<InvalidCase> {};

TEST_P(DialogInvalidTest, RefusedDataKeepsTheDialogOpenWithTheMessageAndTheFocusOnTheField) {
    const InvalidCase& c = GetParam();
    HWND dialog = 0;
    UINT focus = 0;
    bool open = false;
    script.select(1059, 0)
        .setText(c.id, c.text)
        .click(IDOK)
        .inspect([&](HWND w) {
            dialog = w;
            open = IsWindowVisible(w);
            focus = backend.controlId(GetFocus());
        })
        .click(IDCANCEL);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_TRUE(open);
    EXPECT_EQ(focus, UINT(c.id));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, c.message);
    EXPECT_EQ(ui.messages[0].caption, "Quorvex");
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(ui.messages[0].owner, dialog);
    EXPECT_EQ(dlg.rotation, 2);  // the exchange stopped at the field
}

INSTANTIATE_TEST_SUITE_P(
    RangeMessages, DialogInvalidTest,
    ::testing::Values(InvalidCase{1014, "30", "Please enter a number between 0 and 25."},
                      InvalidCase{1014, "-0.5", "Please enter a number between 0 and 25."},
                      InvalidCase{1014, "", "Please enter a number."},
                      InvalidCase{1014, "1,5", "Please enter a number."},
                      InvalidCase{1017, "0", "Please enter an integer between 1 and 999."},
                      InvalidCase{1017, "1000", "Please enter an integer between 1 and 999."},
                      InvalidCase{1017, "12x", "Please enter an integer."},
                      InvalidCase{1017, "2.5", "Please enter an integer."}));

TEST_F(DialogTest, ACorrectedValueIsAcceptedAfterARefusal) {
    script.setText(1017, "0").click(IDOK).setText(1017, "999").click(IDOK);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(dlg.percentage, 999);
}

TEST_F(DialogTest, DoubleRangeBoundsAreWrittenLikeTheFieldsValues) {
    CDataExchange dx(&dlg, true);
    EXPECT_THROW(DDV_MinMaxDouble(&dx, 2600, 0, 2500.5), DataExchangeFailed);
    EXPECT_THROW(DDV_MinMaxDouble(&dx, 0.001, 0.01, 0.1), DataExchangeFailed);
    CDataExchange load(&dlg, false);
    DDV_MinMaxDouble(&load, 2600, 0, 2500.5);  // loading checks nothing
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text, "Please enter a number between 0 and 2500.5.");
    EXPECT_EQ(ui.messages[1].text, "Please enter a number between 0.01 and 0.1.");
    EXPECT_EQ(formatDouble(0.254), "0.254");
    EXPECT_EQ(formatDouble(10.2), "10.2");
}

TEST_F(DialogTest, HandlersRunFromClicksAndAScriptCannotTouchADisabledControl) {
    bool enabledBefore = false, enabledAfter = true;
    script.inspect([&](HWND w) { enabledBefore = controlState(w, 1014).enabled; })
        .click(1002)
        .inspect([&](HWND w) { enabledAfter = controlState(w, 1014).enabled; })
        .setText(1014, "3")
        .click(IDOK);
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(enabledBefore);
    EXPECT_FALSE(enabledAfter);
    EXPECT_EQ(dlg.lines, 0);
    EXPECT_EQ(backend.scriptErrors,
              std::vector<std::string>{"set text of 1014: control 1014 is disabled"});
}

TEST_F(DialogTest, MenuCommandsF1AndEndDialogWithAnId) {
    script.help().chooseMenu(40016);
    EXPECT_EQ(dlg.DoModal(), 40016);
    EXPECT_EQ(dlg.helpAsked, 1);
    EXPECT_TRUE(backend.scriptErrors.empty());
}

TEST_F(DialogTest, AScriptThatRunsOutEndsTheDialogWithMinusOne) {
    script.click(1001);
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_EQ(backend.scriptErrors, std::vector<std::string>{"script ran out"});
}

class CAsking : public CDialog {
  public:
    CAsking() : CDialog(9001) {}
    void OnLoadOptions() {
        answer = MessageBox("Load?", "Quorvex", MessageIcon::Question, MessageButtons::YesNo);
        file = Framework::current().fileDialogs()->ask(FileDialogRequest{});
    }
    MessageResult answer = MessageResult::Ok;
    std::optional<std::string> file;
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CAsking, CDialog)
ON_COMMAND(40016, &CAsking::OnLoadOptions)
END_MESSAGE_MAP()

TEST_F(DialogTest, AnswersAreQueuedForTheMessageBoxesAndFileDialogsThatFollow) {
    CAsking asking;
    script.answerMessage(MessageResult::No)
        .answerFile("/tmp/a.qw3")
        .chooseMenu(40016)
        .click(IDCANCEL);
    EXPECT_EQ(asking.DoModal(), IDCANCEL);
    EXPECT_EQ(asking.answer, MessageResult::No);
    EXPECT_EQ(asking.file, "/tmp/a.qw3");
}

}  // namespace
}  // namespace qv::platform::win
