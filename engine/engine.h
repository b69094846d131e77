// The picture engine of one program: its settings, its shared pass state and
// the services it reports through. A program creates one; several engines
// can work side by side on different threads.
#pragma once

#include "engine/engine_state.h"
#include "platform/display.h"
#include "platform/user_interface.h"
#include "settings/aci_to_rgb.h"
#include "settings/wmf_settings.h"

namespace qv {

class Engine {
public:
    Engine(WmfSettings& settings, platform::UserInterface& ui)
        : settings(settings), ui(ui), screenBitsPerPixel(platform::screenBitsPerPixel()) {}
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Where colour indexes get their colours: the built-in palette, unless a
    // program puts its host's colour service in its place.
    void setColorSource(const ColorIndexSource& source) { colors = &source; }

    WmfSettings& settings;
    platform::UserInterface& ui;
    EngineState state;
    int screenBitsPerPixel;  // of the "DISPLAY" DC, read once
    PaletteColorSource paletteColors{settings};
    const ColorIndexSource* colors = &paletteColors;
};

}  // namespace qv
