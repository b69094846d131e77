// Replaying a picture unchanged through our recording DC must give what a real
// recording DC wrote for it (tests/data/oracle/NAME.wine-replay.wmf), byte for
// byte, except where that implementation is known to be wrong:
//  - it adds a zero word to every POLYPOLYGON record;
//  - it rewrites DIBSTRETCHBLT as STRETCHDIB and loses the pixels of bitmaps
//    whose header leaves the image size 0.
// There our output keeps the input's record unchanged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/metafile/dump.h"
#include "engine/metafile/metafile.h"
#include "engine/normalize.h"
#include "support/test_support.h"

namespace qv::mf {
namespace {

struct RecordBytes {
    uint16_t function;
    ByteSpan bytes;
};

std::vector<RecordBytes> recordsOf(const Bytes& bits) {
    std::vector<RecordBytes> out;
    size_t off = MetaHeader::kBytes;
    while (off + 6 <= bits.size()) {
        size_t bytes = size_t(rdU32(&bits[off])) * 2;
        uint16_t function = rdU16(&bits[off + 4]);
        if (function == 0 || bytes < 6 || off + bytes > bits.size()) break;
        out.push_back({function, ByteSpan(&bits[off], bytes)});
        off += bytes;
    }
    return out;
}

// The oracle's own output is read without our checks: it holds bitmaps that
// lost their pixels.
Bytes oracleBits(const std::string& relative) {
    Bytes file = test::readFile(test::sourcePath(relative));
    EXPECT_GT(file.size(), 22u + MetaHeader::kBytes);
    return Bytes(file.begin() + 22, file.end());
}

MetafileHandle loadPicture(const std::string& relative) {
    Bytes file = test::readFile(test::sourcePath(relative));
    size_t skip = (file.size() >= 4 && rdU32(file.data()) == 0x9AC6CDD7) ? 22 : 0;
    std::string error;
    auto mf = parseMetafile(ByteSpan(file).subspan(skip), &error);
    EXPECT_TRUE(mf) << relative << ": " << error;
    return mf;
}

bool isBitmapRecord(uint16_t f) {
    return f == uint16_t(Fn::DibStretchBlt) || f == uint16_t(Fn::StretchDib);
}

std::string show(const RecordBytes& r) {
    return dumpLine(Record(const_cast<uint8_t*>(r.bytes.data()), r.bytes.size()), 0);
}

struct OracleCase {
    const char* input;
    const char* oracle;
    bool identical;  // no record of the kinds the oracle gets wrong
};

class OracleReplay : public testing::TestWithParam<OracleCase> {};

TEST_P(OracleReplay, MatchesTheRealRecordingDc) {
    const OracleCase& c = GetParam();
    MetafileHandle input = loadPicture(c.input);
    ASSERT_TRUE(input);
    Bytes oracle = oracleBits(c.oracle);
    MetafileHandle ours = normalizeMetafile(*input);

    if (c.identical) {
        EXPECT_EQ(ours->bits(), oracle) << "output differs from " << c.oracle;
    }

    auto mine = recordsOf(ours->bits());
    auto theirs = recordsOf(oracle);
    auto inputs = recordsOf(input->bits());
    std::vector<RecordBytes> inputBitmaps;
    for (auto& r : inputs)
        if (isBitmapRecord(r.function)) inputBitmaps.push_back(r);

    ASSERT_EQ(mine.size(), theirs.size());
    size_t bitmap = 0, knownDifferences = 0;
    uint32_t maxRecord = 3;
    for (size_t i = 0; i < mine.size(); ++i) {
        const RecordBytes& a = mine[i];
        const RecordBytes& b = theirs[i];
        maxRecord = std::max<uint32_t>(maxRecord, uint32_t(a.bytes.size() / 2));
        if (isBitmapRecord(a.function)) {
            // Bitmaps come through exactly as the input has them.
            ASSERT_LT(bitmap, inputBitmaps.size());
            EXPECT_TRUE(std::equal(a.bytes.begin(), a.bytes.end(), inputBitmaps[bitmap].bytes.begin(),
                                   inputBitmaps[bitmap].bytes.end()))
                << "record " << i << ": " << show(a);
            ++bitmap;
            if (!std::equal(a.bytes.begin(), a.bytes.end(), b.bytes.begin(), b.bytes.end())) ++knownDifferences;
            continue;
        }
        if (std::equal(a.bytes.begin(), a.bytes.end(), b.bytes.begin(), b.bytes.end())) continue;
        if (a.function == uint16_t(Fn::PolyPolygon) && b.function == a.function &&
            b.bytes.size() == a.bytes.size() + 2 && std::equal(a.bytes.begin() + 4, a.bytes.end(), b.bytes.begin() + 4) &&
            b.bytes[b.bytes.size() - 2] == 0 && b.bytes[b.bytes.size() - 1] == 0) {
            ++knownDifferences;
            continue;
        }
        ADD_FAILURE() << c.input << " record " << i << "\n ours:   " << show(a) << "\n theirs: " << show(b);
    }
    EXPECT_EQ(c.identical, knownDifferences == 0);

    MetaHeader h = ours->header();
    MetaHeader o = MetaHeader::read(oracle);
    EXPECT_EQ(h.type, 1);
    EXPECT_EQ(h.headerSize, 9);
    EXPECT_EQ(h.version, 0x0300);
    EXPECT_EQ(h.sizeWords * 2, ours->bits().size());
    EXPECT_EQ(h.numObjects, o.numObjects);
    EXPECT_EQ(h.maxRecord, maxRecord);
    EXPECT_EQ(h.numParams, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, OracleReplay,
    testing::Values(
        OracleCase{"tests/data/real/lo-lines.wmf", "tests/data/oracle/lo-lines.wine-replay.wmf", true},
        OracleCase{"tests/data/real/lo-text.wmf", "tests/data/oracle/lo-text.wine-replay.wmf", true},
        OracleCase{"tests/data/real/lo-raster.wmf", "tests/data/oracle/lo-raster.wine-replay.wmf", true},
        OracleCase{"tests/data/real/lo-polygons.wmf", "tests/data/oracle/lo-polygons.wine-replay.wmf", false},
        OracleCase{"tests/data/real/lo-background.wmf", "tests/data/oracle/lo-background.wine-replay.wmf", false},
        OracleCase{"tests/data/real/ink-lines.wmf", "tests/data/oracle/ink-lines.wine-replay.wmf", true},
        OracleCase{"tests/data/real/ink-polygons.wmf", "tests/data/oracle/ink-polygons.wine-replay.wmf", false},
        OracleCase{"tests/data/real/ink-text.wmf", "tests/data/oracle/ink-text.wine-replay.wmf", false},
        OracleCase{"tests/data/real/ink-raster.wmf", "tests/data/oracle/ink-raster.wine-replay.wmf", false},
        OracleCase{"tests/data/oracle/probe-objects.wmf", "tests/data/oracle/probe-objects.wine-replay.wmf", true},
        OracleCase{"tests/data/oracle/probe-text.wmf", "tests/data/oracle/probe-text.wine-replay.wmf", true},
        OracleCase{"tests/data/oracle/probe-misc.wmf", "tests/data/oracle/probe-misc.wine-replay.wmf", false},
        OracleCase{"tests/data/oracle/synth-1M.wmf", "tests/data/oracle/synth-1M.wine-replay.wmf", true}),
    [](const testing::TestParamInfo<OracleCase>& info) {
        std::string name = info.param.input;
        name = name.substr(name.rfind('/') + 1);
        name = name.substr(0, name.size() - 4);
        for (char& ch : name)
            if (ch == '-') ch = '_';
        return name;
    });

}  // namespace
}  // namespace qv::mf
