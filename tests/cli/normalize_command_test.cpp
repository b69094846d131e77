// quorvex normalize: a rewritten picture under the input's placeable header,
// the file replaced only when the new one is complete.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "cli/cli_helpers.h"
#include "cli/run_program.h"
#include "cli/test_picture.h"
#include "cli/wmf_file.h"
#include "engine/metafile/records.h"
#include "support/test_support.h"

namespace qv::test {
namespace {

using mf::Fn;

std::vector<std::filesystem::path> inputs() {
    std::vector<std::filesystem::path> all = wmfFilesIn("tests/data/oracle", ".wine-replay.wmf");
    for (auto& p : wmfFilesIn("tests/data/real")) all.push_back(p);
    return all;
}

std::filesystem::path oracleOf(const std::filesystem::path& input) {
    return sourcePath("tests/data/oracle/" + input.stem().string() + ".wine-replay.wmf");
}

// The replay oracle is known to be wrong for these records: it adds a word to
// every POLYPOLYGON, rewrites DIBSTRETCHBLT, and drops the pixels of a bitmap
// whose header leaves the image size 0.
bool oracleIsExact(const WmfFile& input) {
    for (const auto& r : input.records) {
        switch (Fn(r.function)) {
            case Fn::PolyPolygon:
            case Fn::DibStretchBlt:
                return false;
            case Fn::StretchDib:
            case Fn::SetDibToDev: {
                size_t fixed = r.function == uint16_t(Fn::StretchDib) ? 22 : 18;
                if (mf::getU32(r.bytes, 6 + fixed + 20) == 0) return false;
                break;
            }
            default:
                break;
        }
    }
    return true;
}

uint32_t largestRecord(const WmfFile& f) {
    uint32_t largest = f.eof ? f.eof->sizeWords : 0;
    for (const auto& r : f.records) largest = std::max(largest, r.sizeWords);
    return largest;
}

ProgramResult normalize(const std::string& in, const std::string& out) {
    return runQuorvex({"normalize", in, "-o", out});
}

TEST(NormalizeCorpus, HasAnOracleForEveryInput) {
    auto all = inputs();
    EXPECT_FALSE(all.empty());
    for (const auto& p : all) EXPECT_TRUE(std::filesystem::exists(oracleOf(p))) << p;
}

class NormalizeOnPicture : public testing::TestWithParam<std::filesystem::path> {};

TEST_P(NormalizeOnPicture, KeepsTheHeaderAgreesWithTheOracleAndIsIdempotent) {
    const WmfFile in = readWmfFile(GetParam());
    ASSERT_TRUE(in.placeable && in.eof);
    TempDir dir;
    const std::string once = (dir / "once.wmf").string();
    ProgramResult r = normalize(GetParam().string(), once);
    ASSERT_TRUE(r.exited) << r.describe();
    ASSERT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_EQ(r.err, "");
    const WmfFile out = readWmfFile(once);

    // The input's placeable header, with the checksum computed again.
    ASSERT_TRUE(out.placeable);
    EXPECT_TRUE(std::equal(in.bytes.begin(), in.bytes.begin() + 20, out.bytes.begin()));
    EXPECT_EQ(out.storedChecksum(), placeableChecksum(out.bytes));

    // A sound picture with exact counts, ending with its end record.
    ASSERT_TRUE(out.eof);
    EXPECT_EQ(out.eof->offset + out.eof->bytes.size(), out.bytes.size());
    EXPECT_EQ(out.u16(22), 1);
    EXPECT_EQ(out.u16(24), 9);
    EXPECT_EQ(size_t(out.mtSize()) * 2, out.bytes.size() - kPlaceableSize);
    EXPECT_EQ(out.mtMaxRecord(), largestRecord(out));

    // The summary counts what the files hold.
    std::smatch m;
    std::string summary = splitLines(r.out).empty() ? "" : splitLines(r.out)[0];
    ASSERT_TRUE(std::regex_match(
        summary, m,
        std::regex(
            R"((.*): (\d+) records in, (\d+) out \(the end record included\), (\d+) object slots)")))
        << r.out;
    EXPECT_EQ(m[1].str(), once);
    EXPECT_EQ(std::stoul(m[2].str()), in.records.size() + 1);
    EXPECT_EQ(std::stoul(m[3].str()), out.records.size() + 1);
    EXPECT_EQ(std::stoul(m[4].str()), out.mtNoObjects());

    // What the real recording DC wrote for the same input.
    const WmfFile oracle = readWmfFile(oracleOf(GetParam()));
    EXPECT_TRUE(
        std::equal(oracle.bytes.begin(), oracle.bytes.begin() + kPlaceableSize, out.bytes.begin()));
    EXPECT_EQ(out.records.size(), oracle.records.size());
    EXPECT_EQ(out.mtNoObjects(), oracle.mtNoObjects());
    if (oracleIsExact(in)) {
        EXPECT_TRUE(out.bytes == oracle.bytes) << "the file differs from " << oracleOf(GetParam());
    }

    // Normalizing the result again changes nothing.
    const std::string twice = (dir / "twice.wmf").string();
    ProgramResult again = normalize(once, twice);
    ASSERT_TRUE(again.exited && again.exitCode == 0) << again.describe();
    EXPECT_TRUE(readFile(twice) == out.bytes) << "a second normalize changed the picture";

    ProgramResult info = runQuorvex({"info", once});
    EXPECT_TRUE(info.exited && info.exitCode == 0) << info.describe();
}

INSTANTIATE_TEST_SUITE_P(Corpus, NormalizeOnPicture, testing::ValuesIn(inputs()),
                         [](const testing::TestParamInfo<std::filesystem::path>& info) {
                             return testNameOf(info.param);
                         });

class NormalizeOutput : public testing::Test {
  protected:
    void SetUp() override {
        source = sourcePath("samples/bracket.wmf");
        ASSERT_TRUE(std::filesystem::exists(source));
    }
    // The command failed to write, said so and left the folder as it was.
    void expectUnableToWrite(const std::string& out, const std::vector<std::string>& before) {
        ProgramResult r = normalize(source.string(), out);
        ASSERT_TRUE(r.exited) << r.describe();
        EXPECT_EQ(r.exitCode, 1) << r.describe();
        EXPECT_NE(r.err.find("Unable to write " + out), std::string::npos) << r.err;
        EXPECT_EQ(folderListing(dir.path()), before) << "a temporary file was left behind";
    }
    TempDir dir;
    std::filesystem::path source;
};

TEST_F(NormalizeOutput, ReplacesTheInputItselfOnSuccess) {
    const std::string elsewhere = (dir / "elsewhere.wmf").string();
    ProgramResult ref = normalize(source.string(), elsewhere);
    ASSERT_TRUE(ref.exited && ref.exitCode == 0) << ref.describe();

    const std::string pic = (dir / "pic.wmf").string();
    std::filesystem::copy_file(source, pic);
    ProgramResult r = normalize(pic, pic);
    ASSERT_TRUE(r.exited) << r.describe();
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_TRUE(readFile(pic) == readFile(elsewhere));
    EXPECT_FALSE(readFile(pic) == readFile(source)) << "the sample should change when normalized";
    EXPECT_EQ(folderListing(dir.path()), (std::vector<std::string>{"elsewhere.wmf", "pic.wmf"}));
}

TEST_F(NormalizeOutput, LeavesADamagedInputAsItWas) {
    TestPicture p = TestPicture::sound();
    mf::wrU16(&p.records[TestPicture::kPolyline][6], 500);
    const mf::Bytes damaged = p.bytes();
    const std::string pic = (dir / "pic.wmf").string();
    writeFile(pic, damaged);
    ProgramResult r = normalize(pic, pic);
    ASSERT_TRUE(r.exited) << r.describe();
    EXPECT_EQ(r.exitCode, 1) << r.describe();
    EXPECT_NE(r.err.find(pic), std::string::npos) << r.err;
    EXPECT_TRUE(readFile(pic) == damaged);
    EXPECT_EQ(folderListing(dir.path()), std::vector<std::string>{"pic.wmf"});
}

TEST_F(NormalizeOutput, ReplacesAnOlderOutput) {
    const std::string out = (dir / "out.wmf").string();
    writeFile(out, mf::Bytes{'o', 'l', 'd'});
    ProgramResult r = normalize(source.string(), out);
    ASSERT_TRUE(r.exited && r.exitCode == 0) << r.describe();
    EXPECT_TRUE(readWmfFile(out).eof);
    EXPECT_EQ(folderListing(dir.path()), std::vector<std::string>{"out.wmf"});
}

TEST_F(NormalizeOutput, ADirectoryIsNotWritten) {
    std::filesystem::create_directory(dir / "folder");
    expectUnableToWrite((dir / "folder").string(), {"folder"});
    EXPECT_TRUE(std::filesystem::is_empty(dir / "folder"));
}

TEST_F(NormalizeOutput, AFolderThatDoesNotExistIsNotWritten) {
    expectUnableToWrite((dir / "missing" / "out.wmf").string(), {});
}

TEST_F(NormalizeOutput, APathBelowAFileIsNotWritten) {
    writeFile(dir / "file.wmf", mf::Bytes{1, 2, 3});
    expectUnableToWrite((dir / "file.wmf" / "out.wmf").string(), {"file.wmf"});
    EXPECT_TRUE(readFile(dir / "file.wmf") == (mf::Bytes{1, 2, 3}));
}

TEST_F(NormalizeOutput, AReadOnlyFolderIsNotWritten) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser writes into read-only folders";
    std::filesystem::create_directory(dir / "ro");
    ASSERT_EQ(::chmod((dir / "ro").c_str(), 0555), 0);
    ProgramResult r = normalize(source.string(), (dir / "ro" / "out.wmf").string());
    ::chmod((dir / "ro").c_str(), 0755);
    ASSERT_TRUE(r.exited) << r.describe();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Unable to write"), std::string::npos) << r.err;
    EXPECT_TRUE(std::filesystem::is_empty(dir / "ro"));
}

}  // namespace
}  // namespace qv::test
