// Facts about the screen that the engine asks for.
#pragma once

namespace qv::platform {

// Bits per pixel of the screen ("DISPLAY" DC). A machine without a display
// reports the common 32 bits. The engine copies the value once when it is
// created, so a test can give an engine another depth.
int screenBitsPerPixel();

}  // namespace qv::platform
