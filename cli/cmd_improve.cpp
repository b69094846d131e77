// quorvex improve FILE...: each picture rewritten under the settings, on
// several threads, with one report line per file in input order.
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "cli/cli.h"
#include "cli/settings_session.h"
#include "cli/improve_job.h"
#include "cli/improve_options.h"
#include "cli/improve_progress.h"
#include "cli/improve_runner.h"
#include "platform/system_error.h"

namespace qv::cli {

namespace {
constexpr const char* kUsage =
    "quorvex improve FILE... (-o OUT | -d DIR | --in-place) [-j N] [--options FILE] "
    "[--set NAME=VALUE]... [-q]";
constexpr const char* kHelp =
    "usage: quorvex improve FILE... (-o OUT | -d DIR | --in-place) [-j N] [--options FILE]\n"
    "                       [--set NAME=VALUE]... [-q]\n"
    "\n"
    "Improves placeable WMF pictures from CAD programs: pens get their widths and colours,\n"
    "fills and text their colours, the background rectangle is removed (or stretched over\n"
    "the picture), outlines that only retrace a filled polygon are left out, and the\n"
    "picture is cropped to what is drawn, turned, and given its printed size.\n"
    "\n"
    "Where the results go (one of them is required; nothing is overwritten unasked):\n"
    "  -o OUT        the improved picture of the one FILE is written to OUT (OUT may be FILE)\n"
    "  -d DIR        each FILE is written to DIR with its own name; DIR is created if needed\n"
    "  --in-place    each FILE is replaced by its improved picture\n"
    "Two files that would be written to the same place are refused before any work.\n"
    "A file is replaced only when its new version is complete: a file that fails leaves\n"
    "its target as it was.\n"
    "\n"
    "Options:\n"
    "  -j N          improve N files at a time (default: one per processor)\n"
    "  --options FILE\n"
    "                use the settings of an option file (.qw3; a .pc2 plotter configuration\n"
    "                gives pen widths and pen numbers) for this run\n"
    "  --set NAME=VALUE\n"
    "                change one setting for this run (names without regard to case), e.g.\n"
    "                --set Rotation=90, --set Crop=0, --set IsMetric=1, --set Lineoptions=2\n"
    "                --set FixedWidth=0.02; a value the setting does not take is refused.\n"
    "The run starts from the stored settings ('quorvex options' shows them); --options and\n"
    "--set change them for this run only and are never saved. The number of pictures\n"
    "improved is added to the stored statistics.\n"
    "  -q            no report lines and no progress line; messages about files are\n"
    "                still printed\n"
    "\n"
    "For each file one line on standard output, in the order of the files:\n"
    "  OUT: W x H in; P pens, F fills, C colours rewritten; O outlines removed;\n"
    "  background removed|kept|none; B bitmaps turned; I -> O records\n"
    "with the printed size in centimetres (cm) when IsMetric is 1, and the record counts\n"
    "of the input and the output, the end record included. Errors go to standard error\n"
    "as \"quorvex: FILE: message\". On a terminal a progress line is shown on standard error.\n"
    "\n"
    "Exit status: 0 all files improved, 1 a file failed, 2 bad usage.\n";

unsigned defaultJobs() {
    unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? n : 1;
}

}  // namespace

int runImprove(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    ImproveOptions options;
    std::string error;
    if (!parseImproveArgs(args, options, error)) return usageError(error, kUsage);

    // The stored settings, as every program loads them; an option file and
    // single settings change them for this run only.
    platform::StderrUserInterface ui;
    SettingsSession session(ui);
    session.load();
    if (!options.optionsFile.empty()) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(options.optionsFile, ec)) {
            std::fprintf(stderr, "quorvex: %s: no such option file\n", options.optionsFile.c_str());
            return kExitFailed;
        }
        session.files.LoadOptionsFile(options.optionsFile);
    }
    for (const auto& change : options.changes)
        if (!applySetting(session.settings, change, error)) return usageError(error, kUsage);

    std::vector<std::filesystem::path> targets;
    if (!planTargets(options, targets, error)) return usageError(error, kUsage);

    if (options.mode == OutputMode::Folder) {
        std::error_code ec;
        std::filesystem::create_directories(options.output, ec);
        if (ec || !std::filesystem::is_directory(options.output)) {
            std::fprintf(stderr, "quorvex: %s: cannot create the folder: %s\n",
                         options.output.c_str(),
                         ec ? ec.message().c_str() : "a file of that name is in the way");
            return kExitFailed;
        }
    }

    const WmfSettings& settings = session.settings;
    int32_t pictures = 0;
    ProgressLine progress(!options.quiet && stderrIsTerminal(), options.files.size());
    bool allOk = true;
    RunCallbacks callbacks;
    callbacks.job = [&](size_t i) { return improveFile(settings, options.files[i], targets[i]); };
    callbacks.report = [&](ImproveResult& r) {
        progress.clear();
        std::string messages = describeMessages(r);
        if (!messages.empty()) {
            std::fflush(stdout);
            std::fputs(messages.c_str(), stderr);
            std::fflush(stderr);
        }
        if (r.ok && !options.quiet) {
            std::puts(describeResult(r).c_str());
            std::fflush(stdout);
        }
        allOk = allOk && r.ok;
        pictures += r.ok ? 1 : 0;
    };
    callbacks.tick = [&](size_t done, uintmax_t bytes) { progress.update(done, bytes); };
    runInOrder(options.files.size(), options.jobs ? options.jobs : defaultJobs(), callbacks);
    progress.clear();
    // The statistics count every rewritten picture; nothing else is stored.
    errno = 0;
    if (pictures > 0 && !session.store.AddJobsToStatistics(pictures)) {
        const std::string why = platform::SystemErrorText();
        std::fprintf(stderr, "quorvex: the picture count could not be added to %s: %s\n",
                     session.registry.path().c_str(), why.c_str());
    }
    return allOk ? kExitOk : kExitFailed;
}

}  // namespace qv::cli
