// quorvex: improves and inspects Windows Metafile pictures from the command line.
#include <cstdio>
#include <cstring>

#include "cli/cli.h"
#include "settings/color_defaults.h"
#include "settings/compute_equals.h"
#include "settings/startup_corrections.h"

namespace qv::cli {

Context::Context() {
    resetColorDefaults(settings, colors);
    ComputeEquals(settings, colors);
    applyStartupCorrections(settings, ProgramKind::CommandLine);
}

bool wantsHelp(const Args& args) {
    for (const auto& a : args)
        if (a == "-h" || a == "--help") return true;
    return false;
}

const std::string* firstOption(const Args& args) {
    for (const auto& a : args)
        if (a.size() > 1 && a[0] == '-') return &a;
    return nullptr;
}

int usageError(const std::string& message, const char* usage) {
    std::fprintf(stderr, "quorvex: %s\nusage: %s\n", message.c_str(), usage);
    return kExitUsage;
}

namespace {

constexpr const char* kHelp =
    "usage: quorvex COMMAND [ARGS]\n"
    "\n"
    "Improves Windows Metafile (WMF) pictures written by CAD programs.\n"
    "\n"
    "commands:\n"
    "  improve FILE...         improves pictures under the settings (-o, -d or --in-place)\n"
    "  info FILE...            what a picture holds: header, frame, printed size, extent,\n"
    "                          background, palette column, records and objects\n"
    "  records FILE            every record of a picture, one line each\n"
    "  palette [COLUMN]        the 256 colours of one colour-index palette column (0-8, default 8)\n"
    "  normalize FILE -o OUT   rewrites a picture record by record without changing what it draws\n"
    "  options [...]           the stored settings: list, set, load and save option files\n"
    "\n"
    "'quorvex COMMAND --help' describes a command. Exit status: 0 success, 1 a file failed,\n"
    "2 bad usage.\n";

}  // namespace
}  // namespace qv::cli

int main(int argc, char** argv) {
    using namespace qv::cli;
    if (argc < 2) {
        std::fputs(kHelp, stderr);
        return kExitUsage;
    }
    std::string command = argv[1];
    Args args(argv + 2, argv + argc);
    if (command == "-h" || command == "--help" || command == "help") {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (command == "improve") return runImprove(args);
    if (command == "info") return runInfo(args);
    if (command == "records") return runRecords(args);
    if (command == "palette") return runPalette(args);
    if (command == "normalize") return runNormalize(args);
    if (command == "options") return runOptions(args);
    std::fprintf(stderr, "quorvex: unknown command '%s'\n\n%s", command.c_str(), kHelp);
    return kExitUsage;
}
