#include "engine/placeable.h"

#include <cerrno>
#include <cmath>
#include <new>
#include <vector>

#include "platform/files.h"

namespace qv {

using namespace mf;

PlaceableHeader PlaceableHeader::read(ByteSpan b) {
    PlaceableHeader h;
    h.key = getU32(b, 0);
    h.hwmf = getU16(b, 4);
    h.left = getI16(b, 6);
    h.top = getI16(b, 8);
    h.right = getI16(b, 10);
    h.bottom = getI16(b, 12);
    h.inch = getU16(b, 14);
    h.reserved = getU32(b, 16);
    h.checksum = getU16(b, 20);
    return h;
}

std::array<uint8_t, kPlaceableBytes> PlaceableHeader::bytes() const {
    std::array<uint8_t, kPlaceableBytes> b{};
    wrU32(&b[0], key);
    wrU16(&b[4], hwmf);
    wrU16(&b[6], uint16_t(left));
    wrU16(&b[8], uint16_t(top));
    wrU16(&b[10], uint16_t(right));
    wrU16(&b[12], uint16_t(bottom));
    wrU16(&b[14], inch);
    wrU32(&b[16], reserved);
    wrU16(&b[20], checksum);
    return b;
}

uint16_t PlaceableChecksum(const PlaceableHeader& h) {
    auto b = h.bytes();
    uint16_t sum = 0;
    for (size_t i = 0; i < 20; i += 2) sum ^= rdU16(&b[i]);
    return sum;
}

int WritePlaceableFile(Engine& engine, MetafileHandle& handle, Size outputSize, double outputScale,
                       const std::filesystem::path& path) {
    PlaceableHeader h;
    h.right = int16_t(outputSize.cx);
    h.bottom = int16_t(outputSize.cy);
    // The low 16 bits of the scale, truncated to an integer.
    double t = std::trunc(outputScale);
    h.inch = (t == t && std::fabs(t) < 9.0e18) ? uint16_t(uint64_t(int64_t(t))) : 0;
    h.checksum = PlaceableChecksum(h);

    uint32_t size = GetMetaFileBitsEx(handle.get(), 0, nullptr);
    if (size == 0) {
        DeleteMetaFile(handle);
        engine.ui.ShowError(0, "Failed to Get MetaFile Bits Size");
        return 0;
    }
    // The picture's own bits are written as they are: no second copy of a
    // picture that may be tens of megabytes.
    std::span<const uint8_t> bits(handle->bits().data(), size);
    auto header = h.bytes();
    const std::span<const uint8_t> pieces[] = {header, bits};
    if (!platform::writeFileAtomically(path, pieces)) {
        int saved = errno;
        DeleteMetaFile(handle);
        errno = saved;
        return 0;
    }
    return 1;
}

}  // namespace qv
