// What a test needs to know about a WMF file, read straight from its bytes:
// the placeable header, the METAHEADER fields and the chain of records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "engine/metafile/bytes.h"

namespace qv::test {

constexpr uint32_t kPlaceableMagic = 0x9AC6CDD7;
constexpr size_t kPlaceableSize = 22;
constexpr size_t kMetaHeaderSize = 18;

struct FileRecord {
    size_t offset = 0;  // from the start of the file
    uint32_t sizeWords = 0;
    uint16_t function = 0;
    mf::ByteSpan bytes;  // the whole record, size word first
    // A parameter word (after the 6-byte record header); 0 outside the record.
    uint16_t word(size_t index) const;
};

// Owns the bytes its records point into: it can be moved, not copied.
struct WmfFile {
    WmfFile() = default;
    WmfFile(WmfFile&&) = default;
    WmfFile& operator=(WmfFile&&) = default;
    WmfFile(const WmfFile&) = delete;
    WmfFile& operator=(const WmfFile&) = delete;

    mf::Bytes bytes;
    bool placeable = false;
    size_t wmfOffset = 0;
    std::vector<FileRecord> records;  // before the end record
    std::optional<FileRecord> eof;    // the end record, when the chain reaches one

    uint16_t u16(size_t offset) const { return mf::getU16(bytes, offset); }
    int16_t i16(size_t offset) const { return mf::getI16(bytes, offset); }
    uint32_t u32(size_t offset) const { return mf::getU32(bytes, offset); }

    // Placeable header fields (valid when `placeable`).
    int16_t left() const { return i16(6); }
    int16_t top() const { return i16(8); }
    int16_t right() const { return i16(10); }
    int16_t bottom() const { return i16(12); }
    uint16_t inch() const { return u16(14); }
    uint16_t storedChecksum() const { return u16(20); }

    // METAHEADER fields.
    uint32_t mtSize() const { return u32(wmfOffset + 6); }
    uint16_t mtNoObjects() const { return u16(wmfOffset + 10); }
    uint32_t mtMaxRecord() const { return u32(wmfOffset + 12); }

    // Records of one function, in file order.
    std::vector<FileRecord> recordsOf(uint16_t function) const;
};

// The exclusive-or of the ten 16-bit words before the checksum field.
uint16_t placeableChecksum(mf::ByteSpan header);

// Walks the record chain after the METAHEADER until the end record or the
// first record that does not fit the file.
WmfFile readWmf(mf::Bytes bytes);
WmfFile readWmfFile(const std::filesystem::path& path);

}  // namespace qv::test
