#include "settings/aci_to_rgb.h"

#include "settings/aci_palette.h"

namespace qv {

ColorRef PaletteColorSource::AciToRgb(int index) const {
    return aciPaletteColor(index, settings_.oPalette);
}

}  // namespace qv
