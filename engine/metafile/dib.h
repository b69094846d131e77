// Device-independent bitmaps inside WMF records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/metafile/bytes.h"

namespace qv::mf {

struct DibInfo {
    uint32_t headerSize = 0;   // 12 (core header) or 40 and more
    int32_t width = 0;
    int32_t height = 0;        // negative: rows stored top-down
    uint16_t bitCount = 0;
    uint32_t compression = 0;  // 0 BI_RGB, 1 BI_RLE8, 2 BI_RLE4, 3 BI_BITFIELDS, ...
    uint32_t sizeImage = 0;    // as stored (may be 0 for BI_RGB)
    uint32_t colorTableBytes = 0;  // colour table (and bit-field masks) after the header
    uint32_t stride = 0;       // bytes per row, for uncompressed bitmaps
    uint64_t pixelBytes = 0;   // bytes of pixel data the bitmap needs
    uint64_t totalBytes = 0;   // header + colour table + pixels

    bool topDown() const { return height < 0; }
    bool uncompressed() const { return compression == 0 || compression == 3; }
};

// Reads and checks the bitmap at the start of `b`: the header fits, the bit
// count is one a bitmap can have, and the colours and pixels it needs lie
// inside `b`. On failure returns nothing and says why in `error`.
// `usage` is the record's colour usage: 1 (DIB_PAL_COLORS) has 16-bit palette
// indexes in the colour table instead of colours.
std::optional<DibInfo> parseDib(ByteSpan b, std::string* error = nullptr, uint16_t usage = 0);

}  // namespace qv::mf
