// The rewriting pass: every record of the source picture is replayed into the
// output DC, its pens, brushes and colours rewritten by the settings, its
// coordinates moved and turned, the background rectangle removed or
// stretched, and outlines that only retrace a filled polygon left out.
#pragma once

#include <cstdint>

#include "engine/engine.h"
#include "engine/metafile/gdi.h"
#include "engine/metafile/metafile.h"

namespace qv {

// Walks the picture into the output DC with RewriteRecord. The pass state
// (EngineState) must have been reset by the render.
void runRewritePass(Engine& engine, mf::Dc& output, const mf::Metafile& picture);

// The colour index whose colour is `c` (the lowest one; index 0 counts as 7),
// or -1. Applies ForcedPalette first.
int MatchAci(Engine& engine, uint32_t c);

// 0 for white when white lines are to become black on a removed background.
uint32_t WhiteToBlack(const WmfSettings& settings, uint32_t c);

}  // namespace qv
