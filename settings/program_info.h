// What the settings store needs to know about the program that runs it: the names and version
// it writes into the registry and option files, and the subkey of its own per-version values.
#pragma once

#include <string_view>

#include "settings/program_kind.h"

namespace qv {

struct ProgramInfo {
    ProgramKind kind;
    // Written as "Program Type": the program's file name.
    std::string_view fileName;
    // Written as "Program Version".
    std::string_view version;
    // The subkey that holds ShowSplash, so that each program keeps its own.
    std::string_view versionKey;

    // The description of the given program.
    static const ProgramInfo& of(ProgramKind kind);
};

}  // namespace qv
