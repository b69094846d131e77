#include "engine/dib_rotate.h"

#include <algorithm>
#include <cstring>

#include "engine/metafile/dib.h"

namespace qv {

namespace {

constexpr uint16_t kDibPalColors = 1;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kBiBitfields = 3;

// Destination pixels are produced in tiles so that the strided side of a quarter turn
// touches a bounded set of cache lines.
constexpr uint64_t kTileRows = 32;
constexpr uint64_t kTileCols = 256;

uint64_t strideFor(uint64_t width, uint32_t bpp) {
    return (width * bpp + 31) / 32 * 4;
}

// Where the pixels of one destination row come from, in source storage coordinates:
// the pixel at destination column x' is source (row + x' * rowStep, col + x' * colStep).
struct SourceWalk {
    int64_t row = 0;
    int64_t col = 0;
    int64_t rowStep = 0;
    int64_t colStep = 0;
};

// Source walk for destination storage row `dstRow`. Visual coordinates have y growing
// downward; a bottom-up bitmap stores visual row y at storage row (rows - 1 - y), a top-down
// one at y. Both bitmaps have the same row order. Turning clockwise by 90 degrees maps
// visual (x, y) to (H - 1 - y, x); by 180 to (W - 1 - x, H - 1 - y); by 270 to (y, W - 1 - x).
SourceWalk walkFor(int rotation, bool topDown, int64_t srcWidth, int64_t srcRows, int64_t dstRows,
                   int64_t dstRow) {
    const int64_t dstY = topDown ? dstRow : dstRows - 1 - dstRow;
    SourceWalk w;
    switch (rotation) {
        case 90:  // x = y', y = H - 1 - x'
            w.col = dstY;
            w.row = topDown ? srcRows - 1 : 0;
            w.rowStep = topDown ? -1 : 1;
            break;
        case 270:  // x = W - 1 - y', y = x'
            w.col = srcWidth - 1 - dstY;
            w.row = topDown ? 0 : srcRows - 1;
            w.rowStep = topDown ? 1 : -1;
            break;
        default:  // 180: x = W - 1 - x', y = H - 1 - y'
            w.col = srcWidth - 1;
            w.colStep = -1;
            w.row = srcRows - 1 - dstRow;
            break;
    }
    return w;
}

// `count` pixels of B bytes each, read from src + start, src + start + step, ...
template <size_t B>
void copyPixels(const uint8_t* src, int64_t start, int64_t step, uint8_t* dst, uint64_t count) {
    for (uint64_t k = 0; k < count; ++k, start += step, dst += B) std::memcpy(dst, src + start, B);
}

// Pixels of 1 or 4 bits, most significant first within a byte; `dst` is zero on entry.
void copyBits(const uint8_t* src, int64_t startBit, int64_t stepBits, uint8_t* dst, uint64_t dstBit,
              uint64_t count, uint32_t bpp) {
    const unsigned mask = (1u << bpp) - 1;
    for (uint64_t k = 0; k < count; ++k, startBit += stepBits, dstBit += bpp) {
        const unsigned srcShift = 8 - bpp - unsigned(startBit & 7);
        const unsigned v = (src[startBit >> 3] >> srcShift) & mask;
        const unsigned dstShift = 8 - bpp - unsigned(dstBit & 7);
        dst[dstBit >> 3] = uint8_t(dst[dstBit >> 3] | (v << dstShift));
    }
}

struct Geometry {
    int rotation = 0;
    bool topDown = false;
    uint32_t bpp = 0;
    int64_t srcWidth = 0;
    int64_t srcRows = 0;
    int64_t srcStride = 0;
    int64_t dstWidth = 0;
    int64_t dstRows = 0;
    int64_t dstStride = 0;
};

void turnPixels(const Geometry& g, const uint8_t* src, uint8_t* dst) {
    const int64_t bytesPerPixel = g.bpp / 8;
    for (int64_t rowBase = 0; rowBase < g.dstRows; rowBase += kTileRows) {
        const int64_t rowEnd = std::min<int64_t>(g.dstRows, rowBase + kTileRows);
        for (int64_t colBase = 0; colBase < g.dstWidth; colBase += kTileCols) {
            const uint64_t count = uint64_t(std::min<int64_t>(g.dstWidth - colBase, kTileCols));
            for (int64_t r = rowBase; r < rowEnd; ++r) {
                const SourceWalk w =
                    walkFor(g.rotation, g.topDown, g.srcWidth, g.srcRows, g.dstRows, r);
                const int64_t row = w.row + colBase * w.rowStep;
                const int64_t col = w.col + colBase * w.colStep;
                uint8_t* out = dst + r * g.dstStride;
                if (bytesPerPixel == 0) {
                    const int64_t bpp = g.bpp;
                    copyBits(src, row * g.srcStride * 8 + col * bpp,
                             w.rowStep * g.srcStride * 8 + w.colStep * bpp, out,
                             uint64_t(colBase * bpp), count, g.bpp);
                    continue;
                }
                const int64_t start = row * g.srcStride + col * bytesPerPixel;
                const int64_t step = w.rowStep * g.srcStride + w.colStep * bytesPerPixel;
                out += colBase * bytesPerPixel;
                switch (bytesPerPixel) {
                    case 1:
                        copyPixels<1>(src, start, step, out, count);
                        break;
                    case 2:
                        copyPixels<2>(src, start, step, out, count);
                        break;
                    case 3:
                        copyPixels<3>(src, start, step, out, count);
                        break;
                    default:
                        copyPixels<4>(src, start, step, out, count);
                        break;
                }
            }
        }
    }
}

}  // namespace

uint32_t DibInfoSize(mf::ByteSpan header, uint16_t usage) {
    const uint32_t headerSize = mf::getU32(header, 0);
    const bool core = headerSize == kCoreHeaderSize;
    const uint16_t bitCount = core ? mf::getU16(header, 10) : mf::getU16(header, 14);
    uint64_t entries = core ? 0 : mf::getU32(header, 32);
    if (entries == 0 && bitCount <= 8) entries = uint64_t(1) << bitCount;
    const uint64_t entrySize = usage == kDibPalColors ? 2 : (core ? 3 : 4);
    uint64_t size = uint64_t(headerSize) + entries * entrySize;
    if (headerSize == kInfoHeaderSize && mf::getU32(header, 16) == kBiBitfields) size += 12;
    return uint32_t(std::min<uint64_t>(size, UINT32_MAX));
}

std::optional<mf::Bytes> RotateDib(mf::ByteSpan dib, uint16_t usage, int rotation) {
    if (rotation != 90 && rotation != 180 && rotation != 270) return std::nullopt;
    const std::optional<mf::DibInfo> info = mf::parseDib(dib, nullptr, usage);
    if (!info || !info->uncompressed()) return std::nullopt;

    Geometry g;
    g.rotation = rotation;
    g.topDown = info->topDown();
    g.bpp = info->bitCount;
    g.srcWidth = info->width;
    g.srcRows = g.topDown ? -int64_t(info->height) : info->height;
    g.srcStride = info->stride;

    const uint64_t pixelOffset = DibInfoSize(dib, usage);
    const uint64_t srcPixelBytes = uint64_t(g.srcStride) * uint64_t(g.srcRows);
    if (pixelOffset + srcPixelBytes > dib.size()) return std::nullopt;

    const bool quarter = rotation != 180;
    g.dstWidth = quarter ? g.srcRows : g.srcWidth;
    g.dstRows = quarter ? g.srcWidth : g.srcRows;
    g.dstStride = int64_t(strideFor(uint64_t(g.dstWidth), g.bpp));
    const uint64_t dstPixelBytes = uint64_t(g.dstStride) * uint64_t(g.dstRows);
    // The image size field has 32 bits; a bitmap that would outgrow it is left alone.
    if (dstPixelBytes > UINT32_MAX) return std::nullopt;

    const bool core = info->headerSize == kCoreHeaderSize;
    if (core && g.dstRows > (g.topDown ? 32768 : 32767)) return std::nullopt;  // int16 height

    mf::Bytes out(size_t(pixelOffset + dstPixelBytes));  // zeroed: row padding stays 0
    std::memcpy(out.data(), dib.data(), size_t(pixelOffset));
    const int64_t dstHeight = g.topDown ? -g.dstRows : g.dstRows;
    if (core) {
        mf::wrU16(&out[4], uint16_t(g.dstWidth));
        mf::wrU16(&out[6], uint16_t(int16_t(dstHeight)));
    } else {
        mf::wrU32(&out[4], uint32_t(g.dstWidth));
        mf::wrU32(&out[8], uint32_t(int32_t(dstHeight)));
        if (info->sizeImage != 0) mf::wrU32(&out[20], uint32_t(dstPixelBytes));
    }
    if (g.dstWidth > 0 && g.dstRows > 0)
        turnPixels(g, dib.data() + pixelOffset, out.data() + pixelOffset);
    return out;
}

}  // namespace qv
