// quorvex records: one line per record, at the offsets the test finds itself.
#include <gtest/gtest.h>

#include <cstdio>
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

// Text as the listing quotes it: printable ASCII as it is, the rest (and the
// quote and backslash) as \xHH.
std::string quotedText(mf::ByteSpan text) {
    std::string s = "'";
    for (uint8_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != '\'' && c != '\\') {
            s.push_back(char(c));
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            s += buf;
        }
    }
    return s + "'";
}

struct Listing {
    std::vector<std::string> head;     // lines before the first record
    std::vector<std::string> records;  // "0x..." lines
    std::vector<std::string> tail;     // lines after the last record
};

Listing listingOf(const std::string& out) {
    Listing l;
    for (const auto& line : splitLines(out)) {
        if (line.rfind("0x", 0) == 0 && l.tail.empty())
            l.records.push_back(line);
        else
            (l.records.empty() ? l.head : l.tail).push_back(line);
    }
    return l;
}

std::vector<std::filesystem::path> pictures() {
    std::vector<std::filesystem::path> all = wmfFilesIn("samples");
    for (auto& p : wmfFilesIn("tests/data/real")) all.push_back(p);
    return all;
}

class RecordsOnPicture : public testing::TestWithParam<std::filesystem::path> {};

TEST_P(RecordsOnPicture, ListsEveryRecordAtItsOffset) {
    const WmfFile f = readWmfFile(GetParam());
    ASSERT_TRUE(f.placeable && f.eof);
    ProgramResult r = runQuorvex({"records", GetParam().string()});
    ASSERT_TRUE(r.exited) << r.describe();
    ASSERT_EQ(r.exitCode, 0) << r.describe();
    Listing l = listingOf(r.out);

    ASSERT_EQ(l.head.size(), 2u) << r.out;
    EXPECT_EQ(l.head[0].rfind("placeable: ", 0), 0u) << l.head[0];
    EXPECT_EQ(l.head[1].rfind("metaheader: ", 0), 0u) << l.head[1];

    // One line per record and one for the end record; the first right after
    // the placeable header (22 bytes) and the METAHEADER (18 bytes).
    ASSERT_EQ(l.records.size(), f.records.size() + 1) << r.out;
    EXPECT_EQ(l.records.front().substr(0, 10), "0x00000028");
    const std::regex line(R"((0x[0-9A-F]{8}) +(\d+)w 0x([0-9A-F]{4}) ([A-Z0-9_]+)( .*)?)");
    for (size_t i = 0; i <= f.records.size(); ++i) {
        const FileRecord& rec = i < f.records.size() ? f.records[i] : *f.eof;
        std::smatch m;
        ASSERT_TRUE(std::regex_match(l.records[i], m, line)) << l.records[i];
        EXPECT_EQ(m[1].str(), offsetText(rec.offset)) << l.records[i];
        EXPECT_EQ(std::stoul(m[2].str()), rec.sizeWords) << l.records[i];
        EXPECT_EQ(std::stoul(m[3].str(), nullptr, 16), rec.function) << l.records[i];
    }
    EXPECT_NE(l.records.back().find(" EOF"), std::string::npos) << l.records.back();

    // Bytes after the end record are noted, and nothing else follows.
    size_t end = f.eof->offset + f.eof->bytes.size();
    if (end == f.bytes.size()) {
        EXPECT_TRUE(l.tail.empty()) << r.out;
    } else {
        ASSERT_EQ(l.tail.size(), 1u) << r.out;
        EXPECT_EQ(l.tail[0].rfind("(" + std::to_string(f.bytes.size() - end) + " bytes after", 0),
                  0u)
            << l.tail[0];
    }

    // Text and point counts as they stand in the records.
    for (size_t i = 0; i < f.records.size(); ++i) {
        const FileRecord& rec = f.records[i];
        const std::string& text = l.records[i];
        if (rec.function == uint16_t(Fn::Polyline)) {
            EXPECT_NE(text.find(" POLYLINE "), std::string::npos) << text;
            EXPECT_NE(text.find(" n=" + std::to_string(rec.word(0)) + " "), std::string::npos)
                << text;
        }
        if (rec.function == uint16_t(Fn::ExtTextOut)) {
            size_t n = rec.word(2);
            uint16_t options = rec.word(3);
            size_t start = 6 + 8 + ((options & 0x0006) ? 8 : 0);
            ASSERT_LE(start + n, rec.bytes.size()) << text;
            char opt[24];
            std::snprintf(opt, sizeof opt, " options=0x%04X", options);
            EXPECT_NE(text.find(opt), std::string::npos) << text;
            EXPECT_NE(text.find(" text=" + quotedText(rec.bytes.subspan(start, n))),
                      std::string::npos)
                << text;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, RecordsOnPicture, testing::ValuesIn(pictures()),
                         [](const testing::TestParamInfo<std::filesystem::path>& info) {
                             return testNameOf(info.param);
                         });

TEST(RecordsCorpus, HasTextAndPolylines) {
    // The checks of text and point counts above must have records to look at.
    size_t texts = 0, polylines = 0;
    for (const auto& p : pictures()) {
        const WmfFile f = readWmfFile(p);
        texts += f.recordsOf(uint16_t(Fn::ExtTextOut)).size();
        polylines += f.recordsOf(uint16_t(Fn::Polyline)).size();
    }
    EXPECT_GT(texts, 0u);
    EXPECT_GT(polylines, 0u);
}

TEST(RecordsCommand, ShowsTheFieldsOfTextPointsAndBitmaps) {
    TestPicture p = TestPicture::sound();
    // Opaque and clipped, with its rectangle, a quote in the text and advances.
    p.records[TestPicture::kExtText] = mf::RecordBuilder(uint16_t(Fn::ExtTextOut))
                                           .i16(950)
                                           .i16(200)
                                           .u16(4)
                                           .u16(0x0006)
                                           .i16(10)
                                           .i16(20)
                                           .i16(300)
                                           .i16(400)
                                           .text("It's")
                                           .i16(50)
                                           .i16(20)
                                           .i16(60)
                                           .i16(55)
                                           .finish();
    mf::Bytes bytes = p.bytes();
    for (uint8_t junk : {1, 2, 3, 4}) bytes.push_back(junk);
    TempDir dir;
    std::string path = (dir / "fields.wmf").string();
    writeFile(path, bytes);

    ProgramResult r = runQuorvex({"records", path});
    ASSERT_TRUE(r.exited) << r.describe();
    ASSERT_EQ(r.exitCode, 0) << r.describe();
    Listing l = listingOf(r.out);
    ASSERT_EQ(l.records.size(), TestPicture::kRecordCount + 1) << r.out;
    for (size_t i = 0; i < TestPicture::kRecordCount; ++i)
        EXPECT_EQ(l.records[i].substr(0, 10), offsetText(p.recordOffset(i)));

    const std::string& text = l.records[TestPicture::kExtText];
    EXPECT_NE(text.find(" EXTTEXTOUT "), std::string::npos) << text;
    EXPECT_NE(text.find("x=200 y=950"), std::string::npos) << text;
    EXPECT_NE(text.find("len=4"), std::string::npos) << text;
    EXPECT_NE(text.find("options=0x0006(OPAQUE|CLIPPED)"), std::string::npos) << text;
    EXPECT_NE(text.find("rect=(10,20)-(300,400)"), std::string::npos) << text;
    EXPECT_NE(text.find("text='It\\x27s'"), std::string::npos) << text;
    EXPECT_NE(text.find("dx=[50,20,60,55]"), std::string::npos) << text;

    const std::string& poly = l.records[TestPicture::kPolyline];
    EXPECT_NE(poly.find("n=3 (100,100) (900,150) (500,800)"), std::string::npos) << poly;

    const std::string& polys = l.records[TestPicture::kPolyPolygon];
    EXPECT_NE(polys.find("polygons=2 points=3+4"), std::string::npos) << polys;

    const std::string& dib = l.records[TestPicture::kStretchDib];
    EXPECT_NE(dib.find("dib=2x2x24bpp"), std::string::npos) << dib;

    EXPECT_EQ(l.records.back().substr(0, 10),
              offsetText(p.recordOffset(TestPicture::kRecordCount)));
    ASSERT_EQ(l.tail.size(), 1u) << r.out;
    EXPECT_EQ(l.tail[0].rfind("(4 bytes after the end record", 0), 0u) << l.tail[0];
}

}  // namespace
}  // namespace qv::test
