// The state that the record passes share.
#pragma once

#include <cstdint>

#include "engine/metafile/bytes.h"

namespace qv {

struct Rect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const Rect&) const = default;
};

struct Size {
    int32_t cx = 0, cy = 0;
    bool operator==(const Size&) const = default;
};

// What the last rewriting pass changed, for the reports of the programs.
struct RewriteStats {
    int32_t RecordsIn = 0;
    int32_t RecordsOut = 0;
    int32_t PensRewritten = 0;    // pens whose width or colour changed
    int32_t FillsRewritten = 0;   // brushes whose colour changed
    int32_t ColorsRewritten = 0;  // text, background and pixel colours changed
    int32_t OutlinesRemoved = 0;  // retraced outlines left out
    int32_t BackgroundsRemoved = 0;
    int32_t BackgroundsKept = 0;
    int32_t BitmapsTurned = 0;
    int32_t BitmapsNotTurned = 0;  // compressed or damaged bitmaps placed as they are
    int32_t EmbeddedCopiesDropped = 0;  // escapes carrying another copy of the picture
    int32_t ClipsLeftOut = 0;  // selections of clip regions that could not be mapped
};

// One instance per engine; the passes never overlap, and each resets what it
// uses when it starts.
struct EngineState {
    // Accumulator of drawn points: minX, minY, maxX, maxY.
    Rect WorkRect{32767, 32767, -32767, -32767};
    int32_t SaveDepth = 0;    // SAVEDC records minus RESTOREDC records so far
    int32_t BlockDepth = 0;   // save depth below the level where a non-zero window origin was set
    bool SkipNested = false;  // inside such a block: points are not counted
    bool FirstExt = true;     // no SETWINDOWEXT seen yet in this pass
    bool FirstOrg = true;     // no SETWINDOWORG seen yet in this pass
    Size FirstWindowExt;      // the first SETWINDOWEXT, as unsigned 16-bit values
    bool HasWindowExt = false;
    uint32_t LastPenColor = 0;     // colour of the latest CREATEPENINDIRECT
    uint32_t BackgroundColor = 0;  // pen colour in force when the background rectangle came
    bool BackgroundFound = false;  // this pass met a background rectangle

    // Rewriting pass.
    Size FirstExtent;    // the first window extent seen by the pass
    Size CurrentExtent;  // the most recent one
    Size OutputSize;     // the output's window extent (cx, cy)
    double OutputScale = 0;  // output logical units per inch
    mf::Bytes SavedPolygon;  // the last POLYGON that may be followed by its outline
    bool HasSavedPolygon = false;
    bool PolygonPending = false;
    RewriteStats Stats;
};

}  // namespace qv
