// Little-endian field access for WMF data.
//
// Every accessor takes the buffer's size and refuses offsets that do not fit,
// so a damaged record can never make us read or write outside its buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace qv::mf {

using Bytes = std::vector<uint8_t>;
using ByteSpan = std::span<const uint8_t>;

inline bool fits(size_t size, size_t offset, size_t count) {
    return offset <= size && count <= size - offset;
}

inline uint16_t rdU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline int16_t rdI16(const uint8_t* p) { return int16_t(rdU16(p)); }
inline uint32_t rdU32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
           (uint32_t(p[3]) << 24);
}
inline void wrU16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void wrU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

// Checked reads: 0 when the field lies outside the buffer.
inline uint16_t getU16(ByteSpan b, size_t off) { return fits(b.size(), off, 2) ? rdU16(&b[off]) : 0; }
inline int16_t getI16(ByteSpan b, size_t off) { return int16_t(getU16(b, off)); }
inline uint32_t getU32(ByteSpan b, size_t off) { return fits(b.size(), off, 4) ? rdU32(&b[off]) : 0; }

// Appending writers for building records and files.
inline void putU16(Bytes& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
inline void putI16(Bytes& out, int16_t v) { putU16(out, uint16_t(v)); }
inline void putU32(Bytes& out, uint32_t v) {
    putU16(out, uint16_t(v));
    putU16(out, uint16_t(v >> 16));
}

}  // namespace qv::mf
