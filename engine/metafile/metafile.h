// In-memory Windows metafiles: the picture handle and its bits.
//
// A Metafile owns the WMF bytes (METAHEADER first, META_EOF last). It is only
// ever built from bytes that passed validation, so every record in it fits
// inside the buffer and the passes can walk it without further size checks on
// the record chain itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/metafile/bytes.h"
#include "engine/metafile/records.h"

namespace qv::mf {

// METAHEADER, 18 bytes.
struct MetaHeader {
    uint16_t type = 1;        // 1 memory, 2 disk
    uint16_t headerSize = 9;  // words
    uint16_t version = 0x0300;
    uint32_t sizeWords = 0;   // the whole picture, header and EOF included
    uint16_t numObjects = 0;
    uint32_t maxRecord = 0;   // words
    uint16_t numParams = 0;

    static constexpr size_t kBytes = 18;
    static MetaHeader read(ByteSpan b);  // b must hold at least 18 bytes
    void write(uint8_t* out) const;
};

class Metafile {
public:
    // `bits` must be a validated picture of `records` records before META_EOF.
    Metafile(Bytes bits, size_t records) : bits_(std::move(bits)), records_(records) {}
    const Bytes& bits() const { return bits_; }
    MetaHeader header() const { return MetaHeader::read(bits_); }
    // Number of records before META_EOF (validated at construction time).
    size_t recordCount() const { return records_; }

private:
    Bytes bits_;
    size_t records_ = 0;
};

using MetafileHandle = std::unique_ptr<Metafile>;

// Checks WMF bytes (METAHEADER first) and builds a picture from them.
// On failure returns null and, when `error` is given, says what is wrong and
// where ("record 12 at offset 0x1A4 (POLYLINE): says 500 points but holds 3");
// offsets are counted from baseOffset (the size of a placeable header before it).
// Records after META_EOF are dropped. The header's size field may be larger
// than the data (some writers count more); nothing is read past the data.
MetafileHandle parseMetafile(ByteSpan bits, std::string* error = nullptr, size_t baseOffset = 0);
// The same, taking over the bytes instead of copying them.
MetafileHandle parseMetafile(Bytes&& bits, std::string* error = nullptr, size_t baseOffset = 0);

// What is wrong with a record whose size fits its buffer: a point count, string
// length, bitmap or other field that promises more than the record holds.
// Empty when the record is sound (or its function is unknown: never read).
std::string recordFault(const Record& r);

// Calls fn(record, offset) for every record before META_EOF of a validated
// picture; offsets count from the METAHEADER.
template <class Fn>
void forEachRecord(const Metafile& mf, Fn&& fn);

// The platform's names for the same services.
MetafileHandle SetMetaFileBitsEx(uint32_t size, const uint8_t* bits);
// With buffer null: the size in bytes. Otherwise copies min(size, bytes) and
// returns the number copied; 0 for a null picture.
uint32_t GetMetaFileBitsEx(const Metafile* mf, uint32_t size, uint8_t* buffer);
MetafileHandle CopyMetaFileW(const Metafile* mf);
void DeleteMetaFile(MetafileHandle& mf);

template <class Fn>
void forEachRecord(const Metafile& mf, Fn&& fn) {
    const Bytes& b = mf.bits();
    size_t off = MetaHeader::kBytes;
    while (fits(b.size(), off, 6)) {
        size_t bytes = size_t(rdU32(&b[off])) * 2;
        if (rdU16(&b[off + 4]) == 0 || bytes < 6 || !fits(b.size(), off, bytes)) break;
        fn(Record(const_cast<uint8_t*>(&b[off]), bytes), off);
        off += bytes;
    }
}

}  // namespace qv::mf
