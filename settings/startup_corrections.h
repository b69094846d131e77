// Corrections made to freshly loaded settings when a program starts.
#pragma once

#include <cstdint>

#include "settings/program_kind.h"
#include "settings/wmf_settings.h"

namespace qv {

// Filledoptions 1 (remove fills, no longer offered) becomes 0 in every program. Widthoptions 3
// (drawing scale) needs the CAD host, so outside the plug-in it becomes 0.
void applyStartupCorrections(WmfSettings& settings, ProgramKind program);

// Starts the statistics clock: Since = now (seconds since 1970-01-01 UTC) when it is 0.
void startStatisticsIfUnset(WmfSettings& settings, std::int64_t now);
// The same with the current time.
void startStatisticsIfUnset(WmfSettings& settings);

}  // namespace qv
