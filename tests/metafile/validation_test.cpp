// Pictures whose records do not fit their data are refused with a message
// that says where and what; nothing outside the buffer is ever read.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/metafile/dib.h"
#include "engine/metafile/metafile.h"
#include "engine/metafile/muldiv.h"
#include "engine/metafile/records.h"

namespace qv::mf {
namespace {

using RB = RecordBuilder;

Bytes header(uint32_t sizeWords, uint16_t type = 1, uint16_t headerSize = 9) {
    Bytes h(MetaHeader::kBytes);
    MetaHeader m;
    m.type = type;
    m.headerSize = headerSize;
    m.sizeWords = sizeWords;
    m.maxRecord = 3;
    m.write(h.data());
    return h;
}

Bytes withRecords(std::initializer_list<Bytes> records, bool eof = true) {
    Bytes out = header(0);
    for (const Bytes& r : records) out.insert(out.end(), r.begin(), r.end());
    if (eof) {
        Bytes e = RB(0).finish();
        out.insert(out.end(), e.begin(), e.end());
    }
    wrU32(&out[6], uint32_t(out.size() / 2));
    return out;
}

Bytes rawRecord(uint32_t words, uint16_t function, size_t actualParamBytes) {
    Bytes r;
    putU32(r, words);
    putU16(r, function);
    r.resize(6 + actualParamBytes, 0);
    return r;
}

Bytes dibRecord(int32_t width, int32_t height, uint16_t bits, size_t pixelBytes) {
    RB b(uint16_t(Fn::StretchDib));
    b.u32(0x00CC0020).u16(0);
    for (int i = 0; i < 8; ++i) b.i16(10);
    Bytes dib;
    putU32(dib, 40);
    putU32(dib, uint32_t(width));
    putU32(dib, uint32_t(height));
    putU16(dib, 1);
    putU16(dib, bits);
    dib.resize(40 + pixelBytes, 0);
    b.bytes(dib);
    return b.finish();
}

struct Fault {
    const char* name;
    std::function<Bytes()> make;
    const char* message;  // a part of the expected message
};

class BadPicture : public testing::TestWithParam<Fault> {};

TEST_P(BadPicture, IsRefusedWithAClearMessage) {
    Bytes bits = GetParam().make();
    std::string error;
    EXPECT_EQ(parseMetafile(bits, &error), nullptr);
    EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
}

const Fault kFaults[] = {
    {"Empty", [] { return Bytes(); }, "header is cut off"},
    {"ShortHeader", [] { return Bytes(10, 0); }, "header is cut off"},
    {"TypeZero", [] { return header(9, 0); }, "type 0"},
    {"TypeThree", [] { return header(9, 3); }, "type 3"},
    {"HeaderSize", [] { return header(9, 1, 10); }, "header size is 10"},
    {"NoEndRecord", [] { return withRecords({RB(uint16_t(Fn::SaveDc)).finish()}, false); }, "without an end record"},
    {"ZeroSizeRecord", [] { return withRecords({rawRecord(0, 0x001E, 0)}); }, "size of 0 words"},
    {"TwoWordRecord", [] { return withRecords({rawRecord(2, 0x001E, 0)}); }, "record 0 at offset 0x12"},
    {"PastTheEnd", [] { return withRecords({rawRecord(500, 0x0325, 4)}, false); }, "runs past the end"},
    {"PolylineCount",
     [] { return withRecords({RB(uint16_t(Fn::Polyline)).u16(500).i16(1).i16(2).finish()}); },
     "says 500 points but holds 1"},
    {"PolyPolygonSum",
     [] {
         return withRecords({RB(uint16_t(Fn::PolyPolygon)).u16(2).u16(0xFFFF).u16(0xFFFF).i16(1).i16(2).finish()});
     },
     "in 2 polygons"},
    {"PolyPolygonCounts", [] { return withRecords({RB(uint16_t(Fn::PolyPolygon)).u16(60000).finish()}); },
     "says 60000 polygons"},
    {"ExtTextOutLength",
     [] { return withRecords({RB(uint16_t(Fn::ExtTextOut)).i16(0).i16(0).u16(900).u16(0).text("ab").finish()}); },
     "says 900 characters"},
    {"ExtTextOutRect",
     [] { return withRecords({RB(uint16_t(Fn::ExtTextOut)).i16(0).i16(0).u16(0).u16(2).i16(1).finish()}); },
     "rectangle is missing"},
    {"TextOutLength", [] { return withRecords({RB(uint16_t(Fn::TextOut)).u16(400).text("ab").finish()}); },
     "string and position"},
    {"ShortFixedFields", [] { return withRecords({RB(uint16_t(Fn::Rectangle)).i16(1).i16(2).finish()}); },
     "fixed fields needs 8 bytes"},
    {"DibPixels", [] { return withRecords({dibRecord(1000, 1000, 24, 16)}); }, "pixels need"},
    {"DibOverflow", [] { return withRecords({dibRecord(0x7FFFFFFF, 0x7FFFFFFF, 32, 16)}); }, "too wide"},
    {"DibBitCountZero", [] { return withRecords({dibRecord(2, 2, 0, 16)}); }, "0 bits per pixel"},
    {"DibBitCount33", [] { return withRecords({dibRecord(2, 2, 33, 16)}); }, "33 bits per pixel"},
    {"EscapeLength",
     [] { return withRecords({RB(uint16_t(Fn::Escape)).u16(15).u16(5000).u32(0).finish()}); },
     "escape data"},
};

INSTANTIATE_TEST_SUITE_P(Table, BadPicture, testing::ValuesIn(kFaults),
                         [](const testing::TestParamInfo<Fault>& i) { return std::string(i.param.name); });

TEST(GoodPicture, SizeFieldLargerThanTheDataAndBytesAfterTheEndAreAccepted) {
    Bytes bits = withRecords({RB(uint16_t(Fn::SaveDc)).finish()});
    wrU32(&bits[6], 0x7FFFFFFF);
    bits.insert(bits.end(), {1, 2, 3, 4, 5, 6});
    std::string error;
    MetafileHandle mf = parseMetafile(bits, &error);
    ASSERT_TRUE(mf) << error;
    EXPECT_EQ(mf->recordCount(), 1u);
    EXPECT_EQ(mf->bits().size(), bits.size() - 6);  // what follows the end record is dropped
}

TEST(GoodPicture, UnknownRecordsAndShortBitmapFormsAreAccepted) {
    Bytes noBitmap = RB(uint16_t(Fn::DibBitBlt)).u32(0x00F00021).u16(0).i16(0).i16(0).i16(5).i16(5).i16(1).i16(1).finish();
    ASSERT_EQ(noBitmap.size() / 2, size_t(0x0940 >> 8) + 3);
    Bytes bits = withRecords({RB(0x0999).u16(7).finish(), noBitmap, dibRecord(3, -2, 24, 24)});
    std::string error;
    EXPECT_TRUE(parseMetafile(bits, &error)) << error;
}

TEST(Dib, StrideAndSizesFollowTheBitCount) {
    struct Case {
        int32_t width, height;
        uint16_t bits;
        uint32_t stride;
    } cases[] = {{1, 1, 1, 4}, {33, 2, 1, 8}, {3, 1, 4, 4}, {9, 1, 4, 8}, {5, 3, 8, 8},
                 {3, 1, 16, 8}, {3, 2, 24, 12}, {2, -2, 32, 8}};
    for (const Case& c : cases) {
        Bytes dib;
        putU32(dib, 40);
        putU32(dib, uint32_t(c.width));
        putU32(dib, uint32_t(c.height));
        putU16(dib, 1);
        putU16(dib, c.bits);
        dib.resize(40 + 4096, 0);
        auto d = parseDib(dib);
        ASSERT_TRUE(d) << c.width << "x" << c.bits;
        EXPECT_EQ(d->stride, c.stride) << c.width << "x" << c.bits;
        uint64_t table = c.bits <= 8 ? (uint64_t(1) << c.bits) * 4 : 0;
        EXPECT_EQ(d->totalBytes, 40 + table + uint64_t(c.stride) * uint64_t(std::abs(c.height)));
        EXPECT_EQ(d->topDown(), c.height < 0);
    }
}

TEST(MulDiv, RoundsHalvesAwayFromZeroAndFailsWithMinusOne) {
    struct Case {
        int32_t a, b, c, want;
    } cases[] = {
        {10, 3, 4, 8},    {-10, 3, 4, -8},   {10, -3, 4, -8},  {10, 3, -4, -8},     {5, 1, 2, 3},
        {-5, 1, 2, -3},   {7, 1, 3, 2},      {8, 1, 3, 3},     {1, 1, 0, -1},       {2147483647, 2, 1, -1},
        {-2147483647, 2, 1, -1}, {2147483647, 2, 2, 2147483647}, {65535, 65535, 65535, 65535}, {0, 5, 7, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
}

}  // namespace
}  // namespace qv::mf
