#include "cli/wmf_file.h"

#include "support/test_support.h"

namespace qv::test {

uint16_t FileRecord::word(size_t index) const {
    return mf::getU16(bytes, 6 + 2 * index);
}

std::vector<FileRecord> WmfFile::recordsOf(uint16_t function) const {
    std::vector<FileRecord> out;
    for (const auto& r : records)
        if (r.function == function) out.push_back(r);
    return out;
}

uint16_t placeableChecksum(mf::ByteSpan header) {
    uint16_t sum = 0;
    for (size_t i = 0; i < 20; i += 2) sum ^= mf::getU16(header, i);
    return sum;
}

WmfFile readWmf(mf::Bytes bytes) {
    WmfFile f;
    f.bytes = std::move(bytes);
    f.placeable = f.u32(0) == kPlaceableMagic;
    f.wmfOffset = f.placeable ? kPlaceableSize : 0;
    size_t off = f.wmfOffset + kMetaHeaderSize;
    const size_t size = f.bytes.size();
    while (off + 6 <= size) {
        FileRecord r;
        r.offset = off;
        r.sizeWords = f.u32(off);
        r.function = f.u16(off + 4);
        if (r.sizeWords < 3 || uint64_t(r.sizeWords) * 2 > size - off) break;
        r.bytes = mf::ByteSpan(f.bytes).subspan(off, size_t(r.sizeWords) * 2);
        if (r.function == 0) {
            f.eof = r;
            break;
        }
        f.records.push_back(r);
        off += r.bytes.size();
    }
    return f;
}

WmfFile readWmfFile(const std::filesystem::path& path) {
    return readWmf(readFile(path));
}

}  // namespace qv::test
