#include "ui/help.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/test_support.h"

namespace qv::ui {
namespace {

namespace fs = std::filesystem;

std::string fileUrl(const fs::path& p) {
    return "file://" + fs::absolute(p).lexically_normal().string();
}

TEST(HelpTopics, EachCallerHasItsTopic) {
    struct Case {
        const char* constant;
        const char* topic;
    };
    const Case cases[] = {
        {kHelpOptionsDialog, "Quorvex.chm::/quorvex-documentation/options/picture-options.html"},
        {kHelpOptionsContents, "Quorvex.chm"},
        {kHelpAdvancedOptions, "Quorvex.chm::/quorvex-documentation/options/advanced-options.html"},
        {kHelpUserPreferences, "Quorvex.chm::/quorvex-documentation/options/user-preferences.html"},
        {kHelpPaperspace, "Quorvex.chm::/quorvex-documentation/paperspace.html"},
        {kHelpAboutBox, "Quorvex.chm"},
        {kHelpTrayMenu, "Quorvex.chm"},
    };
    for (const Case& c : cases) EXPECT_STREQ(c.constant, c.topic);
}

TEST(HelpTopics, TopicsMapToPagesBelowTheHelpFolder) {
    struct Case {
        const char* topic;
        const char* page;
    };
    const Case cases[] = {
        {"Quorvex.chm", "index.html"},
        {"Quorvex.chm::/quorvex-documentation/paperspace.html",
         "quorvex-documentation/paperspace.html"},
        {"Quorvex.chm::/quorvex-documentation/options/picture-options.html",
         "quorvex-documentation/options/picture-options.html"},
    };
    for (const Case& c : cases) EXPECT_EQ(helpPagePath(c.topic), c.page) << c.topic;
}

// Every topic of the table opens an existing page of the source tree when
// nothing is installed beside the program.
TEST(ShowHelp, EveryTopicOpensAnExistingPage) {
    test::TempDir program;  // no docs beside the program
    platform::RecordingDesktop desktop;
    HelpContext context{desktop, program.path().string() + "/"};
    for (const HelpTopicEntry& entry : kHelpTopicTable) {
        SCOPED_TRACE(std::string(entry.where) + ", " + entry.trigger);
        fs::path page = test::sourcePath("docs/help/" + helpPagePath(entry.topic));
        EXPECT_TRUE(fs::is_regular_file(page)) << page;
        desktop.opened.clear();
        ShowHelp(context, entry.topic);
        ASSERT_EQ(desktop.opened.size(), 1u);
        EXPECT_EQ(desktop.opened[0], fileUrl(page));
    }
}

TEST(ShowHelp, PagesBesideTheProgramComeFirst) {
    test::TempDir program;
    fs::create_directories(program / "docs/help/quorvex-documentation");
    std::ofstream(program / "docs/help/index.html") << "<html></html>";
    platform::RecordingDesktop desktop;
    HelpContext context{desktop, program.path().string() + "/"};

    ShowHelp(context, kHelpTrayMenu);
    ASSERT_EQ(desktop.opened.size(), 1u);
    EXPECT_EQ(desktop.opened[0], fileUrl(program / "docs/help/index.html"));

    // A page not installed beside the program comes from the source tree.
    ShowHelp(context, kHelpPaperspace);
    ASSERT_EQ(desktop.opened.size(), 2u);
    EXPECT_EQ(desktop.opened[1],
              fileUrl(test::sourcePath("docs/help/quorvex-documentation/paperspace.html")));
}

TEST(ShowHelp, MissingPageShowsNothing) {
    test::TempDir program;
    platform::RecordingDesktop desktop;
    HelpContext context{desktop, program.path().string() + "/"};
    ShowHelp(context, "Quorvex.chm::/no-such-page.html");
    ShowHelp(context, "Quorvex.chm::/../CMakeLists.txt");
    EXPECT_TRUE(desktop.opened.empty());

    HelpContext nowhere{desktop, program.path().string() + "/", program.path().string()};
    ShowHelp(nowhere, kHelpAboutBox);
    EXPECT_TRUE(desktop.opened.empty());
}

TEST(ShowHelp, UrlEscapesCharactersOfThePath) {
    test::TempDir root;
    fs::path program = root / "My Programs";
    fs::create_directories(program / "docs/help");
    std::ofstream(program / "docs/help/index.html") << "<html></html>";
    platform::RecordingDesktop desktop;
    HelpContext context{desktop, program.string() + "/"};
    std::optional<std::string> url = helpPageUrl(context, kHelpOptionsContents);
    ASSERT_TRUE(url);
    EXPECT_EQ(*url, "file://" + fs::absolute(root.path()).lexically_normal().string() +
                        "/My%20Programs/docs/help/index.html");
}

}  // namespace
}  // namespace qv::ui
