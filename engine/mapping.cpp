#include "engine/mapping.h"

#include <algorithm>

#include "engine/metafile/muldiv.h"

namespace qv {

using namespace mf;

namespace {

// One loop per rotation, so that the rotation is decided once per record.
template <class Map>
void mapEach(uint8_t* p, size_t count, Map map) {
    for (size_t i = 0; i < count; ++i, p += 4) {
        int64_t x = rdI16(p), y = rdI16(p + 2);
        int64_t nx, ny;
        map(x, y, nx, ny);
        wrU16(p, uint16_t(uint64_t(nx)));
        wrU16(p + 2, uint16_t(uint64_t(ny)));
    }
}

}  // namespace

void mapPointArray(const Rect& w, int rotation, uint8_t* p, size_t count) {
    const int64_t left = w.left, top = w.top, right = w.right, bottom = w.bottom;
    using I = int64_t;
    switch (rotation) {
        case 0: mapEach(p, count, [&](I x, I y, I& nx, I& ny) { nx = x - left; ny = y - top; }); break;
        case 90: mapEach(p, count, [&](I x, I y, I& nx, I& ny) { nx = bottom - y; ny = x - left; }); break;
        case 180: mapEach(p, count, [&](I x, I y, I& nx, I& ny) { nx = right - x; ny = bottom - y; }); break;
        case 270: mapEach(p, count, [&](I x, I y, I& nx, I& ny) { nx = y - top; ny = right - x; }); break;
        default: break;
    }
}

void mapRecordPoint(const Rect& work, int rotation, const Record& r, size_t xWord, size_t yWord) {
    if (!r.has(xWord) || !r.has(yWord)) return;
    Point16 p = MapPoint(work, rotation, r.i16(xWord), r.i16(yWord));
    r.setI16(xWord, p.x);
    r.setI16(yWord, p.y);
}

namespace {

// MulDiv, or `fallback` when the divisor is 0 (a zero window extent has no scale).
int64_t scaled(int64_t a, int64_t b, int64_t c, int64_t fallback) {
    auto fit = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    return c == 0 ? fallback : MulDiv(fit(a), fit(b), fit(c));
}

int16_t low16(int64_t v) { return int16_t(uint16_t(uint64_t(v))); }

bool quarterTurn(int rotation) { return rotation == 90 || rotation == 270; }

}  // namespace

void applyWindowExtRule(EngineState& s, int rotation, bool crop, const Record& r) {
    int64_t x = r.i16(1), y = r.i16(0);
    if (s.FirstExt) s.FirstExtent = {int32_t(x), int32_t(y)};
    s.CurrentExtent = {int32_t(x), int32_t(y)};
    const Rect& w = s.WorkRect;
    if (crop) {
        x = scaled(x, int64_t(w.right) - w.left, s.FirstExtent.cx, x);
        y = scaled(y, int64_t(w.bottom) - w.top, s.FirstExtent.cy, y);
    }
    if (quarterTurn(rotation)) std::swap(x, y);
    r.setI16(1, low16(x));
    r.setI16(0, low16(y));
}

void applyWindowOrgRule(EngineState& s, int rotation, const Record& r) {
    const Rect& w = s.WorkRect;
    Point16 p = MapPoint(w, rotation, r.i16(1), r.i16(0));
    int64_t x = p.x, y = p.y;
    const int32_t fx = s.FirstExtent.cx, fy = s.FirstExtent.cy;
    const int32_t cx = s.CurrentExtent.cx, cy = s.CurrentExtent.cy;
    switch (rotation) {
        case 0:
            x += scaled(w.left, cx, fx, 0);
            y += scaled(w.top, cy, fy, 0);
            break;
        case 90:
            x -= scaled(w.bottom, cy, fy, 0);
            y += scaled(w.left, cx, fx, 0);
            break;
        case 180:
            x -= scaled(w.right, cx, fx, 0);
            y -= scaled(w.bottom, cy, fy, 0);
            break;
        case 270:
            x += scaled(w.top, cy, fy, 0);
            y -= scaled(w.right, cx, fx, 0);
            break;
        default: break;
    }
    r.setI16(1, low16(x));
    r.setI16(0, low16(y));
    s.BlockDepth = s.SaveDepth - 1;
}

void applyFontRule(int rotation, const Record& r) {
    int64_t turn = 10 * int64_t(rotation);
    r.setI16(2, low16(r.i16(2) - turn));  // escapement
    r.setI16(3, low16(r.i16(3) - turn));  // orientation
}

Point16 mapCentre(const Rect& work, int rotation, int32_t x, int32_t y, int32_t width, int32_t height) {
    return MapPoint(work, rotation, x + width / 2, y + height / 2);
}

Point16 placeFromCentre(Point16 c, int32_t width, int32_t height) {
    return {low16(int64_t(c.x) - width / 2), low16(int64_t(c.y) - height / 2)};
}

}  // namespace qv
