#include "engine/metafile/metafile.h"

#include <cstdio>

#include "engine/metafile/dib.h"
#include "engine/metafile/records.h"

namespace qv::mf {

MetaHeader MetaHeader::read(ByteSpan b) {
    MetaHeader h;
    h.type = getU16(b, 0);
    h.headerSize = getU16(b, 2);
    h.version = getU16(b, 4);
    h.sizeWords = getU32(b, 6);
    h.numObjects = getU16(b, 10);
    h.maxRecord = getU32(b, 12);
    h.numParams = getU16(b, 16);
    return h;
}

void MetaHeader::write(uint8_t* out) const {
    wrU16(out + 0, type);
    wrU16(out + 2, headerSize);
    wrU16(out + 4, version);
    wrU32(out + 6, sizeWords);
    wrU16(out + 10, numObjects);
    wrU32(out + 12, maxRecord);
    wrU16(out + 16, numParams);
}

namespace {

std::string hex(size_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%zX", v);
    return buf;
}

}  // namespace

std::string recordFault(const Record& r) {
    const RecordInfo* info = r.info();
    if (!info) return {};  // unknown records are passed over, never read
    const size_t have = r.byteSize() - 6;
    auto need = [&](uint64_t bytes, const char* what) -> std::string {
        if (bytes <= have) return {};
        return std::string(what) + " needs " + std::to_string(bytes) + " bytes but the record holds " +
               std::to_string(have);
    };
    if (info->tail == Tail::None || info->tail == Tail::Dib || info->tail == Tail::DibOptional) {
        // SETTEXTALIGN and the other one-word records may carry a reserved word more;
        // the short bitmap forms are checked below.
        if (info->tail != Tail::DibOptional || r.sizeWords() != uint32_t(r.function() >> 8) + 3u) {
            if (auto e = need(info->fixedBytes, "its fixed fields"); !e.empty()) return e;
        }
    }
    switch (info->tail) {
        case Tail::Points: {
            if (!r.has(0)) return "the point count is missing";
            uint64_t n = r.u16(0);
            if (2 + 4 * n > have)
                return "says " + std::to_string(n) + " points but holds " + std::to_string((have - 2) / 4);
            return {};
        }
        case Tail::PolyPoints: {
            if (!r.has(0)) return "the polygon count is missing";
            uint64_t polys = r.u16(0);
            if (2 + 2 * polys > have)
                return "says " + std::to_string(polys) + " polygons but the counts do not fit";
            uint64_t points = 0;
            for (size_t i = 0; i < polys; ++i) points += r.u16(1 + i);
            if (2 + 2 * polys + 4 * points > have)
                return "says " + std::to_string(points) + " points in " + std::to_string(polys) +
                       " polygons but holds " + std::to_string((have - 2 - 2 * polys) / 4);
            return {};
        }
        case Tail::TextOut: {
            if (!r.has(0)) return "the string length is missing";
            uint64_t n = r.u16(0);
            return need(2 + ((n + 1) & ~uint64_t(1)) + 4, "its string and position");
        }
        case Tail::ExtTextOut: {
            if (!r.has(0, 4)) return "the position, length and options are missing";
            uint64_t n = r.u16(2);
            uint16_t options = r.u16(3);
            uint64_t rect = (options & 0x0006) ? 8 : 0;
            if (8 + rect > have) return "the rectangle is missing";
            if (8 + rect + n > have)
                return "says " + std::to_string(n) + " characters but holds " + std::to_string(have - 8 - rect);
            return {};
        }
        case Tail::Font: return need(18, "its LOGFONT");
        case Tail::Palette: {
            if (!r.has(0, 2)) return "the palette start and count are missing";
            uint64_t n = r.u16(1);
            return need(4 + 4 * n, "its palette entries");
        }
        case Tail::Region: return need(22, "its region header");
        case Tail::Escape: {
            if (!r.has(0, 2)) return "the escape function and byte count are missing";
            uint64_t n = r.u16(1);
            return need(4 + n, "its escape data");
        }
        case Tail::DibOptional:
            if (r.sizeWords() == uint32_t(r.function() >> 8) + 3u) return {};  // no bitmap
            [[fallthrough]];
        case Tail::Dib: {
            std::string err;
            ByteSpan p = r.params();
            // The colour usage, where the record has one.
            uint16_t usage = 0;
            if (findField(*info, "usage")) usage = uint16_t(r.field("usage"));
            if (!parseDib(p.subspan(info->fixedBytes), &err, usage)) return err;
            return {};
        }
        case Tail::None:
        case Tail::Bitmap16:
        case Tail::Raw: return {};
    }
    return {};
}

namespace {

// Walks the records of a picture; on success `end` is the offset just past
// META_EOF and `count` the number of records before it.
bool checkPicture(ByteSpan bits, std::string* error, size_t baseOffset, size_t& end, size_t& count) {
    auto fail = [&](std::string text) {
        if (error) *error = std::move(text);
        return false;
    };
    if (bits.size() < MetaHeader::kBytes) return fail("the metafile header is cut off");
    MetaHeader h = MetaHeader::read(bits);
    if (h.type != 1 && h.type != 2)
        return fail("the metafile header has type " + std::to_string(h.type) + " (1 or 2 expected)");
    if (h.headerSize != 9)
        return fail("the metafile header size is " + std::to_string(h.headerSize) + " words (9 expected)");

    size_t off = MetaHeader::kBytes;
    size_t index = 0;
    auto where = [&] { return "record " + std::to_string(index) + " at offset " + hex(baseOffset + off); };
    for (;;) {
        if (off == bits.size())
            return fail("the picture ends after " + std::to_string(index) +
                        " records without an end record (the file may be truncated)");
        if (!fits(bits.size(), off, 6)) return fail(where() + " is cut off");
        uint32_t words = rdU32(&bits[off]);
        uint16_t function = rdU16(&bits[off + 4]);
        if (words < 3)
            return fail(where() + " (" + recordName(function) + ") has a size of " + std::to_string(words) +
                        " words");
        if (uint64_t(words) * 2 > bits.size() - off)
            return fail(where() + " (" + recordName(function) + ") runs past the end of the picture");
        if (function == 0) {
            end = off + size_t(words) * 2;
            count = index;
            return true;
        }
        Record r(const_cast<uint8_t*>(&bits[off]), size_t(words) * 2);
        if (std::string e = recordFault(r); !e.empty())
            return fail(where() + " (" + recordName(function) + "): " + e);
        off += size_t(words) * 2;
        ++index;
    }
}

}  // namespace

MetafileHandle parseMetafile(ByteSpan bits, std::string* error, size_t baseOffset) {
    size_t end = 0, count = 0;
    if (!checkPicture(bits, error, baseOffset, end, count)) return nullptr;
    return std::make_unique<Metafile>(Bytes(bits.begin(), bits.begin() + ptrdiff_t(end)), count);
}

MetafileHandle parseMetafile(Bytes&& bits, std::string* error, size_t baseOffset) {
    size_t end = 0, count = 0;
    if (!checkPicture(bits, error, baseOffset, end, count)) return nullptr;
    bits.resize(end);
    return std::make_unique<Metafile>(std::move(bits), count);
}

MetafileHandle SetMetaFileBitsEx(uint32_t size, const uint8_t* bits) {
    if (!bits) return nullptr;
    return parseMetafile(ByteSpan(bits, size));
}

uint32_t GetMetaFileBitsEx(const Metafile* mf, uint32_t size, uint8_t* buffer) {
    if (!mf) return 0;
    const Bytes& b = mf->bits();
    if (!buffer) return uint32_t(b.size());
    uint32_t n = size < b.size() ? size : uint32_t(b.size());
    std::copy(b.begin(), b.begin() + n, buffer);
    return n;
}

MetafileHandle CopyMetaFileW(const Metafile* mf) {
    if (!mf) return nullptr;
    return std::make_unique<Metafile>(*mf);
}

void DeleteMetaFile(MetafileHandle& mf) { mf.reset(); }

}  // namespace qv::mf
