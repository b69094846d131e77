// Placeable files that cannot be written: the writer, saving a rendered
// picture and improving a file (onto itself and elsewhere), each on a full
// disk, in a folder that refuses new files, and with the file or its folder
// taken away between the look at the target and the write.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "engine/cmetafile.h"
#include "engine/placeable.h"
#include "engine/render.h"
#include "picture_builder.h"
#include "platform/files.h"
#include "support/test_support.h"
#include "support/write_faults.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using platform::testhooks::FileFaults;
using platform::testhooks::ScopedFileFaults;

class PlaceableFailureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::copy_file(test::sourcePath("samples/bracket.wmf"), target);
        ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    }

    std::vector<std::string> messageTexts() const {
        std::vector<std::string> texts;
        for (const auto& m : t.ui.messages) texts.push_back(m.text);
        return texts;
    }

    test::TempDir dir;
    fs::path target = dir / "drawing.wmf";
    test::TestEngine t;
};

// One way the engine writes a placeable file, and what it says when that fails.
struct Writer {
    const char* name;
    bool writesOverItsSource;  // the target is the picture it improves
    bool showsTheMessage;      // else its caller does
    // True when the writer reported success.
    bool (*write)(test::TestEngine& t, const fs::path& target);
};

void PrintTo(const Writer& w, std::ostream* os) {
    *os << w.name;
}

const Writer kWriters[] = {
    {"WritePlaceableFile", false, false,
     [](test::TestEngine& t, const fs::path& target) {
         mf::MetafileHandle h =
             test::PictureBuilder{test::rec::setWindowExt(4000, 3000), test::rec::moveTo(100, 150),
                                  test::rec::lineTo(3900, 2800)}
                 .picture();
         const int result = WritePlaceableFile(t.engine, h, {4000, 3000}, 1000.0, target);
         const int error = errno;
         // The writer keeps the handle only when it returns 1.
         EXPECT_EQ(h == nullptr, result == 0);
         if (h) DeleteMetaFile(h);
         errno = error;
         return result != 0;
     }},
    {"SaveToFile", false, true,
     [](test::TestEngine& t, const fs::path& target) {
         CMetafile pic;
         pic.LoadPlaceableFile(t.engine, test::sourcePath("samples/floorplan.wmf"), 0);
         EXPECT_TRUE(pic.IsLoaded());
         return SaveToFile(t.engine, pic, target);
     }},
    {"ImproveFileElsewhere", false, true,
     [](test::TestEngine& t, const fs::path& target) {
         return ImproveFile(t.engine, test::sourcePath("samples/siteplan.wmf"), target, 0);
     }},
    {"ImproveFileOntoItself", true, true,
     [](test::TestEngine& t, const fs::path& target) {
         return ImproveFile(t.engine, target, target, 0);
     }},
};

class PlaceableWriteFaults
    : public PlaceableFailureTest,
      public ::testing::WithParamInterface<std::tuple<Writer, test::InjectedFault>> {};

TEST_P(PlaceableWriteFaults, FailWithOneMessageAndLeaveTheFileAsItWas) {
    const auto& [writer, fault] = GetParam();
    for (bool existing : {true, false}) {
        if (!existing && writer.writesOverItsSource) continue;
        SCOPED_TRACE(existing ? "over an existing picture" : "a new picture");
        if (!existing) fs::remove(target);
        const test::PathState before = test::PathState::of(target);
        const std::set<std::string> names = test::namesIn(dir.path());
        t.ui.messages.clear();
        FileFaults faults;
        fault.arm(faults);
        bool written = true;
        int error = 0;
        {
            ScopedFileFaults scope(faults);
            errno = 0;
            written = writer.write(t, target);
            error = errno;
        }
        EXPECT_FALSE(written);
        EXPECT_EQ(faults.injected.load(), 1);
        if (writer.showsTheMessage) {
            EXPECT_EQ(messageTexts(),
                      std::vector<std::string>{test::unableToWrite(target, fault.error)});
        } else {
            EXPECT_TRUE(t.ui.messages.empty());
            EXPECT_EQ(error, fault.error) << "the caller's message is made from errno";
        }
        EXPECT_EQ(test::PathState::of(target), before);
        EXPECT_EQ(test::namesIn(dir.path()), names);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, PlaceableWriteFaults,
                         ::testing::Combine(::testing::ValuesIn(kWriters),
                                            ::testing::ValuesIn(test::injectedFaults())),
                         [](const ::testing::TestParamInfo<PlaceableWriteFaults::ParamType>& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).name;
                         });

// Improving a file onto itself while someone else takes it or its folder away.

TEST_F(PlaceableFailureTest, AFileRemovedAfterLoadingGetsTheImprovedPictureWithItsMode) {
    FileFaults faults;
    faults.beforeCreate = [&] { fs::remove(target); };
    {
        ScopedFileFaults scope(faults);
        ASSERT_TRUE(ImproveFile(t.engine, target, target, 0));
    }
    EXPECT_TRUE(t.ui.messages.empty());
    EXPECT_EQ(test::PathState::of(target).mode, 0640u);
    EXPECT_EQ(test::namesIn(dir.path()), std::set<std::string>{"drawing.wmf"});
    CMetafile pic;
    pic.LoadPlaceableFile(t.engine, target, 0);
    EXPECT_TRUE(pic.IsLoaded()) << pic.LoadError;
}

TEST_F(PlaceableFailureTest, AFolderRemovedAfterLoadingIsToldOnce) {
    const fs::path folder = dir / "drawings";
    fs::create_directory(folder);
    const fs::path inside = folder / "drawing.wmf";
    fs::rename(target, inside);
    FileFaults faults;
    faults.beforeCreate = [&] { fs::remove_all(folder); };
    {
        ScopedFileFaults scope(faults);
        EXPECT_FALSE(ImproveFile(t.engine, inside, inside, 0));
    }
    EXPECT_EQ(messageTexts(), std::vector<std::string>{test::unableToWrite(inside, ENOENT)});
    EXPECT_FALSE(fs::exists(folder));
}

TEST_F(PlaceableFailureTest, AFileReplacedByAFolderAfterLoadingKeepsTheFolder) {
    FileFaults faults;
    faults.beforeCreate = [&] {
        fs::remove(target);
        fs::create_directory(target);
    };
    {
        ScopedFileFaults scope(faults);
        EXPECT_FALSE(ImproveFile(t.engine, target, target, 0));
    }
    EXPECT_EQ(messageTexts(), std::vector<std::string>{test::unableToWrite(target, EISDIR)});
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_TRUE(fs::is_empty(target));
    EXPECT_EQ(test::namesIn(dir.path()), std::set<std::string>{"drawing.wmf"});
}

TEST_F(PlaceableFailureTest, AFolderAsTheTargetIsToldOnceAndKept) {
    const fs::path folder = dir / "out.wmf";
    fs::create_directory(folder);
    EXPECT_FALSE(ImproveFile(t.engine, target, folder, 0));
    EXPECT_EQ(messageTexts(), std::vector<std::string>{test::unableToWrite(folder, EISDIR)});
    EXPECT_TRUE(fs::is_empty(folder));
    EXPECT_EQ(test::namesIn(dir.path()), (std::set<std::string>{"drawing.wmf", "out.wmf"}));
}

TEST_F(PlaceableFailureTest, AReadOnlyFolderIsToldOnceAndChangesNothing) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser writes into read-only folders";
    const test::PathState before = test::PathState::of(target);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    const bool written = ImproveFile(t.engine, target, target, 0);
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_FALSE(written);
    EXPECT_EQ(messageTexts(), std::vector<std::string>{test::unableToWrite(target, EACCES)});
    EXPECT_EQ(test::PathState::of(target), before);
    EXPECT_EQ(test::namesIn(dir.path()), std::set<std::string>{"drawing.wmf"});
}

TEST_F(PlaceableFailureTest, AFullAndAReadOnlyDiskAreToldOnceAndChangeNothing) {
    test::SmallTmpfs disk(dir / "disk");
    if (!disk.mounted()) GTEST_SKIP() << disk.whyNot();
    const fs::path onDisk = disk.path() / "drawing.wmf";
    fs::copy_file(target, onDisk);
    ASSERT_TRUE(disk.fill());
    const test::PathState before = test::PathState::of(onDisk);
    const std::set<std::string> names = test::namesIn(disk.path());
    for (int error : {ENOSPC, EROFS}) {
        SCOPED_TRACE(std::strerror(error));
        if (error == EROFS) {
            ASSERT_TRUE(disk.makeReadOnly());
        }
        t.ui.messages.clear();
        EXPECT_FALSE(ImproveFile(t.engine, onDisk, onDisk, 0));
        EXPECT_EQ(messageTexts(), std::vector<std::string>{test::unableToWrite(onDisk, error)});
        EXPECT_EQ(test::PathState::of(onDisk), before);
        EXPECT_EQ(test::namesIn(disk.path()), names);
    }
}

}  // namespace
}  // namespace qv
