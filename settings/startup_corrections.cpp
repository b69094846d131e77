#include "settings/startup_corrections.h"

#include <chrono>

namespace qv {

void applyStartupCorrections(WmfSettings& settings, ProgramKind program) {
    if (program != ProgramKind::Plugin && settings.Widthoptions == 3) settings.Widthoptions = 0;
    if (settings.Filledoptions == 1) settings.Filledoptions = 0;
}

void startStatisticsIfUnset(WmfSettings& settings, std::int64_t now) {
    if (settings.Since == 0) settings.Since = now;
}

void startStatisticsIfUnset(WmfSettings& settings) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    startStatisticsIfUnset(settings, std::chrono::duration_cast<std::chrono::seconds>(now).count());
}

}  // namespace qv
