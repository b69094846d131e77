// Turning device-independent bitmaps by quarter turns, the way the output
// picture is turned.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/metafile/bytes.h"

namespace qv {

// Bytes from the start of the header to the pixel array: header size plus colour table
// (entries of 3 bytes for a core header, else 4; 2 bytes each when usage is 1, DIB_PAL_COLORS),
// plus the three masks of a 40-byte BI_BITFIELDS header. Saturates at UINT32_MAX.
uint32_t DibInfoSize(mf::ByteSpan header, uint16_t usage);

// The bitmap (header, colours, pixels as stored in the record) turned by `rotation` degrees
// (90, 180 or 270) clockwise on screen; std::nullopt when it cannot be turned (compressed,
// damaged, rotation 0 or other). The header and colour table are kept except for width,
// height and a non-zero image size; the row order (bottom-up or top-down) is kept. Bytes
// after the pixel array are not part of the result.
std::optional<mf::Bytes> RotateDib(mf::ByteSpan dib, uint16_t usage, int rotation);

}  // namespace qv
