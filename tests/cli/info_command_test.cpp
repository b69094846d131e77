// quorvex info on real pictures: every line checked against what the test
// reads from the file's own bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "cli/cli_helpers.h"
#include "cli/run_program.h"
#include "cli/wmf_file.h"
#include "engine/metafile/records.h"
#include "support/test_support.h"

namespace qv::test {
namespace {

using mf::Fn;

std::vector<std::filesystem::path> pictures() {
    std::vector<std::filesystem::path> all = wmfFilesIn("tests/data/real");
    for (auto& p : wmfFilesIn("samples")) all.push_back(p);
    return all;
}

// "  label: value" lines after the file name, by label.
std::map<std::string, std::string> fieldsOf(const std::vector<std::string>& lines) {
    std::map<std::string, std::string> fields;
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        size_t colon = l.find(':');
        if (l.rfind("  ", 0) != 0 || colon == std::string::npos) continue;
        std::string value = l.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        fields[l.substr(2, colon - 2)] = value;
    }
    return fields;
}

bool matches(const std::string& text, const char* pattern, std::smatch& m) {
    return std::regex_match(text, m, std::regex(pattern));
}

long num(const std::smatch& m, size_t i) {
    return std::stol(m[i].str());
}
double real(const std::smatch& m, size_t i) {
    return std::stod(m[i].str());
}

constexpr const char* kRect = R"(\((-?\d+),(-?\d+)\)-\((-?\d+),(-?\d+)\), (-?\d+) x (-?\d+))";

TEST(InfoCorpus, IsInTheSourceTree) {
    EXPECT_FALSE(wmfFilesIn("tests/data/real").empty());
    EXPECT_FALSE(wmfFilesIn("samples").empty());
}

class InfoOnPicture : public testing::TestWithParam<std::filesystem::path> {};

TEST_P(InfoOnPicture, DescribesThePictureAsItsBytesSay) {
    const std::string path = GetParam().string();
    const WmfFile f = readWmfFile(GetParam());
    ASSERT_TRUE(f.placeable);
    ASSERT_TRUE(f.eof) << "the test's own walk finds no end record";

    ProgramResult r = runQuorvex({"info", path});
    ASSERT_TRUE(r.exited) << r.describe();
    ASSERT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_EQ(r.err, "");
    std::vector<std::string> lines = splitLines(r.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], path);
    auto fields = fieldsOf(lines);
    std::smatch m;

    // Placeable header, with the checksum the test computes itself.
    uint16_t sum = placeableChecksum(f.bytes);
    ASSERT_EQ(f.storedChecksum(), sum) << "the writers of these files store a correct checksum";
    ASSERT_TRUE(matches(
        fields["placeable"],
        R"(bbox=\((-?\d+),(-?\d+)\)-\((-?\d+),(-?\d+)\) inch=(\d+) checksum=0x([0-9A-F]{4}) \(correct\))",
        m))
        << fields["placeable"];
    EXPECT_EQ(num(m, 1), f.left());
    EXPECT_EQ(num(m, 2), f.top());
    EXPECT_EQ(num(m, 3), f.right());
    EXPECT_EQ(num(m, 4), f.bottom());
    EXPECT_EQ(num(m, 5), f.inch());
    EXPECT_EQ(std::stoul(m[6].str(), nullptr, 16), sum);

    ASSERT_TRUE(matches(fields["frame"], kRect, m)) << fields["frame"];
    EXPECT_EQ(num(m, 1), f.left());
    EXPECT_EQ(num(m, 2), f.top());
    EXPECT_EQ(num(m, 3), f.right());
    EXPECT_EQ(num(m, 4), f.bottom());
    EXPECT_EQ(num(m, 5), f.right() - f.left());
    EXPECT_EQ(num(m, 6), f.bottom() - f.top());

    EXPECT_EQ(fields["units per inch"], std::to_string(f.inch()));

    // Printed size: the frame over Inch, in inches to 3 and millimetres to 1 decimal.
    ASSERT_GT(f.inch(), 0);
    double w = double(f.right() - f.left()) / f.inch();
    double h = double(f.bottom() - f.top()) / f.inch();
    ASSERT_TRUE(matches(fields["printed size"],
                        R"((-?[\d.]+) x (-?[\d.]+) in \((-?[\d.]+) x (-?[\d.]+) mm\))", m))
        << fields["printed size"];
    EXPECT_NEAR(real(m, 1), w, 0.0005 + 1e-9);
    EXPECT_NEAR(real(m, 2), h, 0.0005 + 1e-9);
    EXPECT_NEAR(real(m, 3), w * 25.4, 0.05 + 1e-9);
    EXPECT_NEAR(real(m, 4), h * 25.4, 0.05 + 1e-9);

    // The first SETWINDOWEXT (y, x), read unsigned.
    auto exts = f.recordsOf(uint16_t(Fn::SetWindowExt));
    if (exts.empty()) {
        EXPECT_EQ(fields["window extent"].rfind("none", 0), 0u) << fields["window extent"];
    } else {
        EXPECT_EQ(fields["window extent"],
                  std::to_string(exts[0].word(1)) + " x " + std::to_string(exts[0].word(0)));
    }

    // What is drawn lies around the frame, not anywhere in the coordinate space.
    const std::string& drawn = fields["drawn extent"];
    if (drawn != "nothing is drawn") {
        ASSERT_TRUE(matches(drawn, kRect, m)) << drawn;
        long l = num(m, 1), t = num(m, 2), rt = num(m, 3), b = num(m, 4);
        EXPECT_LE(l, rt);
        EXPECT_LE(t, b);
        EXPECT_EQ(num(m, 5), rt - l);
        EXPECT_EQ(num(m, 6), b - t);
        long fw = f.right() - f.left(), fh = f.bottom() - f.top();
        EXPECT_GE(l, f.left() - fw / 2);
        EXPECT_LE(rt, f.right() + fw / 2);
        EXPECT_GE(t, f.top() - fh / 2);
        EXPECT_LE(b, f.bottom() + fh / 2);
        EXPECT_LT(l, f.right());
        EXPECT_GT(rt, f.left());
    }

    ASSERT_TRUE(matches(fields["palette column"], R"((\d))", m)) << fields["palette column"];
    EXPECT_LE(num(m, 1), 8);
    // Without a background rectangle the column stays the even one the pass starts with.
    if (fields["background"] == "none") {
        EXPECT_EQ(num(m, 1) % 2, 0);
    }

    // Every record with the end record, and the bytes up to and with it.
    ASSERT_TRUE(matches(fields["records"], R"((\d+), the end record included \((\d+) bytes\))", m))
        << fields["records"];
    EXPECT_EQ(size_t(num(m, 1)), f.records.size() + 1);
    EXPECT_EQ(size_t(num(m, 2)), f.eof->offset + f.eof->bytes.size() - f.wmfOffset);

    size_t creates = 0;
    for (const auto& rec : f.records) {
        switch (Fn(rec.function)) {
            case Fn::CreatePenIndirect:
            case Fn::CreateBrushIndirect:
            case Fn::CreateFontIndirect:
            case Fn::CreatePalette:
            case Fn::CreateRegion:
            case Fn::DibCreatePatternBrush:
            case Fn::CreatePatternBrush:
                ++creates;
                break;
            default:
                break;
        }
    }
    ASSERT_TRUE(matches(fields["objects"], R"((\d+) created, (\d+) slots in the header)", m))
        << fields["objects"];
    EXPECT_EQ(size_t(num(m, 1)), creates);
    EXPECT_EQ(num(m, 2), f.mtNoObjects());
}

INSTANTIATE_TEST_SUITE_P(Corpus, InfoOnPicture, testing::ValuesIn(pictures()),
                         [](const testing::TestParamInfo<std::filesystem::path>& info) {
                             return testNameOf(info.param);
                         });

TEST(InfoCommand, GoesOnAfterAFileThatFails) {
    auto files = pictures();
    ASSERT_GE(files.size(), 2u);
    TempDir dir;
    const std::string missing = (dir / "missing.wmf").string();
    ProgramResult r = runQuorvex({"info", files[0].string(), missing, files[1].string()});
    ASSERT_TRUE(r.exited) << r.describe();
    EXPECT_EQ(r.exitCode, 1);
    std::vector<std::string> lines = splitLines(r.out);
    EXPECT_NE(std::find(lines.begin(), lines.end(), files[0].string()), lines.end()) << r.out;
    EXPECT_NE(std::find(lines.begin(), lines.end(), files[1].string()), lines.end()) << r.out;
    EXPECT_EQ(r.out.find(missing), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(missing), std::string::npos) << r.err;
}

TEST(InfoCommand, SeveralGoodFilesSucceedInTheirOrder) {
    auto files = pictures();
    ASSERT_GE(files.size(), 2u);
    ProgramResult r = runQuorvex({"info", files[1].string(), files[0].string()});
    ASSERT_TRUE(r.exited) << r.describe();
    EXPECT_EQ(r.exitCode, 0);
    size_t second = r.out.find(files[1].string() + "\n");
    size_t first = r.out.find(files[0].string() + "\n");
    ASSERT_NE(second, std::string::npos);
    ASSERT_NE(first, std::string::npos);
    EXPECT_LT(second, first);
}

}  // namespace
}  // namespace qv::test
