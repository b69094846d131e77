#include "platform/display.h"

namespace qv::platform {

int screenBitsPerPixel() { return 32; }

}  // namespace qv::platform
