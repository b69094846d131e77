// Bad command lines exit with status 2 and say how to call the command; help
// goes to standard output with status 0.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/run_program.h"
#include "support/test_support.h"

namespace qv::test {
namespace {

std::string joined(const std::vector<std::string>& args) {
    std::string s = "quorvex";
    for (const auto& a : args) s += " '" + a + "'";
    return s;
}

struct BadUsage {
    std::vector<std::string> args;
    std::string says;  // in the message on standard error
};

TEST(Usage, BadCommandLinesExitWith2) {
    const std::string sample = sourcePath("samples/bracket.wmf").string();
    TempDir dir;
    const std::string out = (dir / "out.wmf").string();
    const std::vector<BadUsage> cases = {
        {{}, "usage: quorvex COMMAND"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"INFO", sample}, "unknown command"},
        {{"info"}, "usage: quorvex info"},
        {{"records"}, "usage: quorvex records"},
        {{"records", sample, sample}, "usage: quorvex records"},
        {{"normalize"}, "usage: quorvex normalize"},
        {{"normalize", sample}, "usage: quorvex normalize"},
        {{"normalize", sample, "-o"}, "usage: quorvex normalize"},
        {{"normalize", "-o", out}, "usage: quorvex normalize"},
        {{"normalize", sample, sample, "-o", out}, "usage: quorvex normalize"},
        {{"normalize", sample, "--bogus", "-o", out}, "usage: quorvex normalize"},
        {{"info", "--bogus", sample}, "usage: quorvex info"},
        {{"records", "--bogus"}, "usage: quorvex records"},
        {{"palette", "--bogus"}, "usage: quorvex palette"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(joined(c.args));
        ProgramResult r = runQuorvex(c.args);
        ASSERT_TRUE(r.exited) << r.describe();
        EXPECT_EQ(r.exitCode, 2) << r.describe();
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(Usage, AMissingFileIsAFailedFileNotBadUsage) {
    TempDir dir;
    const std::string missing = (dir / "missing.wmf").string();
    const std::vector<std::vector<std::string>> cases = {
        {"info", missing},
        {"records", missing},
        {"normalize", missing, "-o", (dir / "out.wmf").string()}};
    for (const auto& args : cases) {
        SCOPED_TRACE(joined(args));
        ProgramResult r = runQuorvex(args);
        ASSERT_TRUE(r.exited) << r.describe();
        EXPECT_EQ(r.exitCode, 1) << r.describe();
        EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(Usage, HelpOfEveryCommand) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--help"}, "usage: quorvex COMMAND"},
        {{"-h"}, "usage: quorvex COMMAND"},
        {{"help"}, "usage: quorvex COMMAND"},
        {{"info", "--help"}, "usage: quorvex info"},
        {{"records", "--help"}, "usage: quorvex records"},
        {{"palette", "--help"}, "usage: quorvex palette"},
        {{"normalize", "--help"}, "usage: quorvex normalize"},
        {{"normalize", "-h"}, "usage: quorvex normalize"},
    };
    for (const auto& [args, usage] : cases) {
        SCOPED_TRACE(joined(args));
        ProgramResult r = runQuorvex(args);
        ASSERT_TRUE(r.exited) << r.describe();
        EXPECT_EQ(r.exitCode, 0) << r.describe();
        EXPECT_EQ(r.out.rfind(usage, 0), 0u) << r.out;
        EXPECT_EQ(r.err, "");
    }
}

TEST(Usage, TheOverviewNamesEveryCommand) {
    ProgramResult r = runQuorvex({"--help"});
    ASSERT_TRUE(r.exited && r.exitCode == 0) << r.describe();
    for (const char* command :
         {"info FILE", "records FILE", "palette [COLUMN]", "normalize FILE -o OUT"})
        EXPECT_NE(r.out.find(command), std::string::npos) << command;
}

}  // namespace
}  // namespace qv::test
