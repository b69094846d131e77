#include "picture_builder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/metafile/records.h"
#include "engine/render.h"
#include "support/test_support.h"

namespace qv {

void PrintTo(const Rect& r, std::ostream* os) {
    *os << "(" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom << ")";
}

void PrintTo(const Size& s, std::ostream* os) {
    *os << s.cx << " x " << s.cy;
}

void PrintTo(const Point16& p, std::ostream* os) {
    *os << "(" << p.x << ", " << p.y << ")";
}

}  // namespace qv

namespace qv::test {

using mf::Bytes;
using mf::Fn;
using mf::RecordBuilder;

namespace {

RecordBuilder builder(Fn fn) {
    return RecordBuilder(uint16_t(fn));
}

Bytes points(Fn fn, const std::vector<Pt>& pts) {
    RecordBuilder b = builder(fn);
    b.u16(uint16_t(pts.size()));
    for (const Pt& p : pts) b.i16(p.x).i16(p.y);
    return b.finish();
}

Bytes boxAndEnds(Fn fn, Rect16 box, Pt start, Pt end) {
    return builder(fn)
        .i16(end.y)
        .i16(end.x)
        .i16(start.y)
        .i16(start.x)
        .i16(box.bottom)
        .i16(box.right)
        .i16(box.top)
        .i16(box.left)
        .finish();
}

Bytes box(Fn fn, int16_t left, int16_t top, int16_t right, int16_t bottom) {
    return builder(fn).i16(bottom).i16(right).i16(top).i16(left).finish();
}

bool isCreate(uint16_t fn) {
    switch (Fn(fn)) {
        case Fn::CreatePenIndirect:
        case Fn::CreateBrushIndirect:
        case Fn::CreateFontIndirect:
        case Fn::CreatePalette:
        case Fn::CreateRegion:
        case Fn::DibCreatePatternBrush:
        case Fn::CreatePatternBrush:
            return true;
        default:
            return false;
    }
}

}  // namespace

namespace rec {

Bytes lineTo(int16_t x, int16_t y) {
    return builder(Fn::LineTo).i16(y).i16(x).finish();
}
Bytes moveTo(int16_t x, int16_t y) {
    return builder(Fn::MoveTo).i16(y).i16(x).finish();
}
Bytes setPixel(int16_t x, int16_t y, uint32_t color) {
    return builder(Fn::SetPixel).u32(color).i16(y).i16(x).finish();
}
Bytes polygon(const std::vector<Pt>& pts) {
    return points(Fn::Polygon, pts);
}
Bytes polyline(const std::vector<Pt>& pts) {
    return points(Fn::Polyline, pts);
}

Bytes polyPolygon(const std::vector<std::vector<Pt>>& polygons) {
    RecordBuilder b = builder(Fn::PolyPolygon);
    b.u16(uint16_t(polygons.size()));
    for (const auto& poly : polygons) b.u16(uint16_t(poly.size()));
    for (const auto& poly : polygons)
        for (const Pt& p : poly) b.i16(p.x).i16(p.y);
    return b.finish();
}

Bytes rectangle(int16_t left, int16_t top, int16_t right, int16_t bottom) {
    return box(Fn::Rectangle, left, top, right, bottom);
}
Bytes ellipse(int16_t left, int16_t top, int16_t right, int16_t bottom) {
    return box(Fn::Ellipse, left, top, right, bottom);
}
Bytes roundRect(int16_t left, int16_t top, int16_t right, int16_t bottom, int16_t width,
                int16_t height) {
    return builder(Fn::RoundRect)
        .i16(height)
        .i16(width)
        .i16(bottom)
        .i16(right)
        .i16(top)
        .i16(left)
        .finish();
}

Bytes arc(Rect16 b, Pt start, Pt end) {
    return boxAndEnds(Fn::Arc, b, start, end);
}
Bytes pie(Rect16 b, Pt start, Pt end) {
    return boxAndEnds(Fn::Pie, b, start, end);
}
Bytes chord(Rect16 b, Pt start, Pt end) {
    return boxAndEnds(Fn::Chord, b, start, end);
}

Bytes textOut(int16_t x, int16_t y, std::string_view text) {
    return builder(Fn::TextOut).u16(uint16_t(text.size())).text(text).i16(y).i16(x).finish();
}

Bytes extTextOut(int16_t x, int16_t y, std::string_view text, uint16_t options,
                 std::optional<Rect16> rect, const std::vector<uint16_t>& advances,
                 size_t extraWords) {
    RecordBuilder b = builder(Fn::ExtTextOut);
    b.i16(y).i16(x).u16(uint16_t(text.size())).u16(options);
    if (rect) b.i16(rect->left).i16(rect->top).i16(rect->right).i16(rect->bottom);
    b.text(text);
    for (uint16_t a : advances) b.u16(a);
    for (size_t i = 0; i < extraWords; ++i) b.u16(0);
    return b.finish();
}

Bytes patBlt(int16_t x, int16_t y, int16_t width, int16_t height) {
    return builder(Fn::PatBlt).u32(0x00F00021).i16(height).i16(width).i16(y).i16(x).finish();
}

Bytes saveDc() {
    return builder(Fn::SaveDc).finish();
}
Bytes restoreDc(int16_t saved) {
    return builder(Fn::RestoreDc).i16(saved).finish();
}
Bytes setWindowOrg(int16_t x, int16_t y) {
    return builder(Fn::SetWindowOrg).i16(y).i16(x).finish();
}
Bytes setWindowExt(uint16_t x, uint16_t y) {
    return builder(Fn::SetWindowExt).u16(y).u16(x).finish();
}
Bytes setTextAlign(uint16_t align) {
    return builder(Fn::SetTextAlign).u16(align).finish();
}

Bytes createPen(uint32_t color, uint16_t style, int16_t width) {
    return builder(Fn::CreatePenIndirect).u16(style).i16(width).i16(0).u32(color).finish();
}

Bytes createBrush(uint32_t color) {
    return builder(Fn::CreateBrushIndirect).u16(0).u32(color).u16(0).finish();
}

Bytes createFont(const mf::LogFont& f) {
    const uint8_t flags[8] = {f.italic,       f.underline,     f.strikeOut, f.charSet,
                              f.outPrecision, f.clipPrecision, f.quality,   f.pitchAndFamily};
    std::string face = f.faceName;
    face.push_back('\0');
    return builder(Fn::CreateFontIndirect)
        .i16(f.height)
        .i16(f.width)
        .i16(f.escapement)
        .i16(f.orientation)
        .i16(f.weight)
        .bytes(mf::ByteSpan(flags, sizeof flags))
        .text(face)
        .finish();
}

Bytes createRegion() {
    // Region header: next in chain, type, count, size, scan count, largest
    // scan, bounding box; no scans.
    RecordBuilder b = builder(Fn::CreateRegion);
    b.u16(0).u16(6).u32(0).u16(22).u16(0).u16(0);
    b.i16(0).i16(0).i16(10).i16(10);
    return b.finish();
}

Bytes createPatternBrush() {
    // An old 8x8 monochrome bitmap: its header, the reserved bytes, the bits.
    RecordBuilder b = builder(Fn::CreatePatternBrush);
    b.u16(0).u16(8).u16(8).u16(2).u16(0x0101);
    for (int i = 0; i < 9; ++i) b.u16(0);
    for (int i = 0; i < 8; ++i) b.u16(0x00AA);
    return b.finish();
}

Bytes selectObject(uint16_t slot) {
    return builder(Fn::SelectObject).u16(slot).finish();
}
Bytes deleteObject(uint16_t slot) {
    return builder(Fn::DeleteObject).u16(slot).finish();
}

Bytes dib(int32_t width, int32_t height) {
    Bytes b;
    mf::putU32(b, 40);
    mf::putU32(b, uint32_t(width));
    mf::putU32(b, uint32_t(height));
    mf::putU16(b, 1);
    mf::putU16(b, 24);
    for (int i = 0; i < 6; ++i) mf::putU32(b, 0);
    const size_t stride = (size_t(width) * 24 + 31) / 32 * 4;
    b.resize(b.size() + stride * size_t(height < 0 ? -height : height), 0x80);
    return b;
}

Bytes stretchDib(int16_t xDest, int16_t yDest, int16_t destWidth, int16_t destHeight) {
    return builder(Fn::StretchDib)
        .u32(0x00CC0020)
        .u16(0)
        .i16(1)
        .i16(1)
        .i16(0)
        .i16(0)
        .i16(destHeight)
        .i16(destWidth)
        .i16(yDest)
        .i16(xDest)
        .bytes(dib(1, 1))
        .finish();
}

Bytes dibStretchBlt(int16_t xDest, int16_t yDest, int16_t destWidth, int16_t destHeight,
                    bool withBitmap) {
    RecordBuilder b = builder(Fn::DibStretchBlt);
    b.u32(0x00CC0020).i16(1).i16(1).i16(0).i16(0);
    if (!withBitmap) b.u16(0);  // reserved
    b.i16(destHeight).i16(destWidth).i16(yDest).i16(xDest);
    if (withBitmap) b.bytes(dib(1, 1));
    return b.finish();
}

Bytes dibBitBltNoBitmap(int16_t xDest, int16_t yDest, int16_t width, int16_t height) {
    return builder(Fn::DibBitBlt)
        .u32(0x00FF0062)
        .u16(0)
        .i16(0)
        .i16(0)
        .i16(height)
        .i16(width)
        .i16(yDest)
        .i16(xDest)
        .finish();
}

Bytes setMapMode(uint16_t mode) {
    return builder(Fn::SetMapMode).u16(mode).finish();
}
Bytes setViewportOrg(int16_t x, int16_t y) {
    return builder(Fn::SetViewportOrg).i16(y).i16(x).finish();
}
Bytes setViewportExt(int16_t x, int16_t y) {
    return builder(Fn::SetViewportExt).i16(y).i16(x).finish();
}
Bytes setBkColor(uint32_t color) {
    return builder(Fn::SetBkColor).u32(color).finish();
}
Bytes setTextColor(uint32_t color) {
    return builder(Fn::SetTextColor).u32(color).finish();
}
Bytes excludeClipRect(int16_t left, int16_t top, int16_t right, int16_t bottom) {
    return box(Fn::ExcludeClipRect, left, top, right, bottom);
}
Bytes intersectClipRect(int16_t left, int16_t top, int16_t right, int16_t bottom) {
    return box(Fn::IntersectClipRect, left, top, right, bottom);
}

Bytes stretchDibOf(int16_t xDest, int16_t yDest, int16_t destWidth, int16_t destHeight,
                   const Bytes& dib, uint16_t usage) {
    const int32_t w = int32_t(mf::getU32(dib, 4)), h = int32_t(mf::getU32(dib, 8));
    return builder(Fn::StretchDib)
        .u32(0x00CC0020)
        .u16(usage)
        .i16(int16_t(h < 0 ? -h : h))
        .i16(int16_t(w))
        .i16(0)
        .i16(0)
        .i16(destHeight)
        .i16(destWidth)
        .i16(yDest)
        .i16(xDest)
        .bytes(dib)
        .finish();
}

Bytes dibStretchBltOf(int16_t xDest, int16_t yDest, int16_t destWidth, int16_t destHeight,
                      const Bytes& dib) {
    const int32_t w = int32_t(mf::getU32(dib, 4)), h = int32_t(mf::getU32(dib, 8));
    return builder(Fn::DibStretchBlt)
        .u32(0x00CC0020)
        .i16(int16_t(h < 0 ? -h : h))
        .i16(int16_t(w))
        .i16(0)
        .i16(0)
        .i16(destHeight)
        .i16(destWidth)
        .i16(yDest)
        .i16(xDest)
        .bytes(dib)
        .finish();
}

}  // namespace rec

namespace {

Bytes infoHeader(int32_t width, int32_t height, uint16_t bitCount, uint32_t compression,
                 uint32_t sizeImage) {
    Bytes b;
    mf::putU32(b, 40);
    mf::putU32(b, uint32_t(width));
    mf::putU32(b, uint32_t(height));
    mf::putU16(b, 1);
    mf::putU16(b, bitCount);
    mf::putU32(b, compression);
    mf::putU32(b, sizeImage);
    for (int i = 0; i < 4; ++i) mf::putU32(b, 0);
    return b;
}

void greyTable(Bytes& b, size_t entries) {
    for (size_t i = 0; i < entries; ++i) {
        const uint8_t v = uint8_t(i * 255 / (entries - 1));
        b.insert(b.end(), {v, v, v, 0});
    }
}

}  // namespace

Bytes patternDib(int32_t width, int32_t height, uint16_t bitCount, bool topDown) {
    const size_t rows = size_t(height);
    const size_t stride = (size_t(width) * bitCount + 31) / 32 * 4;
    const size_t used = (size_t(width) * bitCount + 7) / 8;
    Bytes b = infoHeader(width, topDown ? -height : height, bitCount, 0, uint32_t(stride * rows));
    if (bitCount <= 8) greyTable(b, size_t(1) << bitCount);
    // Bits past the last pixel of a row are 0, as a turned bitmap has them.
    const size_t lastBits = (size_t(width) * bitCount) % 8;
    const uint8_t lastMask = lastBits ? uint8_t(0xFF << (8 - lastBits)) : 0xFF;
    for (size_t r = 0; r < rows; ++r) {
        for (size_t i = 0; i < stride; ++i) {
            uint8_t v = i < used ? uint8_t(1 + (r * 37 + i * 11) % 251) : 0;
            if (i + 1 == used) v &= lastMask;
            b.push_back(v);
        }
    }
    return b;
}

Bytes rle8Dib(int32_t width, int32_t height) {
    Bytes runs;
    for (int32_t r = 0; r < height; ++r) {
        runs.insert(runs.end(), {uint8_t(width), uint8_t(r + 1), 0, 0});  // run, end of line
    }
    runs.insert(runs.end(), {0, 1});  // end of bitmap
    Bytes b = infoHeader(width, height, 8, 1, uint32_t(runs.size()));
    greyTable(b, 256);
    b.insert(b.end(), runs.begin(), runs.end());
    return b;
}

mf::LogFont font(std::string face, int16_t height, int16_t orientation, int16_t escapement) {
    mf::LogFont f;
    f.faceName = std::move(face);
    f.height = height;
    f.weight = 400;
    f.orientation = orientation;
    f.escapement = escapement;
    return f;
}

PictureBuilder::PictureBuilder(std::initializer_list<Bytes> records) : records_(records) {}

PictureBuilder& PictureBuilder::add(Bytes record) {
    records_.push_back(std::move(record));
    return *this;
}

PictureBuilder& PictureBuilder::withoutEof() {
    eof_ = false;
    return *this;
}

PictureBuilder& PictureBuilder::headerType(uint16_t type) {
    type_ = type;
    return *this;
}

PictureBuilder& PictureBuilder::extraSizeWords(uint32_t words) {
    extraSizeWords_ = words;
    return *this;
}

Bytes PictureBuilder::wmf() const {
    Bytes body;
    uint32_t largest = 3;
    std::vector<bool> slots;
    size_t inUse = 0, peak = 0;
    for (const Bytes& r : records_) {
        body.insert(body.end(), r.begin(), r.end());
        largest = std::max(largest, uint32_t((r.size() + 1) / 2));
        if (r.size() < 6) continue;
        const uint16_t fn = mf::rdU16(&r[4]);
        if (isCreate(fn)) {
            size_t slot = size_t(std::find(slots.begin(), slots.end(), false) - slots.begin());
            if (slot == slots.size()) slots.push_back(false);
            slots[slot] = true;
            peak = std::max(peak, ++inUse);
        } else if (fn == uint16_t(Fn::DeleteObject) && r.size() >= 8) {
            size_t slot = mf::rdU16(&r[6]);
            if (slot < slots.size() && slots[slot]) {
                slots[slot] = false;
                --inUse;
            }
        }
    }
    if (eof_) {
        mf::putU32(body, 3);
        mf::putU16(body, 0);
    }
    Bytes out(mf::MetaHeader::kBytes);
    mf::MetaHeader h;
    h.type = type_;
    h.sizeWords = uint32_t((out.size() + body.size() + 1) / 2) + extraSizeWords_;
    h.numObjects = uint16_t(peak);
    h.maxRecord = largest;
    h.write(out.data());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

mf::MetafileHandle PictureBuilder::picture() const {
    std::string error;
    Bytes bits = wmf();
    mf::MetafileHandle h = mf::parseMetafile(bits, &error);
    EXPECT_NE(h, nullptr) << "the test picture is refused: " << error;
    return h;
}

uint16_t xorOfFirstTenWords(mf::ByteSpan b) {
    uint16_t x = 0;
    for (size_t i = 0; i < 20; i += 2) x ^= uint16_t(b[i] | (b[i + 1] << 8));
    return x;
}

Bytes placeable(const Bytes& wmf, PlaceableFields f, std::optional<uint16_t> checksum) {
    Bytes out;
    mf::putU32(out, 0x9AC6CDD7);
    mf::putU16(out, 0);
    mf::putI16(out, f.left);
    mf::putI16(out, f.top);
    mf::putI16(out, f.right);
    mf::putI16(out, f.bottom);
    mf::putU16(out, f.inch);
    mf::putU32(out, 0);
    mf::putU16(out, checksum ? *checksum : xorOfFirstTenWords(out));
    out.insert(out.end(), wmf.begin(), wmf.end());
    return out;
}

std::vector<Bytes> recordsOf(const mf::Metafile& picture) {
    std::vector<Bytes> out;
    mf::forEachRecord(picture, [&](const mf::Record& r, size_t) {
        out.emplace_back(r.data(), r.data() + r.byteSize());
    });
    return out;
}

void loadPlaceableBytes(Engine& engine, CMetafile& picture, const Bytes& file, double viewHeight) {
    TempDir dir;
    const std::filesystem::path path = dir / "picture.wmf";
    writeFile(path, file);
    picture.LoadPlaceableFile(engine, path, viewHeight);
}

mf::MetafileHandle renderToPicture(Engine& engine, CMetafile& picture, Size* size) {
    auto dc = mf::CreateMetaFileW();
    Size s = Render(engine, picture, *dc);
    if (size) *size = s;
    return mf::CloseMetaFile(std::move(dc));
}

}  // namespace qv::test
