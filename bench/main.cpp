// qv_bench: throughput figures of the engine's passes on this machine, each printed beside
// the machine's own memory-copy bound measured in the same run.
//
// Every benchmark is one subcommand in a file of its own: it defines
// `int runNAME(const Args&)` in namespace qv::bench, declared in bench.h, and gets one row in
// kCommands below.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench.h"

namespace qv::bench {

int parseQuickAndFiles(const Args& args, const char* command, const char* help, bool& quick,
                       std::vector<std::filesystem::path>& files) {
    quick = false;
    files.clear();
    for (const std::string& a : args) {
        if (a == "-h" || a == "--help") {
            std::fputs(help, stdout);
            return 0;
        } else if (a == "--quick") {
            quick = true;
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "qv_bench %s: unknown option %s\n%s", command, a.c_str(), help);
            return 2;
        } else {
            files.emplace_back(a);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "qv_bench %s: no file given\n%s", command, help);
        return 2;
    }
    return -1;
}

}  // namespace qv::bench

namespace {

struct Command {
    const char* name;
    const char* usage;
    const char* summary;
    int (*run)(const qv::bench::Args&);
};

constexpr Command kCommands[] = {
    {"memcpy", "memcpy [--quick] [--mib N] [--copies N]",
     "the memory-copy bound of this machine (best of several copies of a large buffer)",
     qv::bench::runMemcpy},
    {"extent", "extent [--quick] FILE...",
     "loading placeable WMF files, and the extent pass alone on a loaded picture",
     qv::bench::runExtent},
    {"improve", "improve [--quick] FILE...",
     "improving placeable WMF files, in memory and file to file, turned and cropped",
     qv::bench::runImprove},
    {"parallel", "parallel [--quick] --quorvex PATH [--jobs N,N...] FILE...",
     "the wall time of 'quorvex improve -j N' over many files against -j 1, and the speed-up",
     qv::bench::runParallel},
};

void printUsage(std::FILE* out) {
    std::fputs("usage: qv_bench COMMAND [ARGS]\n\ncommands:\n", out);
    for (const Command& c : kCommands) std::fprintf(out, "  %s\n      %s\n", c.usage, c.summary);
    std::fputs(
        "\n--quick takes few repetitions (a check that the benchmark works, not a figure to "
        "quote).\n'qv_bench COMMAND --help' describes a command. Exit status: 0 success, 1 a "
        "measurement\nfailed, 2 bad usage.\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage(stderr);
        return 2;
    }
    const char* name = argv[1];
    if (std::strcmp(name, "-h") == 0 || std::strcmp(name, "--help") == 0) {
        printUsage(stdout);
        return 0;
    }
    for (const Command& c : kCommands) {
        if (std::strcmp(name, c.name) == 0) return c.run(qv::bench::Args(argv + 2, argv + argc));
    }
    std::fprintf(stderr, "qv_bench: unknown command '%s'\n", name);
    printUsage(stderr);
    return 2;
}
