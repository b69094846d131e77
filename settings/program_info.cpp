#include "settings/program_info.h"

namespace qv {

namespace {

constexpr ProgramInfo kPlugin{ProgramKind::Plugin, "Quorvex2015x64.arx", "7,10,0,0", "V7,10,0,0"};
constexpr ProgramInfo kTray{ProgramKind::Tray, "Qtray.exe", "7,00,0,0", "V7,00,0,0"};
constexpr ProgramInfo kCommandLine{ProgramKind::CommandLine, "quorvex", "7,00,0,0", "V7,00,0,0"};

}  // namespace

const ProgramInfo& ProgramInfo::of(ProgramKind kind) {
    switch (kind) {
        case ProgramKind::Plugin:
            return kPlugin;
        case ProgramKind::Tray:
            return kTray;
        case ProgramKind::CommandLine:
            break;
    }
    return kCommandLine;
}

}  // namespace qv
