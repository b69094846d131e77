// Saving settings where the write fails: an option file and the registry hive
// on a full disk, in a folder that refuses new files, and with the file or
// its folder taken away between the look at the target and the write.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "platform/file_dialog.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/user_interface.h"
#include "settings/color_defaults.h"
#include "settings/compute_equals.h"
#include "settings/option_files.h"
#include "settings/program_info.h"
#include "support/test_support.h"
#include "support/write_faults.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using platform::testhooks::FileFaults;
using platform::testhooks::ScopedFileFaults;

const std::string kOldSet = "[Options]\r\nCrop=0\r\n";

void writeText(const fs::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << text;
}

// A tray program's record, its registry and an option file it saves to.
class OptionFileFailureTest : public ::testing::Test {
  protected:
    OptionFileFailureTest() {
        resetColorDefaults(settings, colors);
        ComputeEquals(settings, colors);
    }
    void SetUp() override {
        fs::create_directories(folder);
        writeText(target, kOldSet);
        ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    }

    // Saves to the target and checks what every failed save must give: false, the one
    // message naming the file and the reason, and the wait cursor gone.
    void expectFailedSave(int error) {
        EXPECT_FALSE(files.SaveOptionsFile(target.string()));
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text, test::unableToWrite(target, error));
        EXPECT_EQ(ui.messages[0].caption, "Quorvex error");
        EXPECT_EQ(ui.waitDepth, 0);
        ui.messages.clear();
    }

    test::TempDir dir;
    fs::path folder = dir / "sets";
    fs::path target = folder / "plot.qw3";
    platform::Registry registry{dir / "config" / "registry.reg"};
    platform::RecordingUserInterface ui;
    SettingsStore store{registry, ui};
    WmfSettings settings;
    PaletteColorSource colors{settings};
    SettingsTransfer transfer{settings, colors, store, ProgramInfo::of(ProgramKind::Tray)};
    platform::ScriptedFileDialogs dialogs;
    OptionFiles files{transfer, dialogs};
};

class OptionFileFaults : public OptionFileFailureTest,
                         public ::testing::WithParamInterface<test::InjectedFault> {};

TEST_P(OptionFileFaults, GiveOneMessageAndLeaveTheFileAsItWas) {
    for (bool existing : {true, false}) {
        SCOPED_TRACE(existing ? "over an existing set" : "a new set");
        if (!existing) fs::remove(target);
        const test::PathState before = test::PathState::of(target);
        const std::set<std::string> names = test::namesIn(folder);
        FileFaults faults;
        GetParam().arm(faults);
        {
            ScopedFileFaults scope(faults);
            expectFailedSave(GetParam().error);
        }
        EXPECT_EQ(faults.injected.load(), 1);
        EXPECT_EQ(test::PathState::of(target), before);
        EXPECT_EQ(test::namesIn(folder), names);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, OptionFileFaults, ::testing::ValuesIn(test::injectedFaults()),
                         test::injectedFaultName);

TEST_F(OptionFileFailureTest, ASetRemovedBeforeTheWriteIsSavedWholeWithItsMode) {
    FileFaults faults;
    faults.beforeCreate = [&] { fs::remove(target); };
    {
        ScopedFileFaults scope(faults);
        EXPECT_TRUE(files.SaveOptionsFile(target.string()));
    }
    EXPECT_TRUE(ui.messages.empty());
    const test::PathState after = test::PathState::of(target);
    EXPECT_EQ(after.mode, 0640u);
    EXPECT_NE(after.bytes.find("Crop=1"), std::string::npos);
    EXPECT_NE(after.bytes.find("[Options\\FillColor]"), std::string::npos);
    EXPECT_EQ(test::namesIn(folder), std::set<std::string>{"plot.qw3"});
}

TEST_F(OptionFileFailureTest, AFolderRemovedBeforeTheWriteIsToldOnce) {
    FileFaults faults;
    faults.beforeCreate = [&] { fs::remove_all(folder); };
    ScopedFileFaults scope(faults);
    expectFailedSave(ENOENT);
    EXPECT_FALSE(fs::exists(folder));
}

TEST_F(OptionFileFailureTest, ASetReplacedByAFolderBeforeTheWriteKeepsTheFolder) {
    FileFaults faults;
    faults.beforeCreate = [&] {
        fs::remove(target);
        fs::create_directory(target);
    };
    ScopedFileFaults scope(faults);
    expectFailedSave(EISDIR);
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_TRUE(fs::is_empty(target));
    EXPECT_EQ(test::namesIn(folder), std::set<std::string>{"plot.qw3"});
}

TEST_F(OptionFileFailureTest, AFullAndAReadOnlyDiskAreToldOnceAndChangeNothing) {
    test::SmallTmpfs disk(dir / "disk");
    if (!disk.mounted()) GTEST_SKIP() << disk.whyNot();
    target = disk.path() / "plot.qw3";
    writeText(target, kOldSet);
    ASSERT_TRUE(disk.fill());
    const test::PathState before = test::PathState::of(target);
    const std::set<std::string> names = test::namesIn(disk.path());

    expectFailedSave(ENOSPC);
    EXPECT_EQ(test::PathState::of(target), before);
    EXPECT_EQ(test::namesIn(disk.path()), names);

    ASSERT_TRUE(disk.makeReadOnly());
    expectFailedSave(EROFS);
    EXPECT_EQ(test::PathState::of(target), before);
    EXPECT_EQ(test::namesIn(disk.path()), names);
}

// The registry: a save that cannot be written says so to its caller only and keeps the hive.
class SettingsSaveFaults : public OptionFileFailureTest,
                           public ::testing::WithParamInterface<test::InjectedFault> {};

TEST_P(SettingsSaveFaults, FailAndLeaveTheHiveAsItWas) {
    ASSERT_TRUE(transfer.SaveSettings());
    settings.Crop = 0;
    const test::PathState before = test::PathState::of(registry.path());
    const std::set<std::string> names = test::namesIn(registry.path().parent_path());
    FileFaults faults;
    GetParam().arm(faults);
    {
        ScopedFileFaults scope(faults);
        EXPECT_FALSE(transfer.SaveSettings());
    }
    EXPECT_EQ(faults.injected.load(), 1);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(test::PathState::of(registry.path()), before);
    EXPECT_EQ(test::namesIn(registry.path().parent_path()), names);

    // What the next start loads is the settings of the last save that worked.
    transfer.LoadSettings();
    EXPECT_EQ(settings.Crop, 1);
}

INSTANTIATE_TEST_SUITE_P(Faults, SettingsSaveFaults, ::testing::ValuesIn(test::injectedFaults()),
                         test::injectedFaultName);

}  // namespace
}  // namespace qv
