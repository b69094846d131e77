#include "engine/metafile/records.h"

#include <array>
#include <cstdio>

namespace qv::mf {

namespace {

constexpr FieldInfo parseField(std::string_view text, uint8_t offset) {
    char type = 'i';
    auto colon = text.find(':');
    std::string_view name = text;
    if (colon != std::string_view::npos) {
        name = text.substr(0, colon);
        type = text[colon + 1];
    }
    uint8_t bytes = (type == 'c' || type == 'x') ? 4 : 2;
    return FieldInfo{name, type, offset, bytes};
}

constexpr RecordInfo makeInfo(uint16_t function, std::string_view name, std::string_view fields,
                              Tail tail) {
    RecordInfo info{function, name, fields, tail, 0, {}, 0};
    size_t pos = 0;
    uint8_t offset = 0;
    while (pos < fields.size()) {
        size_t comma = fields.find(',', pos);
        if (comma == std::string_view::npos) comma = fields.size();
        FieldInfo f = parseField(fields.substr(pos, comma - pos), offset);
        info.field[info.fieldCount++] = f;
        offset = uint8_t(offset + f.bytes);
        pos = comma + 1;
    }
    info.fixedBytes = offset;
    return info;
}

constexpr auto kRecords = std::to_array<RecordInfo>({
#define QV_X(id, num, name, fields, tail) makeInfo(num, name, fields, Tail::tail),
    QV_WMF_RECORDS(QV_X)
#undef QV_X
});

// Every function number is below 0x1000: index the table by it directly.
struct Index {
    std::array<int16_t, 0x1000> slot{};
    constexpr Index() {
        for (auto& s : slot) s = -1;
        for (size_t i = 0; i < kRecords.size(); ++i) slot[kRecords[i].function & 0x0FFF] = int16_t(i);
    }
};
constexpr Index kIndex;

}  // namespace

const RecordInfo* recordInfo(uint16_t function) {
    if (function > 0x0FFF) return nullptr;
    int16_t i = kIndex.slot[function];
    if (i < 0 || kRecords[size_t(i)].function != function) return nullptr;
    return &kRecords[size_t(i)];
}

std::string recordName(uint16_t function) {
    if (const RecordInfo* info = recordInfo(function)) return std::string(info->name);
    char buf[24];
    std::snprintf(buf, sizeof buf, "UNKNOWN_%04X", function);
    return buf;
}

const FieldInfo* findField(const RecordInfo& info, std::string_view name) {
    for (uint8_t i = 0; i < info.fieldCount; ++i)
        if (info.field[i].name == name) return &info.field[i];
    return nullptr;
}

int32_t Record::field(std::string_view name) const {
    const RecordInfo* ri = info();
    if (!ri) return 0;
    const FieldInfo* f = findField(*ri, name);
    if (!f) return 0;
    size_t word = f->offset / 2;
    // The short forms of the bitmap records (no bitmap, the source is the DC)
    // carry one reserved word more, after the source origin.
    if (ri->tail == Tail::DibOptional && sizeWords() == uint32_t(function() >> 8) + 3u) {
        size_t reservedAt = function() == uint16_t(Fn::DibBitBlt) ? 4 : 6;
        if (word >= reservedAt) ++word;
    }
    switch (f->type) {
        case 'u': return u16(word);
        case 'c':
        case 'x': return int32_t(u32(word));
        default: return i16(word);
    }
}

int visitRecord(RecordVisitor& v, const Record& r) {
    switch (r.function()) {
#define QV_X(id, num, name, fields, tail) \
    case num: return v.on##id(r);
        QV_WMF_RECORDS(QV_X)
#undef QV_X
        default: return v.onUnknown(r);
    }
}

RecordBuilder::RecordBuilder(uint16_t function) {
    putU32(buf_, 0);
    putU16(buf_, function);
}

RecordBuilder& RecordBuilder::i16(int16_t v) {
    putI16(buf_, v);
    return *this;
}
RecordBuilder& RecordBuilder::u16(uint16_t v) {
    putU16(buf_, v);
    return *this;
}
RecordBuilder& RecordBuilder::u32(uint32_t v) {
    putU32(buf_, v);
    return *this;
}
RecordBuilder& RecordBuilder::bytes(ByteSpan b) {
    buf_.insert(buf_.end(), b.begin(), b.end());
    if (buf_.size() & 1) buf_.push_back(0);
    return *this;
}
RecordBuilder& RecordBuilder::text(std::string_view s) {
    return bytes(ByteSpan(reinterpret_cast<const uint8_t*>(s.data()), s.size()));
}

Bytes RecordBuilder::finish() const {
    Bytes out = buf_;
    wrU32(out.data(), uint32_t(out.size() / 2));
    return out;
}

}  // namespace qv::mf
