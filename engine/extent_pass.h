// The extent pass: one walk over a picture's records that finds what is
// drawn (text included), the first window extent, the background colour and
// the colour-palette column, without drawing anything.
#pragma once

#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/metafile/metafile.h"

namespace qv {

struct ExtentResult {
    Rect Extent{32767, 32767, -32767, -32767};
    Size WindowExt;             // first SETWINDOWEXT (unsigned 16-bit), or 0, 0
    bool HasWindowExt = false;  // the picture has a SETWINDOWEXT record
};

// Walks the picture; sets the engine's oPalette, BackgroundColor and leaves
// the pass state as the walk ended it.
ExtentResult ComputeExtents(Engine& engine, const mf::Metafile& picture, bool intelliCadPalette);

// Widens the accumulator by one point, unless inside a skipped block.
inline void AddPoint(EngineState& s, int32_t x, int32_t y) {
    if (s.SkipNested) return;
    if (x < s.WorkRect.left) s.WorkRect.left = x;
    if (y < s.WorkRect.top) s.WorkRect.top = y;
    if (x > s.WorkRect.right) s.WorkRect.right = x;
    if (y > s.WorkRect.bottom) s.WorkRect.bottom = y;
}

// The rectangle a render starts from: the frame, or with crop on the extent
// with its margin (a percentage of the extent's width, on all four sides,
// kept within 0..32760).
Rect CropRect(const WmfSettings& settings, const Rect& extent, const Rect& frame);

}  // namespace qv
