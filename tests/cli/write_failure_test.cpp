// The tool's three writers when the write really fails: an improved picture,
// an option file and the stored settings, each over a folder, into a missing
// or read-only folder, and onto a full or read-only disk. The command fails
// with its message and leaves the file and its folder as they were.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "run_program.h"
#include "support/test_support.h"
#include "support/write_faults.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

// One command that writes one file below `folder`.
struct Command {
    const char* name;
    bool makesItsFolder;  // a missing folder is made, not a failure
    fs::path (*target)(const fs::path& folder);
    // Puts the old file in place; `config` is the settings folder of the other commands.
    void (*prepare)(const fs::path& target, const fs::path& folder, const fs::path& config);
    std::vector<std::string> (*args)(const fs::path& target, const fs::path& source);
    std::string (*message)(const fs::path& target, const fs::path& source, int error);
    const char* successOutput;  // what stdout shows only when the write worked
    bool settingsInFolder;      // the command's settings folder is `folder` itself
};

void PrintTo(const Command& c, std::ostream* os) {
    *os << c.name;
}

const Command kCommands[] = {
    {"Improve", false, [](const fs::path& folder) { return folder / "drawing.wmf"; },
     [](const fs::path& target, const fs::path&, const fs::path&) {
         fs::copy_file(sourcePath("samples/bracket.wmf"), target);
     },
     [](const fs::path& target, const fs::path& source) {
         return std::vector<std::string>{"improve", source.string(), "-o", target.string()};
     },
     [](const fs::path& target, const fs::path& source, int error) {
         return "quorvex: " + source.string() + ": Quorvex error: " + unableToWrite(target, error) +
                "\n";
     },
     "records", false},
    {"OptionsSave", false, [](const fs::path& folder) { return folder / "plot.qw3"; },
     [](const fs::path& target, const fs::path&, const fs::path&) {
         writeFile(target, {'[', 'O', ']', '\n'});
     },
     [](const fs::path& target, const fs::path&) {
         return std::vector<std::string>{"options", "save", target.string()};
     },
     [](const fs::path& target, const fs::path&, int error) {
         return "Quorvex error: " + unableToWrite(target, error) + "\n";
     },
     "saved", false},
    {"OptionsSet", true, [](const fs::path& folder) { return folder / "quorvex" / "registry.reg"; },
     [](const fs::path& target, const fs::path& folder, const fs::path&) {
         ProgramResult r = runQuorvex({"options", "set", "Crop", "1"}, {.configHome = folder});
         ASSERT_EQ(r.exitCode, 0) << r.describe();
         ASSERT_TRUE(fs::is_regular_file(target));
     },
     [](const fs::path&, const fs::path&) {
         return std::vector<std::string>{"options", "set", "Crop", "0"};
     },
     [](const fs::path& target, const fs::path&, int error) {
         return "quorvex: the settings could not be saved to " + target.string() + ": " +
                std::strerror(error) + "\n";
     },
     "Crop 0", true},
};

// One real fault, made before the command runs.
struct RealFault {
    const char* name;
    int error;
    bool onTmpfs;       // needs a file system of its own
    bool needsNonRoot;  // permissions that do not hold for the superuser
    // False when the fault could not be made.
    bool (*make)(const fs::path& target, SmallTmpfs* disk);
};

void PrintTo(const RealFault& f, std::ostream* os) {
    *os << f.name;
}

const RealFault kFaults[] = {
    {"TargetIsAFolder", EISDIR, false, false,
     [](const fs::path& target, SmallTmpfs*) {
         fs::remove(target);
         return fs::create_directory(target);
     }},
    {"FolderMissing", ENOENT, false, false,
     [](const fs::path& target, SmallTmpfs*) { return fs::remove_all(target.parent_path()) > 0; }},
    {"ReadOnlyFolder", EACCES, false, true,
     [](const fs::path& target, SmallTmpfs*) {
         return ::chmod(target.parent_path().c_str(), 0555) == 0;
     }},
    {"DiskFull", ENOSPC, true, false,
     [](const fs::path&, SmallTmpfs* disk) { return disk->fill(); }},
    {"ReadOnlyDisk", EROFS, true, false,
     [](const fs::path&, SmallTmpfs* disk) { return disk->makeReadOnly(); }},
};

class CliWriteFailures : public ::testing::TestWithParam<std::tuple<Command, RealFault>> {
  protected:
    void TearDown() override {
        std::error_code ignored;  // lets the folder be removed after the read-only case
        fs::permissions(target.parent_path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }

    TempDir dir;
    std::unique_ptr<SmallTmpfs> disk;
    fs::path target;
};

TEST_P(CliWriteFailures, FailWithTheMessageAndLeaveTheFileAsItWas) {
    const auto& [command, fault] = GetParam();
    if (fault.needsNonRoot && ::geteuid() == 0) {
        GTEST_SKIP() << "the superuser writes into read-only folders";
    }
    if (command.makesItsFolder && fault.error == ENOENT) {
        GTEST_SKIP() << command.name << " makes the folders it needs";
    }
    fs::path folder = dir / "work";
    if (fault.onTmpfs) {
        disk = std::make_unique<SmallTmpfs>(folder);
        if (!disk->mounted()) GTEST_SKIP() << disk->whyNot();
    } else {
        fs::create_directory(folder);
    }
    const fs::path config = dir / "config";
    const fs::path source = dir / "source.wmf";
    fs::copy_file(sourcePath("samples/floorplan.wmf"), source);
    target = command.target(folder);
    fs::create_directories(target.parent_path());
    command.prepare(target, folder, config);
    if (HasFatalFailure()) return;
    ASSERT_TRUE(fault.make(target, disk.get()));

    const PathState before = PathState::of(target);
    const std::set<std::string> names = namesIn(target.parent_path());
    ProgramResult r = runQuorvex(command.args(target, source),
                                 {.configHome = command.settingsInFolder ? folder : config});

    ASSERT_TRUE(r.exited) << r.describe();
    EXPECT_EQ(r.exitCode, 1) << r.describe();
    const std::string message = command.message(target, source, fault.error);
    EXPECT_NE(r.err.find(message), std::string::npos) << "want: " << message << r.describe();
    EXPECT_EQ(r.out.find(command.successOutput), std::string::npos) << r.describe();
    EXPECT_EQ(PathState::of(target), before);
    EXPECT_EQ(namesIn(target.parent_path()), names);
}

INSTANTIATE_TEST_SUITE_P(RealFaults, CliWriteFailures,
                         ::testing::Combine(::testing::ValuesIn(kCommands),
                                            ::testing::ValuesIn(kFaults)),
                         [](const ::testing::TestParamInfo<CliWriteFailures::ParamType>& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    std::get<1>(info.param).name;
                         });

}  // namespace
}  // namespace qv::test
