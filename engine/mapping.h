// Moving and turning coordinates: the crop rectangle's corner becomes the
// output's origin and the picture turns by 0, 90, 180 or 270 degrees.
//
// Results are stored back into 16-bit record fields, so they wrap at 16 bits.
#pragma once

#include <cstdint>
#include <optional>

#include "engine/engine_state.h"
#include "engine/metafile/records.h"

namespace qv {

struct Point16 {
    int16_t x = 0, y = 0;
    bool operator==(const Point16&) const = default;
};

// The point mapping; `work` is the crop rectangle (minX, minY, maxX, maxY).
// A rotation other than 0, 90, 180 and 270 leaves the point as it is.
// The arithmetic is 64-bit (a clipboard picture may bring any 32-bit frame);
// only the low 16 bits of the result are kept, as the record field holds them.
inline Point16 MapPoint(const Rect& w, int rotation, int32_t x, int32_t y) {
    int64_t nx = x, ny = y;
    switch (rotation) {
        case 0: nx = int64_t(x) - w.left; ny = int64_t(y) - w.top; break;
        case 90: nx = int64_t(w.bottom) - y; ny = int64_t(x) - w.left; break;
        case 180: nx = int64_t(w.right) - x; ny = int64_t(w.bottom) - y; break;
        case 270: nx = int64_t(y) - w.top; ny = int64_t(w.right) - x; break;
        default: break;
    }
    return {int16_t(uint16_t(uint64_t(nx))), int16_t(uint16_t(uint64_t(ny)))};
}

// MapPoint over `count` (x, y) pairs of 16-bit words stored at `p`, in place.
void mapPointArray(const Rect& work, int rotation, uint8_t* p, size_t count);

// MapPoint applied in place to the record's parameter words xWord, yWord.
void mapRecordPoint(const Rect& work, int rotation, const mf::Record& r, size_t xWord, size_t yWord);

// SETWINDOWEXT: remembers the first and current extent, scales it to the
// crop rectangle when cropping, swaps it for 90 and 270.
void applyWindowExtRule(EngineState& s, int rotation, bool crop, const mf::Record& r);

// SETWINDOWORG after the picture's first one, when cropping: the origin is
// mapped and moved by the crop corner in the block's own scale.
void applyWindowOrgRule(EngineState& s, int rotation, const mf::Record& r);

// CREATEFONTINDIRECT: escapement and orientation turn with the picture.
void applyFontRule(int rotation, const mf::Record& r);

// A rectangle given by its corner and size (PATBLT, the bitmap records): its
// centre is mapped. Returns the centre; the caller turns the size and then
// calls placeFromCentre with the sizes as they are.
Point16 mapCentre(const Rect& work, int rotation, int32_t x, int32_t y, int32_t width, int32_t height);
Point16 placeFromCentre(Point16 centre, int32_t width, int32_t height);

// An offset (a difference of two points, as OFFSETWINDOWORG holds it) turned
// the way MapPoint turns the points: the crop corner cancels out.
Point16 turnVector(int rotation, int32_t dx, int32_t dy);

// The parameters of a CREATEREGION record with every rectangle of the region
// mapped, rebuilt as a valid region (bands from top to bottom, each with its
// spans from left to right); std::nullopt when the region is damaged, when a
// mapped coordinate would not fit in 16 bits or the rebuilt region in its
// 16-bit size field.
std::optional<mf::Bytes> mapRegion(const Rect& work, int rotation, mf::ByteSpan params);

}  // namespace qv
