// Writes that fail: the atomic file writer and the registry hive on a full
// disk, in a folder that refuses new files, over a folder, and with the file
// or its folder taken away between the look at the target and the write.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>
#include <string>

#include "platform/files.h"
#include "platform/registry.h"
#include "support/test_support.h"
#include "support/write_faults.h"

namespace qv::platform {
namespace {

namespace fs = std::filesystem;
using testhooks::FileFaults;
using testhooks::ScopedFileFaults;

const std::string kOptions = "Software\\Talmund\\Quorvex\\Options";

bool writeText(const fs::path& p, const std::string& text) {
    std::span<const uint8_t> piece(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    const std::span<const uint8_t> pieces[] = {piece};
    return writeFileAtomically(p, pieces);
}

const std::string kNewText = "the new contents, longer than the old ones, in several words\n";

// ---------------------------------------------------------------------------------------------
// writeFileAtomically

class AtomicWriteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(writeText(target, "old contents\n"));
        ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    }

    test::TempDir dir;
    fs::path target = dir / "picture.wmf";
};

class AtomicWriteFaults : public AtomicWriteTest,
                          public ::testing::WithParamInterface<test::InjectedFault> {};

TEST_P(AtomicWriteFaults, FailWithTheirErrorAndLeaveTheFolderAsItWas) {
    for (bool existing : {true, false}) {
        SCOPED_TRACE(existing ? "over an existing file" : "a new file");
        if (!existing) fs::remove(target);
        const test::PathState before = test::PathState::of(target);
        const std::set<std::string> names = test::namesIn(dir.path());
        FileFaults faults;
        GetParam().arm(faults);
        bool written = true;
        int error = 0;
        {
            ScopedFileFaults scope(faults);
            errno = 0;
            written = writeText(target, kNewText);
            error = errno;
        }
        EXPECT_FALSE(written);
        EXPECT_EQ(error, GetParam().error) << std::strerror(error);
        EXPECT_EQ(faults.injected.load(), 1);
        EXPECT_EQ(test::PathState::of(target), before);
        EXPECT_EQ(test::namesIn(dir.path()), names);
    }
    // With the faults gone the same write goes through.
    ASSERT_TRUE(writeText(target, kNewText));
    EXPECT_EQ(test::PathState::of(target).bytes, kNewText);
}

INSTANTIATE_TEST_SUITE_P(Faults, AtomicWriteFaults, ::testing::ValuesIn(test::injectedFaults()),
                         test::injectedFaultName);

TEST_F(AtomicWriteTest, TheInnermostFaultsWinAndTheOuterOnesComeBack) {
    FileFaults outer;
    outer.createError = EACCES;
    FileFaults inner;
    inner.fsyncError = EIO;
    ScopedFileFaults outerScope(outer);
    {
        ScopedFileFaults innerScope(inner);
        errno = 0;
        EXPECT_FALSE(writeText(target, kNewText));
        EXPECT_EQ(errno, EIO);
    }
    errno = 0;
    EXPECT_FALSE(writeText(target, kNewText));
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(inner.calls.load(), 1);
    EXPECT_EQ(outer.calls.load(), 1);
    EXPECT_EQ(test::PathState::of(target).bytes, "old contents\n");
}

TEST_F(AtomicWriteTest, AFileRemovedBeforeTheWriteIsWrittenAnewWithItsMode) {
    FileFaults faults;
    faults.beforeCreate = [&] { fs::remove(target); };
    ScopedFileFaults scope(faults);
    ASSERT_TRUE(writeText(target, kNewText));
    const test::PathState after = test::PathState::of(target);
    EXPECT_EQ(after.bytes, kNewText);
    EXPECT_EQ(after.mode, 0640u);
    EXPECT_EQ(test::namesIn(dir.path()), std::set<std::string>{"picture.wmf"});
}

TEST_F(AtomicWriteTest, AFolderRemovedBeforeTheWriteIsNotMadeAgain) {
    const fs::path folder = dir / "drawings";
    fs::create_directory(folder);
    const fs::path inside = folder / "picture.wmf";
    ASSERT_TRUE(writeText(inside, "old contents\n"));
    FileFaults faults;
    faults.beforeCreate = [&] { fs::remove_all(folder); };
    ScopedFileFaults scope(faults);
    errno = 0;
    EXPECT_FALSE(writeText(inside, kNewText));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(fs::exists(folder));
}

TEST_F(AtomicWriteTest, AFileReplacedByAFolderBeforeTheWriteKeepsTheFolder) {
    FileFaults faults;
    faults.beforeCreate = [&] {
        fs::remove(target);
        fs::create_directory(target);
    };
    ScopedFileFaults scope(faults);
    errno = 0;
    EXPECT_FALSE(writeText(target, kNewText));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_TRUE(fs::is_empty(target));
    EXPECT_EQ(test::namesIn(dir.path()), std::set<std::string>{"picture.wmf"});
}

TEST_F(AtomicWriteTest, ANameAsLongAsTheFolderAllowsCanBeReplaced) {
    const fs::path longName = dir / std::string(255, 'n');
    ASSERT_TRUE(writeText(longName, "old contents\n"));
    ASSERT_TRUE(writeText(longName, kNewText));
    EXPECT_EQ(test::PathState::of(longName).bytes, kNewText);
    EXPECT_EQ(test::namesIn(dir.path()).size(), 2u);
}

// The faults for real: a read-only folder, a full and a read-only file system.
TEST_F(AtomicWriteTest, AReadOnlyFolderRefusesTheWrite) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser writes into read-only folders";
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    const test::PathState before = test::PathState::of(target);
    errno = 0;
    const bool written = writeText(target, kNewText);
    const int error = errno;
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_FALSE(written);
    EXPECT_EQ(error, EACCES);
    EXPECT_EQ(test::PathState::of(target), before);
    EXPECT_EQ(test::namesIn(dir.path()), std::set<std::string>{"picture.wmf"});
}

TEST(AtomicWriteOnTmpfs, AFullAndAReadOnlyDiskLeaveTheFileAsItWas) {
    test::TempDir dir;
    test::SmallTmpfs disk(dir / "disk");
    if (!disk.mounted()) GTEST_SKIP() << disk.whyNot();
    const fs::path target = disk.path() / "picture.wmf";
    ASSERT_TRUE(writeText(target, "old contents\n"));
    ASSERT_TRUE(disk.fill());
    const std::string big(20000, 'x');
    test::PathState before = test::PathState::of(target);
    errno = 0;
    EXPECT_FALSE(writeText(target, big));
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_EQ(test::PathState::of(target), before);
    EXPECT_EQ(test::namesIn(disk.path()), (std::set<std::string>{"filler", "picture.wmf"}));

    ASSERT_TRUE(disk.makeReadOnly());
    errno = 0;
    EXPECT_FALSE(writeText(target, "x"));
    EXPECT_EQ(errno, EROFS);
    EXPECT_EQ(test::PathState::of(target), before);
    EXPECT_EQ(test::namesIn(disk.path()), (std::set<std::string>{"filler", "picture.wmf"}));
}

// ---------------------------------------------------------------------------------------------
// The registry hive

class HiveWriteTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(setCrop(1)); }

    bool setCrop(uint32_t crop, std::string* problem = nullptr) {
        return registry.update(
            [&](RegistryHive& hive) {
                hive.set(kOptions, "Crop", RegValue::fromDword(crop));
                return true;
            },
            problem);
    }
    std::optional<RegValue> storedCrop() const { return registry.read().get(kOptions, "Crop"); }

    test::TempDir dir;
    fs::path folder = dir / "config" / "quorvex";
    Registry registry{folder / "registry.reg"};
};

class HiveWriteFaults : public HiveWriteTest,
                        public ::testing::WithParamInterface<test::InjectedFault> {};

TEST_P(HiveWriteFaults, FailWithTheReasonAndLeaveTheHiveAsItWas) {
    for (bool existing : {true, false}) {
        SCOPED_TRACE(existing ? "over the hive" : "a first hive");
        if (!existing) fs::remove(registry.path());
        const test::PathState before = test::PathState::of(registry.path());
        const std::set<std::string> names = test::namesIn(folder);
        FileFaults faults;
        GetParam().arm(faults);
        std::string problem;
        bool written = true;
        int error = 0;
        {
            ScopedFileFaults scope(faults);
            errno = 0;
            written = setCrop(0, &problem);
            error = errno;
        }
        EXPECT_FALSE(written);
        EXPECT_EQ(error, GetParam().error) << std::strerror(error);
        EXPECT_EQ(problem, test::unableToWrite(registry.path(), GetParam().error));
        EXPECT_EQ(faults.injected.load(), 1);
        EXPECT_EQ(test::PathState::of(registry.path()), before);
        EXPECT_EQ(test::namesIn(folder), names);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, HiveWriteFaults, ::testing::ValuesIn(test::injectedFaults()),
                         test::injectedFaultName);

TEST_F(HiveWriteTest, AHiveRemovedBeforeTheWriteIsWrittenWholeForItsOwnerOnly) {
    FileFaults faults;
    faults.beforeCreate = [&] { fs::remove(registry.path()); };
    {
        ScopedFileFaults scope(faults);
        ASSERT_TRUE(setCrop(0));
    }
    EXPECT_EQ(storedCrop(), RegValue::fromDword(0));
    EXPECT_EQ(test::PathState::of(registry.path()).mode, 0600u);
    EXPECT_EQ(test::namesIn(folder), (std::set<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST_F(HiveWriteTest, AFolderRemovedBeforeTheWriteFailsWithTheReason) {
    FileFaults faults;
    faults.beforeCreate = [&] { fs::remove_all(folder); };
    std::string problem;
    {
        ScopedFileFaults scope(faults);
        EXPECT_FALSE(setCrop(0, &problem));
    }
    EXPECT_EQ(problem, test::unableToWrite(registry.path(), ENOENT));
    EXPECT_FALSE(fs::exists(folder));
}

TEST_F(HiveWriteTest, AHiveReplacedByAFolderBeforeTheWriteKeepsTheFolder) {
    FileFaults faults;
    faults.beforeCreate = [&] {
        fs::remove(registry.path());
        fs::create_directory(registry.path());
    };
    std::string problem;
    {
        ScopedFileFaults scope(faults);
        EXPECT_FALSE(setCrop(0, &problem));
    }
    EXPECT_EQ(problem, test::unableToWrite(registry.path(), EISDIR));
    EXPECT_TRUE(fs::is_directory(registry.path()));
    EXPECT_TRUE(fs::is_empty(registry.path()));
    EXPECT_EQ(test::namesIn(folder), (std::set<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST_F(HiveWriteTest, AFolderInPlaceOfTheHiveIsLeftAlone) {
    fs::remove(registry.path());
    fs::create_directory(registry.path());
    std::string problem;
    errno = 0;
    EXPECT_FALSE(setCrop(0, &problem));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_EQ(problem,
              "Unable to read " + registry.path().string() + ":\n" + std::strerror(EISDIR));
    EXPECT_TRUE(fs::is_directory(registry.path()));
    EXPECT_TRUE(fs::is_empty(registry.path()));
}

TEST_F(HiveWriteTest, AReadOnlyFolderRefusesTheWrite) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser writes into read-only folders";
    const test::PathState before = test::PathState::of(registry.path());
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    std::string problem;
    const bool written = setCrop(0, &problem);
    ::chmod(folder.c_str(), 0700);
    EXPECT_FALSE(written);
    EXPECT_EQ(problem, test::unableToWrite(registry.path(), EACCES));
    EXPECT_EQ(test::PathState::of(registry.path()), before);
    EXPECT_EQ(test::namesIn(folder), (std::set<std::string>{"registry.reg", "registry.reg.lock"}));
}

TEST(HiveOnTmpfs, AFullAndAReadOnlyDiskLeaveTheHiveAsItWas) {
    test::TempDir dir;
    test::SmallTmpfs disk(dir / "config");
    if (!disk.mounted()) GTEST_SKIP() << disk.whyNot();
    Registry registry(disk.path() / "quorvex" / "registry.reg");
    auto setMany = [&](std::string* problem) {
        return registry.update(
            [](RegistryHive& hive) {
                // Far more than the few free bytes a full disk has left.
                for (int i = 0; i < 2000; ++i) {
                    hive.set(kOptions, "Value" + std::to_string(i), RegValue::fromDword(i));
                }
                return true;
            },
            problem);
    };
    ASSERT_TRUE(registry.update([](RegistryHive& hive) {
        hive.set(kOptions, "Crop", RegValue::fromDword(1));
        return true;
    }));
    ASSERT_TRUE(disk.fill());
    const fs::path folder = registry.path().parent_path();
    const test::PathState before = test::PathState::of(registry.path());
    const std::set<std::string> names = test::namesIn(folder);

    std::string problem;
    EXPECT_FALSE(setMany(&problem));
    EXPECT_EQ(problem, test::unableToWrite(registry.path(), ENOSPC));
    EXPECT_EQ(test::PathState::of(registry.path()), before);
    EXPECT_EQ(test::namesIn(folder), names);

    ASSERT_TRUE(disk.makeReadOnly());
    EXPECT_FALSE(setMany(&problem));
    EXPECT_EQ(problem, test::unableToWrite(registry.path(), EROFS));
    EXPECT_EQ(test::PathState::of(registry.path()), before);
    EXPECT_EQ(test::namesIn(folder), names);
}

}  // namespace
}  // namespace qv::platform
