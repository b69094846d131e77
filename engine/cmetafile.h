// One picture: an owned in-memory WMF with what the engine learned about it.
#pragma once

#include <filesystem>
#include <string>

#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/metafile/metafile.h"
#include "engine/metafile/gdi.h"
#include "engine/metafile/metafilepict.h"

namespace qv {

class CMetafile {
public:
    CMetafile() = default;
    ~CMetafile();
    CMetafile(const CMetafile&) = delete;
    CMetafile& operator=(const CMetafile&) = delete;

    // From the clipboard: keeps its own copy of the picture.
    void LoadClipboardPicture(Engine& engine, const mf::METAFILEPICT& pict, double viewHeight,
                              int intelliCadPalette);
    // From a placeable WMF file. On failure the picture is not loaded; the
    // messages, if any, have been shown.
    void LoadPlaceableFile(Engine& engine, const std::filesystem::path& path, double viewHeight);

    bool IsLoaded() const { return LoadedFromFile || LoadedFromClipboard; }

    int LoadedFromFile = 0;
    int LoadedFromClipboard = 0;
    Rect Extent{32767, 32767, -32767, -32767};
    Rect Frame;
    double UnitsPerInch = 0;
    double ViewHeight = 0;
    mf::RecordingDc* MergeDc = nullptr;
    mf::MetafileHandle Handle;
    int32_t MapMode = 0, ExtX = 0, ExtY = 0;
    Size WindowExt;
    int IntelliCadPalette = 0;

    // Why the last load failed, for callers that report it themselves (the
    // loader stays silent on some faults of the header).
    std::string LoadError;

private:
    void clear(double viewHeight);
    bool ReadPlaceable(Engine& engine, const std::filesystem::path& path);
};

}  // namespace qv
