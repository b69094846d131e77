#include "engine/metafile/dib.h"

namespace qv::mf {

namespace {

std::optional<DibInfo> fail(std::string* error, std::string text) {
    if (error) *error = std::move(text);
    return std::nullopt;
}

}  // namespace

std::optional<DibInfo> parseDib(ByteSpan b, std::string* error, uint16_t usage) {
    if (b.size() < 4) return fail(error, "the bitmap header is cut off");
    DibInfo d;
    d.headerSize = getU32(b, 0);
    if (d.headerSize < 12) return fail(error, "the bitmap header size is " + std::to_string(d.headerSize));
    if (d.headerSize > b.size()) return fail(error, "the bitmap header runs past the record");
    uint32_t colorsUsed = 0;
    if (d.headerSize == 12) {
        d.width = getU16(b, 4);
        d.height = getI16(b, 6);
        d.bitCount = getU16(b, 10);
    } else {
        if (d.headerSize < 40) return fail(error, "the bitmap header size is " + std::to_string(d.headerSize));
        d.width = int32_t(getU32(b, 4));
        d.height = int32_t(getU32(b, 8));
        d.bitCount = getU16(b, 14);
        d.compression = getU32(b, 16);
        d.sizeImage = getU32(b, 20);
        colorsUsed = getU32(b, 32);
    }
    if (d.width < 0) return fail(error, "the bitmap width is negative");
    if (d.height == INT32_MIN) return fail(error, "the bitmap height is out of range");

    bool compressedImage = d.compression == 4 || d.compression == 5;  // JPEG, PNG
    if (!compressedImage) {
        switch (d.bitCount) {
            case 1: case 4: case 8: case 16: case 24: case 32: break;
            default:
                return fail(error, "the bitmap has " + std::to_string(d.bitCount) + " bits per pixel");
        }
    }
    if (d.compression > 5) return fail(error, "the bitmap compression " + std::to_string(d.compression) + " is unknown");
    if ((d.compression == 1 && d.bitCount != 8) || (d.compression == 2 && d.bitCount != 4))
        return fail(error, "the bitmap's run-length compression does not match its bit count");

    // Colour table.
    uint64_t entries = 0;
    if (d.bitCount <= 8 && !compressedImage) {
        uint64_t maxEntries = uint64_t(1) << d.bitCount;
        entries = colorsUsed ? colorsUsed : maxEntries;
        if (entries > maxEntries) entries = maxEntries;
    } else if (colorsUsed) {
        if (colorsUsed > b.size()) return fail(error, "the bitmap's colour table runs past the record");
        entries = colorsUsed;
    }
    uint64_t table = entries * (usage == 1 ? 2 : d.headerSize == 12 ? 3 : 4);
    if (d.compression == 3 && d.headerSize == 40) table += 12;  // the three bit-field masks
    if (table > b.size()) return fail(error, "the bitmap's colour table runs past the record");
    d.colorTableBytes = uint32_t(table);

    uint64_t rows = uint64_t(d.height < 0 ? -int64_t(d.height) : d.height);
    if (d.uncompressed()) {
        uint64_t strideBits = uint64_t(d.width) * d.bitCount;
        uint64_t stride = ((strideBits + 31) / 32) * 4;
        if (stride > 0xFFFFFFFFull) return fail(error, "the bitmap is too wide");
        d.stride = uint32_t(stride);
        d.pixelBytes = stride * rows;  // at most 2^32 * 2^31: fits in 64 bits
    } else {
        d.pixelBytes = d.sizeImage;
    }
    d.totalBytes = uint64_t(d.headerSize) + table + d.pixelBytes;
    if (d.totalBytes > b.size())
        return fail(error, "the bitmap's pixels need " + std::to_string(d.totalBytes) +
                               " bytes but the record holds " + std::to_string(b.size()));
    return d;
}

}  // namespace qv::mf
