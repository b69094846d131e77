// Which program holds the settings record. The command-line tool treats the settings as the
// tray program does.
#pragma once

namespace qv {

enum class ProgramKind { Plugin, Tray, CommandLine };

}  // namespace qv
