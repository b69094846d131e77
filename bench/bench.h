// What the benchmarks of qv_bench share: the subcommands, the timing and memory helpers, the
// memory-copy bound and the engine a benchmark runs with.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <string>
#include <system_error>
#include <vector>

#include "engine/engine.h"
#include "platform/user_interface.h"
#include "settings/aci_to_rgb.h"
#include "settings/color_defaults.h"
#include "settings/compute_equals.h"
#include "settings/program_kind.h"
#include "settings/startup_corrections.h"
#include "settings/wmf_settings.h"

namespace qv::bench {

using Args = std::vector<std::string>;

// The subcommands, one file each; main.cpp lists them in kCommands.
int runMemcpy(const Args& args);    // memcpy_bench.cpp
int runExtent(const Args& args);    // extent_bench.cpp
int runImprove(const Args& args);   // improve_bench.cpp
int runParallel(const Args& args);  // parallel_bench.cpp

// main.cpp: the arguments of a command that takes `[--quick] FILE...`. Returns -1 when the
// command is to run, else the exit status (0 after --help, 2 after bad usage, with the
// message and `help` printed).
int parseQuickAndFiles(const Args& args, const char* command, const char* help, bool& quick,
                       std::vector<std::filesystem::path>& files);

// measure.cpp
// Runs `run` again and again and returns the best time of one run in seconds; `prepare`
// (when given) runs untimed before each run. Repeats until the runs took at least 0.5 s
// and there were at least 3 of them, but stops once they took 3 s; with `quick`, 0.05 s,
// 2 runs and 0.5 s.
double bestSeconds(const std::function<void()>& prepare, const std::function<void()>& run,
                   bool quick, int& runs);
// The most resident memory above what was resident before, in bytes, while `fn` ran once;
// -1 when it cannot be read.
long long peakBytesDuring(const std::function<void()>& fn);
// How peakBytesDuring measures, for the report.
const char* peakMemoryMethod();

// memcpy_bench.cpp
// The memory-copy bound with its usual buffer: prints its line and returns the best rate in
// bytes per second (0 on failure).
double reportDefaultCopyBound(bool quick);

// A folder of its own under the system's temporary folder (TMPDIR, else /tmp), removed with
// what it holds; the path is empty when it could not be made.
class TempFolder {
  public:
    TempFolder() {
        std::error_code ec;
        std::string name = (std::filesystem::temp_directory_path(ec) / "qv_bench.XXXXXX").string();
        if (!ec && ::mkdtemp(name.data())) path_ = name;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// What a benchmark runs with: the settings as the command-line tool prepares them and an
// engine reporting to standard error. A benchmark may change settings before it runs.
struct BenchEngine {
    BenchEngine() {
        resetColorDefaults(settings, colors);
        ComputeEquals(settings, colors);
        applyStartupCorrections(settings, ProgramKind::CommandLine);
    }
    BenchEngine(const BenchEngine&) = delete;
    BenchEngine& operator=(const BenchEngine&) = delete;

    WmfSettings settings;
    PaletteColorSource colors{settings};
    platform::StderrUserInterface ui;
    Engine engine{settings, ui};
};

}  // namespace qv::bench
