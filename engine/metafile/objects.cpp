#include <algorithm>
#include <array>
#include <functional>

#include "engine/metafile/gdi.h"

namespace qv::mf {

namespace {

constexpr uint16_t kPsSolid = 0;
constexpr uint16_t kPsDash = 1;
constexpr uint16_t kPsDashDotDot = 4;
constexpr uint16_t kPsNull = 5;
constexpr uint16_t kPsStyleMask = 0x000F;  // end-cap and join bits are not kept
constexpr uint16_t kBsSolid = 0;
constexpr uint16_t kBsNull = 1;
constexpr size_t kLogFontBytes = 18;
constexpr size_t kFaceBytes = 32;

GdiObjectPtr makeObject(ObjectKind kind, Fn function, Bytes params, bool stock = false) {
    auto obj = std::make_shared<GdiObject>();
    obj->kind = kind;
    obj->stock = stock;
    obj->createFunction = uint16_t(function);
    obj->createParams = std::move(params);
    return obj;
}

Bytes penParams(uint16_t style, int16_t width, uint32_t color) {
    Bytes p(10);
    wrU16(&p[0], style);
    wrU16(&p[2], uint16_t(width));
    wrU16(&p[4], 0);
    wrU32(&p[6], color);
    return p;
}

Bytes brushParams(uint16_t style, uint32_t color, uint16_t hatch) {
    Bytes p(8);
    wrU16(&p[0], style);
    wrU32(&p[2], color);
    wrU16(&p[6], hatch);
    return p;
}

Bytes fontParams(const Record& r) {
    ByteSpan in = r.params();
    Bytes p(kLogFontBytes + kFaceBytes, 0);
    std::copy_n(in.begin(), std::min(in.size(), kLogFontBytes), p.begin());
    // The face name up to its NUL; whatever followed the NUL is not kept.
    for (size_t i = 0; i < kFaceBytes && kLogFontBytes + i < in.size(); ++i) {
        uint8_t c = in[kLogFontBytes + i];
        if (c == 0) break;
        p[kLogFontBytes + i] = c;
    }
    return p;
}

Bytes prefix(const Record& r, size_t bytes) {
    ByteSpan p = r.params();
    return Bytes(p.begin(), p.begin() + ptrdiff_t(std::min(bytes, p.size())));
}

}  // namespace

LogFont LogFont::fromParams(ByteSpan p) {
    LogFont f;
    f.height = getI16(p, 0);
    f.width = getI16(p, 2);
    f.escapement = getI16(p, 4);
    f.orientation = getI16(p, 6);
    f.weight = getI16(p, 8);
    auto byte = [&](size_t off) -> uint8_t { return off < p.size() ? p[off] : 0; };
    f.italic = byte(10);
    f.underline = byte(11);
    f.strikeOut = byte(12);
    f.charSet = byte(13);
    f.outPrecision = byte(14);
    f.clipPrecision = byte(15);
    f.quality = byte(16);
    f.pitchAndFamily = byte(17);
    for (size_t i = kLogFontBytes; i < p.size() && i < kLogFontBytes + kFaceBytes && p[i]; ++i)
        f.faceName.push_back(char(p[i]));
    return f;
}

uint32_t GdiObject::color() const {
    if (createFunction == uint16_t(Fn::CreatePenIndirect)) return getU32(createParams, 6);
    if (createFunction == uint16_t(Fn::CreateBrushIndirect)) return getU32(createParams, 2);
    return 0;
}

const GdiObjectPtr& GetStockObject(StockObject which) {
    static const std::array<GdiObjectPtr, 5> stock = [] {
        Bytes systemFont(kLogFontBytes + kFaceBytes, 0);
        wrU16(&systemFont[0], 16);   // height
        wrU16(&systemFont[8], 700);  // weight
        const char face[] = "System";
        std::copy(face, face + 6, systemFont.begin() + kLogFontBytes);
        return std::array<GdiObjectPtr, 5>{
            makeObject(ObjectKind::Pen, Fn::CreatePenIndirect, penParams(0, 0, 0), true),
            makeObject(ObjectKind::Pen, Fn::CreatePenIndirect, penParams(kPsNull, 1, 0), true),
            makeObject(ObjectKind::Brush, Fn::CreateBrushIndirect, brushParams(kBsSolid, 0xFFFFFF, 0), true),
            makeObject(ObjectKind::Brush, Fn::CreateBrushIndirect, brushParams(kBsNull, 0, 0), true),
            makeObject(ObjectKind::Font, Fn::CreateFontIndirect, systemFont, true),
        };
    }();
    return stock[size_t(which)];
}

GdiObjectPtr CreatePen(uint16_t style, int16_t width, uint32_t color) {
    style &= kPsStyleMask;
    if (style == kPsNull) return GetStockObject(StockObject::NullPen);
    // Dashes and dots are drawn only by thin pens: a wider one is solid.
    if (style >= kPsDash && style <= kPsDashDotDot && (width > 1 || width < -1)) style = kPsSolid;
    return makeObject(ObjectKind::Pen, Fn::CreatePenIndirect, penParams(style, width, color));
}

GdiObjectPtr CreateSolidBrush(uint32_t color) {
    return makeObject(ObjectKind::Brush, Fn::CreateBrushIndirect, brushParams(kBsSolid, color, 0));
}

GdiObjectPtr createObjectFromRecord(const Record& r) {
    switch (Fn(r.function())) {
        case Fn::CreatePenIndirect: return CreatePen(r.u16(0), r.i16(1), r.u32(3));
        case Fn::CreateBrushIndirect: {
            uint16_t style = r.u16(0);
            if (style == kBsNull) return GetStockObject(StockObject::NullBrush);
            uint16_t hatch = style == kBsSolid ? 0 : r.u16(3);
            return makeObject(ObjectKind::Brush, Fn::CreateBrushIndirect,
                              brushParams(style, r.u32(1), hatch));
        }
        case Fn::CreateFontIndirect:
            return makeObject(ObjectKind::Font, Fn::CreateFontIndirect, fontParams(r));
        case Fn::CreatePalette:
            return makeObject(ObjectKind::Palette, Fn::CreatePalette, prefix(r, 4 + 4 * size_t(r.u16(1))));
        case Fn::CreateRegion:
            return makeObject(ObjectKind::Region, Fn::CreateRegion, prefix(r, r.byteSize()));
        case Fn::DibCreatePatternBrush:
            return makeObject(ObjectKind::Brush, Fn::DibCreatePatternBrush, prefix(r, r.byteSize()));
        case Fn::CreatePatternBrush:
            return makeObject(ObjectKind::Brush, Fn::CreatePatternBrush, prefix(r, r.byteSize()));
        default: return nullptr;
    }
}

bool DeleteObject(const GdiObjectPtr& obj) {
    if (!obj) return false;
    if (obj->stock) return true;
    if (obj->selectedIn > 0) return false;
    auto holders = std::move(obj->recordedIn);
    obj->recordedIn.clear();
    for (RecordingDc* dc : holders) dc->forget(*obj);
    return true;
}

HandleTable::HandleTable(size_t slots) : slots_(slots), free_(slots) {
    // Ascending order is already a min-heap.
    for (size_t i = 0; i < slots; ++i) free_[i] = i;
}

size_t HandleTable::add(GdiObjectPtr obj) {
    if (!obj) return kMaxSlots;  // nothing to keep: no slot is taken
    if (!free_.empty()) {
        std::pop_heap(free_.begin(), free_.end(), std::greater<>());
        size_t slot = free_.back();
        free_.pop_back();
        slots_[slot] = std::move(obj);
        return slot;
    }
    // A header that counts too few objects: keep the object rather than lose it.
    if (slots_.size() >= kMaxSlots) return kMaxSlots;
    slots_.push_back(std::move(obj));
    return slots_.size() - 1;
}

void HandleTable::clear(size_t slot) {
    if (slot >= slots_.size() || !slots_[slot]) return;
    slots_[slot].reset();
    free_.push_back(slot);
    std::push_heap(free_.begin(), free_.end(), std::greater<>());
}

}  // namespace qv::mf
