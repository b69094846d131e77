// Turning bitmaps carried in records: the size of the header and colour table, where every
// pixel goes for each depth and row order, header and colour table bytes that must survive,
// and the bitmaps that are left alone.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/dib_rotate.h"

namespace qv {
namespace {

enum class Hdr { Core, Info, V4, V5 };

uint32_t headerSizeOf(Hdr h) {
    switch (h) {
        case Hdr::Core:
            return 12;
        case Hdr::Info:
            return 40;
        case Hdr::V4:
            return 108;
        case Hdr::V5:
            return 124;
    }
    return 0;
}

uint64_t strideOf(int64_t width, uint32_t bpp) {
    return (uint64_t(width) * bpp + 31) / 32 * 4;
}
int64_t rowsOf(int64_t height) {
    return height < 0 ? -height : height;
}

// A bitmap to build. Negative height: rows stored top-down.
struct Shape {
    Hdr hdr = Hdr::Info;
    uint16_t bpp = 8;
    int32_t width = 5;
    int32_t height = 3;
    uint32_t compression = 0;
    bool imageSize = false;  // fill in the image size field
    uint32_t colorsUsed = 0;
    uint16_t usage = 0;  // 1: colour table of 2-byte palette indices
    size_t spare = 0;    // bytes after the pixel array
};

mf::Bytes headerBytes(const Shape& s) {
    mf::Bytes b;
    if (s.hdr == Hdr::Core) {
        mf::putU32(b, 12);
        mf::putU16(b, uint16_t(s.width));
        mf::putI16(b, int16_t(s.height));
        mf::putU16(b, 1);
        mf::putU16(b, s.bpp);
        return b;
    }
    const uint32_t size = headerSizeOf(s.hdr);
    mf::putU32(b, size);
    mf::putU32(b, uint32_t(s.width));
    mf::putU32(b, uint32_t(s.height));
    mf::putU16(b, 1);
    mf::putU16(b, s.bpp);
    mf::putU32(b, s.compression);
    mf::putU32(b, s.imageSize ? uint32_t(strideOf(s.width, s.bpp) * rowsOf(s.height)) : 0);
    mf::putU32(b, 2835);
    mf::putU32(b, 2835);
    mf::putU32(b, s.colorsUsed);
    mf::putU32(b, 0);
    if (size > 40) {
        const bool wide = s.bpp == 32;
        mf::putU32(b, wide ? 0x00FF0000 : 0xF800);
        mf::putU32(b, wide ? 0x0000FF00 : 0x07E0);
        mf::putU32(b, wide ? 0x000000FF : 0x001F);
        mf::putU32(b, wide ? 0xFF000000 : 0);
    }
    // Colour space, end points, gammas, intent and profile fields: a pattern that must survive.
    for (uint32_t i = uint32_t(b.size()); i < size; ++i) b.push_back(uint8_t(0x40 + i));
    return b;
}

size_t colourEntries(const Shape& s) {
    if (s.hdr != Hdr::Core && s.colorsUsed) return s.colorsUsed;
    return s.bpp <= 8 ? size_t(1) << s.bpp : 0;
}

using PixelFn = std::function<uint32_t(int64_t x, int64_t y)>;

uint32_t patternPixel(int64_t x, int64_t y) {
    uint32_t h = uint32_t(x + 1) * 0x9E3779B1u ^ uint32_t(y + 1) * 0x85EBCA77u;
    return h ^ (h >> 15);
}

// Reading and writing pixels by their visual place: y grows downward.
struct Dims {
    int64_t width = 0;
    int64_t height = 0;
    uint32_t bpp = 0;
};

Dims dimsOf(const mf::Bytes& b) {
    if (mf::getU32(b, 0) == 12) return {mf::getU16(b, 4), mf::getI16(b, 6), mf::getU16(b, 10)};
    return {int32_t(mf::getU32(b, 4)), int32_t(mf::getU32(b, 8)), mf::getU16(b, 14)};
}

uint64_t bitOf(const Dims& d, int64_t x, int64_t y) {
    const int64_t row = d.height < 0 ? y : d.height - 1 - y;
    return uint64_t(row) * strideOf(d.width, d.bpp) * 8 + uint64_t(x) * d.bpp;
}

uint32_t readPixel(const mf::Bytes& b, size_t pixelOffset, int64_t x, int64_t y) {
    const Dims d = dimsOf(b);
    const uint64_t bit = pixelOffset * 8 + bitOf(d, x, y);
    if (d.bpp < 8) {
        const unsigned shift = 8 - d.bpp - unsigned(bit % 8);
        return (b.at(bit / 8) >> shift) & ((1u << d.bpp) - 1);
    }
    uint32_t v = 0;
    for (uint32_t k = 0; k < d.bpp / 8; ++k) v |= uint32_t(b.at(bit / 8 + k)) << (8 * k);
    return v;
}

void writePixel(mf::Bytes& b, size_t pixelOffset, int64_t x, int64_t y, uint32_t v) {
    const Dims d = dimsOf(b);
    const uint64_t bit = pixelOffset * 8 + bitOf(d, x, y);
    if (d.bpp < 8) {
        const unsigned mask = (1u << d.bpp) - 1;
        const unsigned shift = 8 - d.bpp - unsigned(bit % 8);
        uint8_t& byte = b.at(bit / 8);
        byte = uint8_t((byte & ~(mask << shift)) | ((v & mask) << shift));
        return;
    }
    for (uint32_t k = 0; k < d.bpp / 8; ++k) b.at(bit / 8 + k) = uint8_t(v >> (8 * k));
}

struct Dib {
    mf::Bytes bytes;
    size_t pixelOffset = 0;
};

// Header, masks of a 40-byte BI_BITFIELDS header, colour table, pixels (row padding zero),
// then `spare` bytes.
Dib makeDib(const Shape& s, const PixelFn& pixel = patternPixel) {
    Dib d;
    d.bytes = headerBytes(s);
    if (s.hdr == Hdr::Info && s.compression == 3) {
        mf::putU32(d.bytes, 0x7C00);
        mf::putU32(d.bytes, 0x03E0);
        mf::putU32(d.bytes, 0x001F);
    }
    const size_t entrySize = s.usage == 1 ? 2 : (s.hdr == Hdr::Core ? 3 : 4);
    for (size_t i = 0; i < colourEntries(s) * entrySize; ++i)
        d.bytes.push_back(uint8_t(0x80 + i * 3));
    d.pixelOffset = d.bytes.size();
    d.bytes.resize(d.pixelOffset + strideOf(s.width, s.bpp) * rowsOf(s.height));
    if (s.compression == 0 || s.compression == 3) {
        for (int64_t y = 0; y < rowsOf(s.height); ++y)
            for (int64_t x = 0; x < s.width; ++x)
                writePixel(d.bytes, d.pixelOffset, x, y, pixel(x, y));
    }
    d.bytes.insert(d.bytes.end(), s.spare, 0xEE);
    return d;
}

// Where visual pixel (x, y) of a w x h picture lands after a clockwise turn.
std::pair<int64_t, int64_t> turned(int rotation, int64_t w, int64_t h, int64_t x, int64_t y) {
    switch (rotation) {
        case 90:
            return {h - 1 - y, x};
        case 180:
            return {w - 1 - x, h - 1 - y};
        default:
            return {y, w - 1 - x};
    }
}

mf::Bytes turnOrFail(const mf::Bytes& b, uint16_t usage, int rotation) {
    std::optional<mf::Bytes> r = RotateDib(b, usage, rotation);
    if (!r) {
        ADD_FAILURE() << "not turned by " << rotation;
        return {};
    }
    return *r;
}

// Every pixel of `before` sits at its turned place in `after`, which has the turned size,
// the same row order and no bytes beyond its pixel array.
void expectTurned(const Dib& before, const mf::Bytes& after, int rotation) {
    const Dims d = dimsOf(before.bytes);
    const Dims t = dimsOf(after);
    const int64_t w = d.width, h = rowsOf(d.height);
    const bool quarter = rotation != 180;
    ASSERT_EQ(t.width, quarter ? h : w);
    ASSERT_EQ(rowsOf(t.height), quarter ? w : h);
    EXPECT_EQ(t.height < 0, d.height < 0) << "row order changed";
    EXPECT_EQ(t.bpp, d.bpp);
    ASSERT_EQ(after.size(), before.pixelOffset + strideOf(t.width, t.bpp) * rowsOf(t.height));
    for (int64_t y = 0; y < h; ++y) {
        for (int64_t x = 0; x < w; ++x) {
            auto [tx, ty] = turned(rotation, w, h, x, y);
            ASSERT_EQ(readPixel(after, before.pixelOffset, tx, ty),
                      readPixel(before.bytes, before.pixelOffset, x, y))
                << "pixel (" << x << ", " << y << ")";
        }
    }
}

// Every depth, both row orders, sizes that leave partial bytes and row padding.
std::vector<Shape> plainBitmaps() {
    std::vector<Shape> out;
    for (uint16_t bpp : {1, 4, 8, 16, 24, 32})
        for (bool topDown : {false, true})
            for (auto [w, h] :
                 {std::pair{5, 3}, std::pair{13, 7}, std::pair{1, 9}, std::pair{300, 37}}) {
                Shape s;
                s.bpp = bpp;
                s.width = w;
                s.height = topDown ? -h : h;
                s.imageSize = w == 13;
                out.push_back(s);
            }
    return out;
}

std::string describe(const Shape& s) {
    return std::to_string(s.bpp) + " bpp " + std::to_string(s.width) + " x " +
           std::to_string(rowsOf(s.height)) + (s.height < 0 ? " top-down" : " bottom-up");
}

// --- DibInfoSize ---

TEST(DibInfoSizeTest, CountsHeaderColourTableAndMasks) {
    auto shape = [](Hdr hdr, uint16_t bpp, uint32_t colorsUsed, uint32_t compression = 0) {
        Shape s;
        s.hdr = hdr;
        s.bpp = bpp;
        s.colorsUsed = colorsUsed;
        s.compression = compression;
        return s;
    };
    struct Case {
        std::string name;
        Shape shape;
        uint16_t usage;
        uint32_t expected;
    };
    const std::vector<Case> cases = {
        {"core 8 bpp, RGB triples", shape(Hdr::Core, 8, 0), 0, 12 + 256 * 3},
        {"core 8 bpp, palette indices", shape(Hdr::Core, 8, 0), 1, 12 + 256 * 2},
        {"core 1 bpp", shape(Hdr::Core, 1, 0), 0, 12 + 2 * 3},
        {"core 24 bpp has no colours", shape(Hdr::Core, 24, 0), 0, 12},
        {"info 8 bpp, all colours", shape(Hdr::Info, 8, 0), 0, 40 + 256 * 4},
        {"info 8 bpp, 16 colours used", shape(Hdr::Info, 8, 16), 0, 40 + 16 * 4},
        {"info 8 bpp, 16 palette indices", shape(Hdr::Info, 8, 16), 1, 40 + 16 * 2},
        {"info 4 bpp, palette indices", shape(Hdr::Info, 4, 0), 1, 40 + 16 * 2},
        {"info 24 bpp has no colours", shape(Hdr::Info, 24, 0), 0, 40},
        {"info 24 bpp with colours used", shape(Hdr::Info, 24, 3), 0, 40 + 3 * 4},
        {"info 16 bpp bit fields", shape(Hdr::Info, 16, 0, 3), 0, 40 + 12},
        {"bit field masks do not depend on usage", shape(Hdr::Info, 32, 0, 3), 1, 40 + 12},
        {"V4 8 bpp", shape(Hdr::V4, 8, 0), 0, 108 + 256 * 4},
        {"V5 bit fields keep their masks in the header", shape(Hdr::V5, 32, 0, 3), 0, 124},
        {"V5 4 bpp, 5 colours used", shape(Hdr::V5, 4, 5), 0, 124 + 5 * 4},
        {"a huge colour count saturates", shape(Hdr::Info, 8, 0xFFFFFFFF), 0, UINT32_MAX},
    };
    for (const Case& c : cases) {
        const mf::Bytes h = headerBytes(c.shape);
        EXPECT_EQ(DibInfoSize(h, c.usage), c.expected) << c.name;
    }
}

// --- RotateDib: pixels ---

TEST(RotateDibTest, EveryPixelMovesToItsTurnedPlace) {
    for (const Shape& s : plainBitmaps()) {
        const Dib dib = makeDib(s);
        for (int rotation : {90, 180, 270}) {
            SCOPED_TRACE(describe(s) + ", turned " + std::to_string(rotation));
            expectTurned(dib, turnOrFail(dib.bytes, 0, rotation), rotation);
        }
    }
}

TEST(RotateDibTest, TurnsThatAddUpToAFullCircleGiveBackTheBytes) {
    const std::vector<std::vector<int>> sequences = {
        {90, 90, 90, 90}, {270, 270, 270, 270}, {90, 270}, {270, 90}, {180, 180}, {90, 180, 90},
    };
    for (const Shape& s : plainBitmaps()) {
        const Dib dib = makeDib(s);
        for (const std::vector<int>& seq : sequences) {
            std::string name = describe(s) + ", turned";
            mf::Bytes b = dib.bytes;
            for (int rotation : seq) {
                name += " " + std::to_string(rotation);
                b = turnOrFail(b, 0, rotation);
            }
            EXPECT_EQ(b, dib.bytes) << name;
        }
    }
}

TEST(RotateDibTest, QuarterTurnMovesTopLeftToTopRight) {
    for (uint16_t bpp : {1, 4, 8, 16, 24, 32}) {
        for (bool topDown : {false, true}) {
            Shape s;
            s.bpp = bpp;
            s.width = 6;
            s.height = topDown ? -4 : 4;
            SCOPED_TRACE(describe(s));
            const uint32_t mark = bpp == 32 ? 0xFFFFFFFF : (1u << bpp) - 1;
            const Dib dib =
                makeDib(s, [&](int64_t x, int64_t y) { return x == 0 && y == 0 ? mark : 0; });
            const mf::Bytes out = turnOrFail(dib.bytes, 0, 90);
            const Dims d = dimsOf(out);
            ASSERT_EQ(d.width, 4);
            ASSERT_EQ(rowsOf(d.height), 6);
            for (int64_t y = 0; y < 6; ++y)
                for (int64_t x = 0; x < 4; ++x)
                    EXPECT_EQ(readPixel(out, dib.pixelOffset, x, y), x == 3 && y == 0 ? mark : 0)
                        << "pixel (" << x << ", " << y << ")";
        }
    }
}

TEST(RotateDibTest, HalfTurnOf24BitThreeByTwoReversesRowsAndColumns) {
    Shape s;
    s.bpp = 24;
    s.width = 3;
    s.height = 2;
    Dib dib = makeDib(s);
    // Bottom-up: stored row 0 is the bottom row A B C, row 1 the top row D E F; 3 pad bytes.
    const mf::Bytes pixels = {
        0xA1, 0xA2, 0xA3, 0xB1, 0xB2, 0xB3, 0xC1, 0xC2, 0xC3, 0, 0, 0,
        0xD1, 0xD2, 0xD3, 0xE1, 0xE2, 0xE3, 0xF1, 0xF2, 0xF3, 0, 0, 0,
    };
    std::copy(pixels.begin(), pixels.end(), dib.bytes.begin() + long(dib.pixelOffset));
    mf::Bytes expected(dib.bytes.begin(), dib.bytes.begin() + long(dib.pixelOffset));
    const mf::Bytes turnedPixels = {
        0xF1, 0xF2, 0xF3, 0xE1, 0xE2, 0xE3, 0xD1, 0xD2, 0xD3, 0, 0, 0,
        0xC1, 0xC2, 0xC3, 0xB1, 0xB2, 0xB3, 0xA1, 0xA2, 0xA3, 0, 0, 0,
    };
    expected.insert(expected.end(), turnedPixels.begin(), turnedPixels.end());
    EXPECT_EQ(turnOrFail(dib.bytes, 0, 180), expected);
}

// --- RotateDib: headers and sizes ---

TEST(RotateDibTest, ImageSizeFieldFollowsTheNewStride) {
    struct Case {
        uint16_t bpp;
        int32_t width, height;
        bool imageSize;
        int rotation;
        uint32_t expectedField;
        size_t expectedPixelBytes;
    };
    const std::vector<Case> cases = {
        {1, 5, 3, true, 90, 20, 20},     // 3 px wide: 4-byte rows, 5 of them
        {24, 5, 2, true, 90, 40, 40},    // grows: 16 x 2 becomes 8 x 5
        {24, 2, -5, true, 270, 32, 32},  // shrinks: 8 x 5 becomes 16 x 2
        {24, 5, 2, false, 90, 0, 40},    // stays 0
        {4, 9, 2, true, 270, 36, 36},    // 2 px wide at 4 bpp: 4-byte rows, 9 of them
        {8, 5, 3, true, 180, 24, 24},    // unchanged by a half turn
        {8, 0, 3, false, 90, 0, 0},      // no columns: 3 wide, no rows
    };
    for (const Case& c : cases) {
        Shape s;
        s.bpp = c.bpp;
        s.width = c.width;
        s.height = c.height;
        s.imageSize = c.imageSize;
        SCOPED_TRACE(describe(s) + ", turned " + std::to_string(c.rotation));
        const Dib dib = makeDib(s);
        const mf::Bytes out = turnOrFail(dib.bytes, 0, c.rotation);
        EXPECT_EQ(mf::getU32(out, 20), c.expectedField);
        EXPECT_EQ(out.size(), dib.pixelOffset + c.expectedPixelBytes);
        expectTurned(dib, out, c.rotation);
    }
}

// Header and colour table bytes survive a turn, except width, height and image size.
TEST(RotateDibTest, HeadersColoursAndMasksAreKept) {
    auto shape = [](Hdr hdr, uint16_t bpp, int32_t w, int32_t h) {
        Shape s;
        s.hdr = hdr;
        s.bpp = bpp;
        s.width = w;
        s.height = h;
        return s;
    };
    struct Case {
        std::string name;
        Shape shape;
    };
    std::vector<Case> cases = {
        {"V5 32 bpp bit fields, top-down", shape(Hdr::V5, 32, 4, -3)},
        {"V5 8 bpp", shape(Hdr::V5, 8, 7, 2)},
        {"V4 4 bpp", shape(Hdr::V4, 4, 5, 3)},
        {"core 8 bpp", shape(Hdr::Core, 8, 5, 3)},
        {"core 1 bpp, top-down", shape(Hdr::Core, 1, 11, -6)},
        {"core 24 bpp", shape(Hdr::Core, 24, 3, 4)},
        {"info 16 bpp bit fields", shape(Hdr::Info, 16, 5, 3)},
        {"info 32 bpp bit fields, top-down", shape(Hdr::Info, 32, 2, -5)},
        {"info 8 bpp, 5 colours used", shape(Hdr::Info, 8, 6, 3)},
        {"info 24 bpp with a colour table", shape(Hdr::Info, 24, 3, 5)},
        {"info 4 bpp, palette indices", shape(Hdr::Info, 4, 7, 3)},
        {"bytes after the pixels are dropped", shape(Hdr::Info, 8, 3, 3)},
    };
    cases[0].shape.compression = 3;
    cases[0].shape.imageSize = true;
    cases[6].shape.compression = 3;
    cases[7].shape.compression = 3;
    cases[7].shape.imageSize = true;
    cases[8].shape.colorsUsed = 5;
    cases[9].shape.colorsUsed = 2;
    // The record check reserves four bytes per colour whatever the usage, so a bitmap of
    // palette indices needs spare bytes to be accepted.
    cases[10].shape.usage = 1;
    cases[10].shape.spare = 32;
    cases[11].shape.spare = 7;

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Dib dib = makeDib(c.shape);
        for (int rotation : {90, 180, 270}) {
            SCOPED_TRACE("turned " + std::to_string(rotation));
            const mf::Bytes out = turnOrFail(dib.bytes, c.shape.usage, rotation);
            expectTurned(dib, out, rotation);
            if (out.size() < dib.pixelOffset) continue;
            const bool core = c.shape.hdr == Hdr::Core;
            const size_t sizeEnd = core ? 8 : 12;  // width and height fields end here
            for (size_t i = 0; i < dib.pixelOffset; ++i) {
                if ((i >= 4 && i < sizeEnd) || (!core && i >= 20 && i < 24)) continue;
                EXPECT_EQ(out[i], dib.bytes[i]) << "header or colour byte " << i;
            }
        }
    }
}

TEST(RotateDibTest, CoreHeaderSizesAreSixteenBitFields) {
    Shape s;
    s.hdr = Hdr::Core;
    s.bpp = 24;
    s.width = 300;
    s.height = -2;
    const Dib dib = makeDib(s);
    const mf::Bytes out = turnOrFail(dib.bytes, 0, 90);
    EXPECT_EQ(mf::getU16(out, 4), 2);
    EXPECT_EQ(mf::getI16(out, 6), -300);
    EXPECT_EQ(mf::getU16(out, 8), 1);  // planes
    EXPECT_EQ(mf::getU16(out, 10), 24);
}

// --- RotateDib: bitmaps left alone ---

TEST(RotateDibTest, RefusesWhatItCannotTurn) {
    auto shape = [](Hdr hdr, uint16_t bpp, int32_t w, int32_t h, uint32_t compression = 0) {
        Shape s;
        s.hdr = hdr;
        s.bpp = bpp;
        s.width = w;
        s.height = h;
        s.compression = compression;
        s.imageSize = true;
        return s;
    };
    struct Case {
        std::string name;
        mf::Bytes bytes;
        int rotation;
    };
    const mf::Bytes good = makeDib(shape(Hdr::Info, 8, 5, 3)).bytes;
    const size_t goodPixels = strideOf(5, 8) * 3;
    mf::Bytes tableCut = makeDib(shape(Hdr::Info, 8, 5, 3)).bytes;
    mf::wrU32(&tableCut[32], 256 + uint32_t(goodPixels));  // table would swallow the pixels
    mf::Bytes headerDamaged = good;
    mf::wrU32(&headerDamaged[0], 20);
    mf::Bytes oddDepth = good;
    mf::wrU16(&oddDepth[14], 7);
    const std::vector<Case> cases = {
        {"RLE8", makeDib(shape(Hdr::Info, 8, 8, 4, 1)).bytes, 90},
        {"RLE4", makeDib(shape(Hdr::Info, 4, 8, 4, 2)).bytes, 180},
        {"JPEG", makeDib(shape(Hdr::Info, 0, 8, 4, 4)).bytes, 270},
        {"PNG", makeDib(shape(Hdr::Info, 0, 8, 4, 5)).bytes, 90},
        {"pixels cut short", mf::Bytes(good.begin(), good.end() - 1), 90},
        {"header cut short", mf::Bytes(good.begin(), good.begin() + 30), 90},
        {"empty", {}, 90},
        {"colours used run past the record", tableCut, 90},
        {"header size 20", headerDamaged, 90},
        {"7 bits per pixel", oddDepth, 90},
        {"core bitmap too wide for a 16-bit height", makeDib(shape(Hdr::Core, 1, 40000, 1)).bytes,
         90},
        {"rotation 0", good, 0},
        {"rotation 45", good, 45},
        {"rotation -90", good, -90},
        {"rotation 360", good, 360},
    };
    for (const Case& c : cases) EXPECT_FALSE(RotateDib(c.bytes, 0, c.rotation)) << c.name;
}

}  // namespace
}  // namespace qv
