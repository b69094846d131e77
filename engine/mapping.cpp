#include "engine/mapping.h"

#include <algorithm>
#include <utility>
#include <vector>

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

Point16 turnVector(int rotation, int32_t dx, int32_t dy) {
    int64_t x = dx, y = dy;
    switch (rotation) {
        case 90: x = -int64_t(dy); y = dx; break;
        case 180: x = -int64_t(dx); y = -int64_t(dy); break;
        case 270: x = dy; y = -int64_t(dx); break;
        default: break;
    }
    return {low16(x), low16(y)};
}

namespace {

// The region object of a CREATEREGION record: an 11-word header (next in
// chain, object type, object count (32-bit), size in bytes, scan count,
// largest scan, bounding box left, top, right, bottom), then the scans, each
// a count of x coordinates, top, bottom, count / 2 (left, right) spans and
// the count again. Spans and bands are half-open: [left, right) x [top, bottom).
constexpr size_t kRegionHeaderBytes = 22;

struct Box {
    int64_t left, top, right, bottom;
};

struct Band {
    int64_t top, bottom;
    std::vector<std::pair<int64_t, int64_t>> spans;
};

bool fits16(int64_t v) { return v >= INT16_MIN && v <= INT16_MAX; }

// MapPoint without the wrap at 16 bits.
void mapExact(const Rect& w, int rotation, int64_t x, int64_t y, int64_t& nx, int64_t& ny) {
    nx = x;
    ny = y;
    switch (rotation) {
        case 0: nx = x - w.left; ny = y - w.top; break;
        case 90: nx = int64_t(w.bottom) - y; ny = x - w.left; break;
        case 180: nx = int64_t(w.right) - x; ny = int64_t(w.bottom) - y; break;
        case 270: nx = y - w.top; ny = int64_t(w.right) - x; break;
        default: break;
    }
}

// The box with both corners mapped, corners put in order; false when a
// coordinate would not fit.
bool mapBox(const Rect& w, int rotation, Box& b) {
    int64_t x1, y1, x2, y2;
    mapExact(w, rotation, b.left, b.top, x1, y1);
    mapExact(w, rotation, b.right, b.bottom, x2, y2);
    if (!fits16(x1) || !fits16(y1) || !fits16(x2) || !fits16(y2)) return false;
    b = {std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
    return true;
}

// The union of the boxes as bands: one band per run of rows that the same
// spans cover, overlapping and touching spans merged.
std::vector<Band> bandsOf(const std::vector<Box>& boxes) {
    std::vector<int64_t> edges;
    for (const Box& b : boxes) {
        edges.push_back(b.top);
        edges.push_back(b.bottom);
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    std::vector<Box> byTop = boxes;
    std::sort(byTop.begin(), byTop.end(), [](const Box& a, const Box& b) { return a.top < b.top; });

    std::vector<Band> bands;
    std::vector<Box> active;
    size_t next = 0;
    for (size_t e = 0; e + 1 < edges.size(); ++e) {
        const int64_t top = edges[e], bottom = edges[e + 1];
        active.erase(std::remove_if(active.begin(), active.end(),
                                    [&](const Box& b) { return b.bottom <= top; }),
                     active.end());
        while (next < byTop.size() && byTop[next].top <= top) active.push_back(byTop[next++]);
        std::vector<std::pair<int64_t, int64_t>> spans;
        for (const Box& b : active) spans.emplace_back(b.left, b.right);
        if (spans.empty()) continue;
        std::sort(spans.begin(), spans.end());
        std::vector<std::pair<int64_t, int64_t>> merged;
        for (const auto& sp : spans) {
            if (!merged.empty() && sp.first <= merged.back().second)
                merged.back().second = std::max(merged.back().second, sp.second);
            else
                merged.push_back(sp);
        }
        if (!bands.empty() && bands.back().bottom == top && bands.back().spans == merged)
            bands.back().bottom = bottom;
        else
            bands.push_back({top, bottom, std::move(merged)});
    }
    return bands;
}

}  // namespace

std::optional<Bytes> mapRegion(const Rect& work, int rotation, ByteSpan p) {
    if (p.size() < kRegionHeaderBytes) return std::nullopt;
    const size_t scans = getU16(p, 10);
    std::vector<Box> boxes;
    size_t off = kRegionHeaderBytes;
    for (size_t i = 0; i < scans; ++i) {
        if (!fits(p.size(), off, 6)) return std::nullopt;
        const size_t count = getU16(p, off);
        const int64_t top = getI16(p, off + 2), bottom = getI16(p, off + 4);
        const size_t bytes = 6 + 2 * count + 2;
        if (count % 2 != 0 || !fits(p.size(), off, bytes)) return std::nullopt;
        if (getU16(p, off + bytes - 2) != count) return std::nullopt;
        for (size_t k = 0; k < count / 2; ++k) {
            Box b{getI16(p, off + 6 + 4 * k), top, getI16(p, off + 8 + 4 * k), bottom};
            if (b.left >= b.right || b.top >= b.bottom) continue;  // covers nothing
            if (!mapBox(work, rotation, b)) return std::nullopt;
            if (b.left < b.right && b.top < b.bottom) boxes.push_back(b);
        }
        off += bytes;
    }

    const std::vector<Band> bands = bandsOf(boxes);
    size_t size = kRegionHeaderBytes, largest = 0;
    Box bounds{0, 0, 0, 0};
    for (size_t i = 0; i < bands.size(); ++i) {
        const Band& b = bands[i];
        size += 8 + 4 * b.spans.size();
        largest = std::max(largest, 2 * b.spans.size());
        const Box box{b.spans.front().first, b.top, b.spans.back().second, b.bottom};
        if (i == 0) {
            bounds = box;
        } else {
            bounds.left = std::min(bounds.left, box.left);
            bounds.right = std::max(bounds.right, box.right);
            bounds.bottom = box.bottom;
        }
    }
    if (size > size_t(INT16_MAX) || bands.size() > size_t(INT16_MAX)) return std::nullopt;
    if (bands.empty()) {
        // An empty region keeps its bounding box, mapped.
        Box b{getI16(p, 14), getI16(p, 16), getI16(p, 18), getI16(p, 20)};
        if (mapBox(work, rotation, b)) bounds = b;
    }

    Bytes out(p.begin(), p.begin() + 8);  // next in chain, object type, object count
    putU16(out, uint16_t(size));
    putU16(out, uint16_t(bands.size()));
    putU16(out, uint16_t(largest));
    putI16(out, int16_t(bounds.left));
    putI16(out, int16_t(bounds.top));
    putI16(out, int16_t(bounds.right));
    putI16(out, int16_t(bounds.bottom));
    for (const Band& b : bands) {
        const uint16_t count = uint16_t(2 * b.spans.size());
        putU16(out, count);
        putI16(out, int16_t(b.top));
        putI16(out, int16_t(b.bottom));
        for (const auto& sp : b.spans) {
            putI16(out, int16_t(sp.first));
            putI16(out, int16_t(sp.second));
        }
        putU16(out, count);
    }
    return out;
}

}  // namespace qv
