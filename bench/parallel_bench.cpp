// qv_bench parallel: the wall time of `quorvex improve -j N` over many small files, for several
// N, against -j 1.
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "bench/bench.h"
#include "engine/cmetafile.h"

extern char** environ;

namespace qv::bench {

namespace {

namespace fs = std::filesystem;

constexpr const char* kHelp =
    "usage: qv_bench parallel [--quick] --quorvex PATH [--jobs N,N...] FILE...\n"
    "\n"
    "Times the command-line tool improving all the FILEs into a new folder,\n"
    "  PATH improve -q -j N -d FOLDER FILE...\n"
    "for -j 1 and then each N of --jobs (default 2, 4 and the number of processors), the\n"
    "best wall time of 3 runs (1 with --quick), and prints it with the files per second, MB/s\n"
    "(10^6 bytes of the input files per second), millions of input records per second, the\n"
    "ratio to the memory-copy bound measured first in the same run and the speed-up against\n"
    "-j 1. Each improvement writes its file atomically (flushed to disk, then renamed), so the\n"
    "figures depend on the disk under TMPDIR, where the folders are made. The tool runs with\n"
    "XDG_CONFIG_HOME set to an empty folder: the settings it starts from are its defaults and\n"
    "the statistics it stores are thrown away.\n"
    "Exit status 1 when a run fails, a file is missing from its folder, a file written does not\n"
    "load as a picture, or a file written with -j N differs from the one written with -j 1.\n";

double now() {
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs `argv` and waits for it; its exit status, or -1 when it did not exit normally or
// could not be started.
int runAndWait(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return -1;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// "2,4,8" into {2, 4, 8}; false on anything else.
bool parseJobs(const std::string& text, std::vector<int>& jobs) {
    jobs.clear();
    size_t start = 0;
    while (start <= text.size()) {
        const size_t comma = std::min(text.find(',', start), text.size());
        const std::string item = text.substr(start, comma - start);
        char* end = nullptr;
        const long n = std::strtol(item.c_str(), &end, 10);
        if (item.empty() || *end != '\0' || n < 1 || n > 1024) return false;
        jobs.push_back(int(n));
        start = comma + 1;
    }
    return !jobs.empty();
}

struct Input {
    std::vector<fs::path> files;
    double bytes = 0;
    size_t records = 0;
};

class ParallelBench {
  public:
    ParallelBench(const fs::path& quorvex, const Input& input, const fs::path& folder, bool quick)
        : quorvex_(quorvex), input_(input), folder_(folder), runs_(quick ? 1 : 3) {}

    // Times -j `jobs` and checks what it wrote; false (with the reason printed) on a failure.
    bool run(int jobs, double& best) {
        const fs::path out = folder_ / ("j" + std::to_string(jobs));
        std::vector<std::string> argv = {quorvex_.string(),    "improve", "-q",        "-j",
                                         std::to_string(jobs), "-d",      out.string()};
        for (const fs::path& f : input_.files) argv.push_back(f.string());
        best = 0;
        for (int i = 0; i < runs_; ++i) {
            std::error_code ec;
            fs::remove_all(out, ec);
            const double start = now();
            const int status = runAndWait(argv);
            const double t = now() - start;
            if (status != 0) {
                std::fprintf(stderr, "qv_bench parallel: -j %d: %s exited with status %d\n", jobs,
                             quorvex_.c_str(), status);
                return false;
            }
            if (i == 0 && !check(jobs, out)) return false;
            best = i == 0 ? t : std::min(best, t);
        }
        return true;
    }

  private:
    // Every file written loads as a picture (every record valid) and, after -j 1, is the one
    // -j 1 wrote.
    bool check(int jobs, const fs::path& out) {
        const bool reference = firstOutputs_.empty();
        for (size_t i = 0; i < input_.files.size(); ++i) {
            const fs::path written = out / input_.files[i].filename();
            std::string bytes = readAll(written);
            const char* fault = nullptr;
            if (bytes.empty()) {
                fault = "is missing or empty";
            } else {
                BenchEngine ctx;
                CMetafile picture;
                picture.LoadPlaceableFile(ctx.engine, written, 0);
                if (!picture.IsLoaded())
                    fault = "does not load as a picture";
                else if (!reference && bytes != firstOutputs_[i])
                    fault = "differs from the file written with -j 1";
            }
            if (fault) {
                std::fprintf(stderr, "qv_bench parallel: -j %d: %s %s\n", jobs, written.c_str(),
                             fault);
                return false;
            }
            if (reference) firstOutputs_.push_back(std::move(bytes));
        }
        return true;
    }

    const fs::path quorvex_;
    const Input& input_;
    const fs::path folder_;
    const int runs_;
    std::vector<std::string> firstOutputs_;  // what -j 1 wrote, in the order of the files
};

}  // namespace

int runParallel(const Args& args) {
    bool quick = false;
    fs::path quorvex;
    const long processors = ::sysconf(_SC_NPROCESSORS_ONLN);
    std::vector<int> jobs = {2, 4, int(std::max(1L, processors))};
    Input input;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (a == "--quick") {
            quick = true;
        } else if (a == "--quorvex" && i + 1 < args.size()) {
            quorvex = args[++i];
        } else if (a == "--jobs" && i + 1 < args.size()) {
            if (!parseJobs(args[++i], jobs)) {
                std::fprintf(stderr, "qv_bench parallel: bad --jobs: %s\n", args[i].c_str());
                return 2;
            }
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "qv_bench parallel: unknown option %s\n%s", a.c_str(), kHelp);
            return 2;
        } else {
            input.files.emplace_back(a);
        }
    }
    if (quorvex.empty() || input.files.empty()) {
        std::fprintf(stderr, "qv_bench parallel: --quorvex and at least one FILE are needed\n%s",
                     kHelp);
        return 2;
    }
    // -j 1 first, as the reference, then each other count once, in the order given.
    std::vector<int> counts = {1};
    for (int n : jobs)
        if (std::find(counts.begin(), counts.end(), n) == counts.end()) counts.push_back(n);

    // The input's size and records, and a check that it loads at all.
    for (const fs::path& f : input.files) {
        BenchEngine ctx;
        CMetafile picture;
        picture.LoadPlaceableFile(ctx.engine, f, 0);
        std::error_code ec;
        const uintmax_t size = fs::file_size(f, ec);
        if (!picture.IsLoaded() || ec) {
            std::fprintf(stderr, "qv_bench parallel: %s cannot be loaded\n", f.c_str());
            return 1;
        }
        input.bytes += double(size);
        input.records += picture.Handle->recordCount();
    }

    TempFolder folder;
    if (folder.path().empty()) {
        std::fputs("qv_bench parallel: no temporary folder could be made\n", stderr);
        return 1;
    }
    const fs::path config = folder.path() / "config";
    std::error_code ec;
    fs::create_directories(config, ec);
    if (ec || ::setenv("XDG_CONFIG_HOME", config.c_str(), 1) != 0) {
        std::fputs("qv_bench parallel: no configuration folder could be made\n", stderr);
        return 1;
    }

    const double bound = reportDefaultCopyBound(quick);
    if (bound <= 0) return 1;
    std::printf("%zu files, %.3f MB, %zu records (%.1f kB a file), %ld processors; folders in %s\n",
                input.files.size(), input.bytes / 1e6, input.records,
                input.bytes / 1e3 / double(input.files.size()), processors, folder.path().c_str());
    std::printf("\n%4s %5s %10s %9s %9s %8s %8s %9s\n", "-j", "runs", "wall s", "files/s", "MB/s",
                "Mrec/s", "x memcpy", "speed-up");

    ParallelBench bench(quorvex, input, folder.path(), quick);
    bool ok = true;
    double single = 0;
    for (int n : counts) {
        double best = 0;
        if (!bench.run(n, best)) {
            ok = false;
            if (n == 1) break;  // nothing to compare the others with
            continue;
        }
        if (n == 1) single = best;
        std::printf("%4d %5d %10.3f %9.1f %9.1f %8.3f %8.4f %8.2fx\n", n, quick ? 1 : 3, best,
                    double(input.files.size()) / best, input.bytes / best / 1e6,
                    double(input.records) / best / 1e6, input.bytes / best / bound, single / best);
        std::fflush(stdout);
    }
    return ok ? 0 : 1;
}

}  // namespace qv::bench
