// Colour index to colour. The tray program and the command-line tool read the built-in
// palette; the CAD plug-in puts the host's colour service behind the same interface.
#pragma once

#include "settings/color_ref.h"
#include "settings/wmf_settings.h"

namespace qv {

class ColorIndexSource {
  public:
    virtual ~ColorIndexSource() = default;
    // The colour of colour index 0..255.
    virtual ColorRef AciToRgb(int index) const = 0;
};

// Reads AciPalette in the column that oPalette of the settings names when the call is made;
// 0 for an index outside 0..255.
class PaletteColorSource final : public ColorIndexSource {
  public:
    explicit PaletteColorSource(const WmfSettings& settings) : settings_(settings) {}
    ColorRef AciToRgb(int index) const override;

  private:
    const WmfSettings& settings_;
};

}  // namespace qv
