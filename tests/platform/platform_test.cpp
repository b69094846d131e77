#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/files.h"
#include "platform/user_interface.h"
#include "support/test_support.h"

namespace qv::platform {
namespace {

namespace fs = std::filesystem;

TEST(UserInterface, ErrorsAndInfosCarryTheirCaptionsIconsAndOwners) {
    RecordingUserInterface ui;
    ui.ShowError(0, "Not a Windows metafile: %s", "a.wmf");
    ui.setMainWindow(7);
    ui.ShowInfo(0, "%d pictures", 3);
    ui.ShowError(9, "owned");
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[0].text, "Not a Windows metafile: a.wmf");
    EXPECT_EQ(ui.messages[0].caption, "Quorvex error");
    EXPECT_EQ(ui.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(ui.messages[0].owner, 0u);
    EXPECT_EQ(ui.messages[1].caption, "Quorvex");
    EXPECT_EQ(ui.messages[1].icon, MessageIcon::Information);
    EXPECT_EQ(ui.messages[1].buttons, MessageButtons::Ok);
    EXPECT_EQ(ui.messages[1].owner, 7u);  // the main window when none is given
    EXPECT_EQ(ui.messages[2].owner, 9u);
}

TEST(UserInterface, TextIsCutAt512Characters) {
    RecordingUserInterface ui;
    std::string longText(700, 'x');
    ui.ShowError(0, "%s", longText.c_str());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, std::string(512, 'x'));
}

TEST(UserInterface, WaitCursorIsShownForTheLifeOfTheGuard) {
    RecordingUserInterface ui;
    {
        WaitCursor wait(ui);
        EXPECT_EQ(ui.waitDepth, 1);
    }
    EXPECT_EQ(ui.waitDepth, 0);
    EXPECT_EQ(ui.waitCursorShown, 1);
}

bool write(const fs::path& p, const std::string& text) {
    std::span<const uint8_t> piece(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    const std::span<const uint8_t> pieces[] = {piece};
    return writeFileAtomically(p, pieces);
}

std::string read(const fs::path& p) {
    auto b = test::readFile(p);
    return std::string(b.begin(), b.end());
}

size_t entries(const fs::path& dir) {
    size_t n = 0;
    for (auto it = fs::directory_iterator(dir); it != fs::directory_iterator(); ++it) ++n;
    return n;
}

TEST(WriteFileAtomically, ReplacesTheFileAndKeepsItsMode) {
    test::TempDir dir;
    fs::path p = dir / "pic.wmf";
    ASSERT_TRUE(write(p, "old"));
    ASSERT_EQ(::chmod(p.c_str(), 0640), 0);
    ASSERT_TRUE(write(p, "new contents"));
    EXPECT_EQ(read(p), "new contents");
    struct stat st {};
    ASSERT_EQ(::stat(p.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(entries(dir.path()), 1u);
}

TEST(WriteFileAtomically, FollowsALinkToTheFileItNames) {
    test::TempDir dir;
    ASSERT_TRUE(write(dir / "real.wmf", "old"));
    fs::create_symlink("real.wmf", dir / "link.wmf");
    ASSERT_TRUE(write(dir / "link.wmf", "new"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.wmf"));
    EXPECT_EQ(read(dir / "real.wmf"), "new");
}

TEST(WriteFileAtomically, AFailedWriteLeavesNothingBehind) {
    test::TempDir dir;
    fs::create_directory(dir / "sub");
    errno = 0;
    EXPECT_FALSE(write(dir / "sub", "x"));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_FALSE(write(dir / "missing" / "pic.wmf", "x"));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(entries(dir.path()), 1u);

    if (::geteuid() != 0) {  // root may write anywhere
        fs::path ro = dir / "ro";
        fs::create_directory(ro);
        ASSERT_TRUE(write(ro / "pic.wmf", "keep"));
        ::chmod(ro.c_str(), 0555);
        EXPECT_FALSE(write(ro / "pic.wmf", "lost?"));
        EXPECT_EQ(read(ro / "pic.wmf"), "keep");
        EXPECT_EQ(entries(ro), 1u);
        ::chmod(ro.c_str(), 0755);
    }
}

}  // namespace
}  // namespace qv::platform
