// A WMF reader we did not write must read every improved picture without a
// complaint, and see it at the size the report line gives: libwmf's wmf2svg
// (Debian package libwmf-bin). With --maxwidth and --maxheight far above any
// picture, wmf2svg gives the SVG the picture's size in its logical units, so
// the SVG's width and height are the output's window extent, and width / Inch
// is the printed width.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "cli/cli_helpers.h"
#include "cli/run_program.h"
#include "cli/wmf_file.h"
#include "support/test_support.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kInstallHint =
    "wmf2svg is not installed: install the Debian package libwmf-bin (apt-get install libwmf-bin)";

// Originals on which wmf2svg itself complains, with the reason. Our output of
// such a file must not do worse than the original; every other file must be
// read without a word. None of the pictures of the tree needs an entry now.
const std::map<std::string, std::string> kReaderLimitations = {};

std::optional<fs::path> findWmf2svg() {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        fs::path candidate = fs::path(dirs.substr(start, end - start)) / "wmf2svg";
        std::error_code ec;
        if (end > start && fs::is_regular_file(candidate, ec)) return candidate;
        start = end + 1;
    }
    return std::nullopt;
}

std::vector<fs::path> pictures() {
    std::vector<fs::path> all = wmfFilesIn("samples");
    for (auto& p : wmfFilesIn("tests/data/real")) all.push_back(p);
    // The probes only; their replays are the oracle's output, not pictures of a program.
    for (auto& p : wmfFilesIn("tests/data/oracle", ".wine-replay.wmf"))
        if (p.filename().string().rfind("probe-", 0) == 0) all.push_back(p);
    return all;
}

struct ReaderRun {
    ProgramResult result;
    std::optional<double> width, height;  // of the SVG root
    bool clean() const { return result.exited && result.exitCode == 0 && result.err.empty(); }
};

// A number attribute of the SVG root element.
std::optional<double> rootAttribute(const std::string& svg, const std::string& name) {
    size_t open = svg.find("<svg");
    if (open == std::string::npos) return std::nullopt;
    size_t close = svg.find('>', open);
    const std::string tag = svg.substr(open, close == std::string::npos ? close : close - open);
    std::smatch m;
    if (!std::regex_search(tag, m, std::regex("\\s" + name + "=\"([0-9.]+)"))) return std::nullopt;
    return std::stod(m[1].str());
}

// wmf2svg writes the bitmaps of a picture beside its input, so the input
// must lie in the test's own folder.
ReaderRun readWith(const fs::path& wmf2svg, const fs::path& input) {
    ReaderRun run;
    const fs::path svg = fs::path(input).replace_extension(".svg");
    run.result = runProgram(
        wmf2svg, {"--maxwidth=100000", "--maxheight=100000", "-o", svg.string(), input.string()});
    if (fs::exists(svg)) {
        const mf::Bytes bytes = readFile(svg);
        const std::string text(bytes.begin(), bytes.end());
        run.width = rootAttribute(text, "width");
        run.height = rootAttribute(text, "height");
    }
    return run;
}

size_t lineCount(const std::string& text) {
    return splitLines(text).size();
}

TEST(LibwmfReader, IsInstalled) {
    EXPECT_TRUE(findWmf2svg()) << kInstallHint;
}

class LibwmfReaderOnPicture : public testing::TestWithParam<fs::path> {};

TEST_P(LibwmfReaderOnPicture, ReadsEveryImprovedPictureAtItsReportedSize) {
    const std::optional<fs::path> wmf2svg = findWmf2svg();
    ASSERT_TRUE(wmf2svg) << kInstallHint;
    const std::string name = GetParam().filename().string();
    TempDir dir;

    // The original first, to tell the reader's own limits from our faults.
    const fs::path original = dir / ("original-" + name);
    writeFile(original, readFile(GetParam()));
    const ReaderRun before = readWith(*wmf2svg, original);
    ASSERT_TRUE(before.result.exited) << before.result.describe();
    const bool limited = kReaderLimitations.count(name) > 0;
    if (before.clean())
        EXPECT_FALSE(limited) << "wmf2svg now reads " << name << ": take it off the list";
    else
        EXPECT_TRUE(limited) << "wmf2svg fails on the original " << name
                             << "; if that is the reader's fault, list it with the reason\n"
                             << before.result.describe();

    const std::vector<std::pair<std::string, std::vector<std::string>>> variants = {
        {"defaults", {}},
        {"turned", {"--set", "Rotation=90"}},
        {"uncropped", {"--set", "Crop=0"}},
    };
    for (const auto& [tag, sets] : variants) {
        SCOPED_TRACE(tag);
        const fs::path out = dir / (tag + "-" + name);
        std::vector<std::string> args{"improve", GetParam().string(), "-o", out.string()};
        args.insert(args.end(), sets.begin(), sets.end());
        ProgramResult improved = runQuorvex(args);
        ASSERT_TRUE(improved.exited && improved.exitCode == 0) << improved.describe();
        std::smatch m;
        const std::string report = improved.out;
        ASSERT_TRUE(std::regex_search(report, m, std::regex(R"(: (\d+\.\d\d) x (\d+\.\d\d) in;)")))
            << report;
        const double printedW = std::stod(m[1].str()), printedH = std::stod(m[2].str());

        const WmfFile f = readWmfFile(out);
        ASSERT_TRUE(f.placeable);
        ASSERT_GT(f.inch(), 0);
        const int cx = f.right() - f.left(), cy = f.bottom() - f.top();

        const ReaderRun after = readWith(*wmf2svg, out);
        ASSERT_TRUE(after.result.exited) << after.result.describe();
        if (before.clean()) {
            EXPECT_EQ(after.result.exitCode, 0) << after.result.describe();
            EXPECT_EQ(after.result.err, "") << "wmf2svg complains about our output";
        } else {
            EXPECT_LE(after.result.exitCode, before.result.exitCode) << after.result.describe();
            EXPECT_LE(lineCount(after.result.err), lineCount(before.result.err))
                << "our output makes wmf2svg complain more:\n"
                << after.result.err;
        }
        ASSERT_TRUE(after.width && after.height) << "no SVG size from wmf2svg";
        EXPECT_NEAR(*after.width, cx, 1.0);
        EXPECT_NEAR(*after.height, cy, 1.0);
        // What wmf2svg sees, in inches, is what the report line says.
        const double units = f.inch();
        EXPECT_NEAR(*after.width / units, printedW, 0.0051 + 1.0 / units);
        EXPECT_NEAR(*after.height / units, printedH, 0.0051 + 1.0 / units);
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, LibwmfReaderOnPicture, testing::ValuesIn(pictures()),
                         [](const testing::TestParamInfo<fs::path>& info) {
                             return testNameOf(info.param);
                         });

}  // namespace
}  // namespace qv::test
