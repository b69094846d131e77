// Sizing and output: a loaded picture becomes a new picture under the
// settings, written to a file or kept in memory for the clipboard.
#pragma once

#include <filesystem>

#include "engine/cmetafile.h"
#include "engine/engine.h"
#include "engine/metafile/gdi.h"

namespace qv {

// The output scale (logical units per inch) for an output of cx by cy units.
// Scales a WMF cannot carry are replaced by the nearest one it can (at least
// 1, at most 65535 units per inch); `clamped` says so. A scale that cannot be
// computed (no units per inch, no view height, an empty picture) falls back
// to the picture's own size, or to a sensible default size.
double OutputScaleFor(const WmfSettings& settings, const CMetafile& picture, Size out, bool* clamped = nullptr);

// Renders the picture into the output DC: the three records that open every
// output, then the rewriting pass. Returns the output extent (cx, cy).
Size Render(Engine& engine, CMetafile& picture, mf::Dc& output);

// Render with the wait cursor; a picture that is not loaded gives
// "Metafile not properly loaded." and (0, 0).
Size RenderPicture(Engine& engine, CMetafile& picture, mf::Dc& output);

// Renders into a new picture and writes it as a placeable file. False when
// the file could not be written (the message has been shown).
bool SaveToFile(Engine& engine, CMetafile& picture, const std::filesystem::path& path);

// Loads a placeable file, renders it and writes the result to `target`
// (which may be the source itself). False when anything failed; a failure
// leaves the target as it was.
bool ImproveFile(Engine& engine, const std::filesystem::path& source, const std::filesystem::path& target,
                 double viewHeight);

}  // namespace qv
