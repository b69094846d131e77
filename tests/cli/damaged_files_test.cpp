// Damaged pictures: every command that reads one must refuse it with a message
// that names the file and, for a damaged record, the record and the fault,
// and must never crash or try to allocate what a bad size field promises.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

#include "cli/cli_helpers.h"
#include "cli/run_program.h"
#include "cli/test_picture.h"
#include "engine/metafile/records.h"
#include "support/test_support.h"

namespace qv::test {
namespace {

constexpr size_t kMemoryLimit = size_t(1) << 30;

struct Damage {
    const char* name;
    std::function<void(TestPicture&)> change;  // on the records and headers
    std::function<void(mf::Bytes&)> cut;       // on the finished file
    std::optional<size_t> record;              // the record at fault
    std::vector<std::string> says;             // in every message about it
    size_t listed;                             // records the listing shows first
};

void setWord(mf::Bytes& record, size_t word, uint16_t v) {
    mf::wrU16(&record[6 + 2 * word], v);
}

void truncateTo(mf::Bytes& b, size_t n) {
    b.resize(n);
}

// The record count of `quorvex info`, the end record included; -1 when absent.
long infoRecordCount(const std::string& out) {
    std::smatch m;
    if (!std::regex_search(out, m, std::regex(R"(\n  records: +(\d+), the end record included)")))
        return -1;
    return std::stol(m[1].str());
}

std::vector<Damage> damages() {
    using P = TestPicture;
    auto none = [](TestPicture&) {};
    auto keep = [](mf::Bytes&) {};
    const size_t all = P::kRecordCount;
    return {
        {"EmptyFile", none, [](mf::Bytes& b) { b.clear(); }, {}, {"not a Windows metafile"}, 0},
        {"HeaderCutAt10", none, [](mf::Bytes& b) { truncateTo(b, 10); }, {}, {"cut off"}, 0},
        {"HeaderCutAt30", none, [](mf::Bytes& b) { truncateTo(b, 30); }, {}, {"cut off"}, 0},
        {"WrongKey", [](P& p) { p.key = 0x12345678; }, keep, {}, {"placeable"}, 0},
        {"MetaHeaderType0", [](P& p) { p.type = 0; }, keep, {}, {"type 0"}, 0},
        {"MetaHeaderType3", [](P& p) { p.type = 3; }, keep, {}, {"type 3"}, 0},
        {"MetaHeaderTypeFFFF", [](P& p) { p.type = 0xFFFF; }, keep, {}, {"type 65535"}, 0},
        {"HeaderSize8", [](P& p) { p.headerSize = 8; }, keep, {}, {"header size"}, 0},
        {"HeaderSize18", [](P& p) { p.headerSize = 18; }, keep, {}, {"header size"}, 0},
        {"ZeroSizeRecord",
         [](P& p) { setRecordSize(p.records[P::kSelectPen], 0); },
         keep,
         P::kSelectPen,
         {"SELECTOBJECT", "size of 0"},
         P::kSelectPen},
        {"OneWordRecord",
         [](P& p) { setRecordSize(p.records[P::kPolyline], 1); },
         keep,
         P::kPolyline,
         {"POLYLINE", "size of 1"},
         P::kPolyline},
        {"TwoWordRecord",
         [](P& p) { setRecordSize(p.records[P::kPolyline], 2); },
         keep,
         P::kPolyline,
         {"POLYLINE", "size of 2"},
         P::kPolyline},
        {"RecordRunsPastTheEnd",
         [](P& p) { setRecordSize(p.records[P::kStretchDib], 0x10000); },
         keep,
         P::kStretchDib,
         {"STRETCHDIB", "past the end"},
         P::kStretchDib},
        {"NoEndRecord", [](P& p) { p.endRecord = false; }, keep, {}, {"end record"}, all},
        {"PolylineCountTooLarge",
         [](P& p) { setWord(p.records[P::kPolyline], 0, 500); },
         keep,
         P::kPolyline,
         {"POLYLINE", "500 points"},
         P::kPolyline},
        {"PolyPolygonCountsTooLarge",
         [](P& p) { setWord(p.records[P::kPolyPolygon], 2, 40); },
         keep,
         P::kPolyPolygon,
         {"POLYPOLYGON", "43 points"},
         P::kPolyPolygon},
        {"ExtTextOutStringTooLong",
         [](P& p) { setWord(p.records[P::kExtText], 2, 200); },
         keep,
         P::kExtText,
         {"EXTTEXTOUT", "200 characters"},
         P::kExtText},
        {"BitmapLargerThanRecord",
         [](P& p) { p.records[P::kStretchDib] = TestPicture::stretchDib(200, 200, 24, 16); },
         keep,
         P::kStretchDib,
         {"STRETCHDIB", "bitmap"},
         P::kStretchDib},
        {"BitmapOf0Bits",
         [](P& p) { p.records[P::kStretchDib] = TestPicture::stretchDib(2, 2, 0, 16); },
         keep,
         P::kStretchDib,
         {"STRETCHDIB", "0 bits per pixel"},
         P::kStretchDib},
        {"BitmapOf33Bits",
         [](P& p) { p.records[P::kStretchDib] = TestPicture::stretchDib(2, 2, 33, 32); },
         keep,
         P::kStretchDib,
         {"STRETCHDIB", "33 bits per pixel"},
         P::kStretchDib},
        {"HugeSizeAndNoEndRecord",
         [](P& p) {
             p.sizeWords = 0x7FFFFFFF;
             p.endRecord = false;
         },
         keep,
         {},
         {"end record"},
         all},
    };
}

void PrintTo(const Damage& d, std::ostream* os) {
    *os << d.name;
}

class DamagedFile : public testing::TestWithParam<Damage> {
  protected:
    void SetUp() override {
        const Damage& d = GetParam();
        picture = TestPicture::sound();
        d.change(picture);
        mf::Bytes bytes = picture.bytes();
        d.cut(bytes);
        path = (dir / (std::string(d.name) + ".wmf")).string();
        writeFile(path, bytes);
    }

    // The message must name the file and, for a damaged record, say which.
    void expectMessage(const std::string& err, bool withFault) const {
        const Damage& d = GetParam();
        EXPECT_NE(err.find(path), std::string::npos) << "the file is not named:\n" << err;
        if (d.record) {
            std::string where = "record " + std::to_string(*d.record) + " at offset " +
                                shortHex(picture.recordOffset(*d.record));
            EXPECT_NE(err.find(where), std::string::npos) << "no '" << where << "' in:\n" << err;
        }
        if (!withFault) return;
        for (const auto& s : d.says)
            EXPECT_NE(err.find(s), std::string::npos) << "no '" << s << "' in:\n" << err;
        EXPECT_EQ(err.find("memory"), std::string::npos) << err;
    }

    TempDir dir;
    TestPicture picture;
    std::string path;
};

TEST_P(DamagedFile, InfoRefusesItWithAMessage) {
    ProgramResult r = runQuorvex({"info", path}, {kMemoryLimit, {}});
    ASSERT_TRUE(r.exited) << r.describe();
    EXPECT_EQ(r.exitCode, 1) << r.describe();
    EXPECT_EQ(r.out, "") << "nothing is printed for a file that failed";
    expectMessage(r.err, true);
}

TEST_P(DamagedFile, RecordsListsUpToTheDamageAndFails) {
    const Damage& d = GetParam();
    ProgramResult r = runQuorvex({"records", path}, {kMemoryLimit, {}});
    ASSERT_TRUE(r.exited) << r.describe();
    EXPECT_EQ(r.exitCode, 1) << r.describe();
    // Header faults differ in wording between a placeable and a plain reading;
    // record faults and a missing end record are told in the same words.
    bool recordFault = d.record || d.listed == TestPicture::kRecordCount;
    expectMessage(r.err, recordFault);

    std::vector<std::string> listed;
    for (const auto& line : splitLines(r.out))
        if (line.rfind("0x", 0) == 0) listed.push_back(line);
    ASSERT_EQ(listed.size(), d.listed) << r.out;
    for (size_t i = 0; i < listed.size(); ++i)
        EXPECT_EQ(listed[i].substr(0, 10), offsetText(picture.recordOffset(i))) << listed[i];
}

TEST_P(DamagedFile, NormalizeFailsAndWritesNothing) {
    std::string out = (dir / "out.wmf").string();
    ProgramResult r = runQuorvex({"normalize", path, "-o", out}, {kMemoryLimit, {}});
    ASSERT_TRUE(r.exited) << r.describe();
    EXPECT_EQ(r.exitCode, 1) << r.describe();
    EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(folderListing(dir.path()),
              std::vector<std::string>{std::string(GetParam().name) + ".wmf"});
}

INSTANTIATE_TEST_SUITE_P(Table, DamagedFile, testing::ValuesIn(damages()),
                         [](const testing::TestParamInfo<Damage>& info) {
                             return std::string(info.param.name);
                         });

// The sound picture itself passes, so that every failure above comes from its
// one damage.
TEST(DamagedFileBase, TheSoundPictureLoads) {
    TempDir dir;
    std::string path = (dir / "sound.wmf").string();
    writeFile(path, TestPicture::sound().bytes());
    ProgramResult info = runQuorvex({"info", path}, {kMemoryLimit, {}});
    EXPECT_TRUE(info.exited && info.exitCode == 0) << info.describe();
    EXPECT_EQ(infoRecordCount(info.out), long(TestPicture::kRecordCount + 1)) << info.out;
    ProgramResult records = runQuorvex({"records", path});
    EXPECT_TRUE(records.exited && records.exitCode == 0) << records.describe();
}

// Some writers count more words in the header than they write: the picture is
// read as far as it goes, without reserving what the size field promises.
TEST(DamagedFileBase, AHugeSizeFieldIsNotAllocated) {
    TempDir dir;
    TestPicture p = TestPicture::sound();
    p.sizeWords = 0x7FFFFFFF;
    std::string path = (dir / "huge.wmf").string();
    writeFile(path, p.bytes());

    ProgramResult info = runQuorvex({"info", path}, {kMemoryLimit, {}});
    ASSERT_TRUE(info.exited) << info.describe();
    EXPECT_EQ(info.exitCode, 0) << info.describe();
    EXPECT_EQ(infoRecordCount(info.out), long(TestPicture::kRecordCount + 1)) << info.out;

    std::string out = (dir / "out.wmf").string();
    ProgramResult norm = runQuorvex({"normalize", path, "-o", out}, {kMemoryLimit, {}});
    ASSERT_TRUE(norm.exited) << norm.describe();
    EXPECT_EQ(norm.exitCode, 0) << norm.describe();
    ASSERT_TRUE(std::filesystem::exists(out));
    mf::Bytes written = readFile(out);
    EXPECT_EQ(size_t(mf::getU32(written, 22 + 6)) * 2, written.size() - 22)
        << "the size field is made exact";
}

// A plain WMF without the placeable header is not a file the loader takes,
// but the record listing reads it all the same.
TEST(DamagedFileBase, APlainMetafileIsListedButNotLoaded) {
    TempDir dir;
    mf::Bytes bytes = TestPicture::sound().bytes();
    bytes.erase(bytes.begin(), bytes.begin() + 22);
    std::string path = (dir / "plain.wmf").string();
    writeFile(path, bytes);

    ProgramResult info = runQuorvex({"info", path});
    ASSERT_TRUE(info.exited) << info.describe();
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_EQ(info.out, "");
    EXPECT_NE(info.err.find(path), std::string::npos) << info.err;
    EXPECT_NE(info.err.find("placeable"), std::string::npos) << info.err;

    ProgramResult records = runQuorvex({"records", path});
    ASSERT_TRUE(records.exited) << records.describe();
    EXPECT_EQ(records.exitCode, 0) << records.describe();
    std::vector<std::string> lines = splitLines(records.out);
    size_t first = 0;
    while (first < lines.size() && lines[first].rfind("0x", 0) != 0) ++first;
    ASSERT_LT(first, lines.size()) << records.out;
    EXPECT_EQ(lines[first].substr(0, 10), offsetText(18)) << "records follow the 18-byte header";
    EXPECT_EQ(lines.size() - first, TestPicture::kRecordCount + 1) << records.out;
}

}  // namespace
}  // namespace qv::test
