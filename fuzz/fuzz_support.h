// What the fuzz targets share: a quiet engine on settings drawn from the
// input, picture bytes split off a placeable header, and the check that a
// picture is well formed.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <memory>
#include <string>

#include "engine/engine.h"
#include "engine/metafile/bytes.h"
#include "engine/metafile/metafile.h"
#include "platform/user_interface.h"
#include "settings/wmf_settings.h"

namespace qv::fuzz {

// Stops the run with a message; libFuzzer saves the input.
[[noreturn]] void fail(const char* what, const std::string& detail = {});

// The settings a program starts with (colour table filled and its Equals
// computed), made once.
const WmfSettings& startSettings();

// Draws every option the passes read from the input: line, fill and width
// options, rotation, cropping and margin, sizes and scales, the colour
// switches and the forced palette. Values outside the accepted sets are drawn
// now and then, as an old settings file may hold them.
void drawSettings(FuzzedDataProvider& in, WmfSettings& settings);

// An engine on its own settings and a recording user interface, reporting on
// a 32-bit screen unless told otherwise.
struct QuietEngine {
    explicit QuietEngine(const WmfSettings& start) : settings(start) { engine.screenBitsPerPixel = 32; }
    WmfSettings settings;
    platform::RecordingUserInterface ui;
    Engine engine{settings, ui};
};

// The WMF bytes of a file: after the 22-byte header when the file starts with
// the placeable key, else the bytes themselves.
mf::ByteSpan wmfPart(mf::ByteSpan file);

// Aborts unless the picture's bits parse again as a picture. `exactSize`: the
// header must also give the true size (as every picture written here does;
// pictures from elsewhere may count more).
void requireWellFormed(const mf::Metafile& picture, const char* where, bool exactSize = true);

}  // namespace qv::fuzz
