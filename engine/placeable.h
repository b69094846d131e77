// Placeable WMF files: the 22-byte header before the WMF data.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>

#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/metafile/bytes.h"
#include "engine/metafile/metafile.h"

namespace qv {

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr size_t kPlaceableBytes = 22;

struct PlaceableHeader {
    uint32_t key = kPlaceableKey;
    uint16_t hwmf = 0;
    int16_t left = 0, top = 0, right = 0, bottom = 0;
    uint16_t inch = 0;
    uint32_t reserved = 0;
    uint16_t checksum = 0;

    static PlaceableHeader read(mf::ByteSpan b);  // b holds at least 22 bytes
    std::array<uint8_t, kPlaceableBytes> bytes() const;
};

// XOR of the ten 16-bit words before the checksum.
uint16_t PlaceableChecksum(const PlaceableHeader& h);

// Writes the picture as a placeable file: bounding box (0, 0, size), Inch the
// low 16 bits of the truncated scale, the checksum last. The file is written
// beside the target and renamed over it, so a failed write leaves the old
// file as it was.
//
// Returns 1 when the file was written. Returns 0 and releases the handle on
// failure: when the picture's bits cannot be had, after its own message; when
// the file cannot be written, without a message (errno says why), so that the
// caller shows the one "Unable to write %s:\n%s".
int WritePlaceableFile(Engine& engine, mf::MetafileHandle& handle, Size outputSize, double outputScale,
                       const std::filesystem::path& path);

}  // namespace qv
