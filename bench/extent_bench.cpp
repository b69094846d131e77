// qv_bench extent: how fast placeable WMF files load (read, validation of every record and
// the extent pass) and how fast the extent pass alone walks a loaded picture.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "bench/bench.h"
#include "engine/cmetafile.h"
#include "engine/engine.h"
#include "engine/extent_pass.h"

namespace qv::bench {

namespace {

constexpr const char* kHelp =
    "usage: qv_bench extent [--quick] FILE...\n"
    "\n"
    "For each placeable WMF file, times two things, each the best of several runs (runs are\n"
    "repeated until they took 0.5 s and there were 3 of them, or until they took 3 s):\n"
    "  load    loading the file as the improvement does: reading it, validating every\n"
    "          record and running the extent pass\n"
    "  extent  the extent pass alone, on the picture already loaded\n"
    "and prints the file's size and records, MB/s (10^6 bytes of the file per second),\n"
    "millions of records per second, the ratio to the memory-copy bound measured first in\n"
    "the same run, and the peak memory of one run as a multiple of the file size.\n"
    "--quick: 0.05 s and 2 runs, or 0.5 s, for checking that the benchmark works.\n"
    "Exit status 1 when a file cannot be loaded or a run finds another extent than the first.\n";

struct Figure {
    const char* pass = "";
    int runs = 0;
    double best = 0;      // seconds
    long long peak = -1;  // bytes, -1 unknown
};

struct Table {
    int nameWidth = 4;
    double bound = 0;  // memory-copy bound, bytes per second

    void header() const {
        std::printf("\n%-*s %10s %10s  %-6s %5s %10s %9s %8s %8s %9s %9s\n", nameWidth, "file",
                    "size MB", "records", "pass", "runs", "best ms", "MB/s", "Mrec/s", "x memcpy",
                    "peak MB", "peak/size");
    }
    void row(const std::string& name, double bytes, size_t records, const Figure& f,
             bool first) const {
        const double rate = bytes / f.best;
        if (first)
            std::printf("%-*s %10.3f %10zu  ", nameWidth, name.c_str(), bytes / 1e6, records);
        else
            std::printf("%-*s %10s %10s  ", nameWidth, "", "", "");
        std::printf("%-6s %5d %10.3f %9.1f %8.2f %8.3f ", f.pass, f.runs, f.best * 1e3, rate / 1e6,
                    double(records) / f.best / 1e6, rate / bound);
        if (f.peak < 0)
            std::printf("%9s %9s\n", "n/a", "n/a");
        else
            std::printf("%9.2f %9.2f\n", double(f.peak) / 1e6, double(f.peak) / bytes);
    }
};

bool benchFile(const std::filesystem::path& path, bool quick, const Table& table) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) {
        std::fprintf(stderr, "qv_bench: %s: %s\n", path.c_str(), ec.message().c_str());
        return false;
    }
    BenchEngine ctx;

    // The first load is the reference the timed runs must agree with; the memory is that of
    // a second load, which finds the engine set up as every timed run does.
    auto picture = std::make_unique<CMetafile>();
    Figure load{"load"};
    picture->LoadPlaceableFile(ctx.engine, path, 0);
    if (!picture->IsLoaded()) {
        std::fprintf(stderr, "qv_bench: %s: %s\n", path.c_str(),
                     picture->LoadError.empty() ? "the picture could not be loaded"
                                                : picture->LoadError.c_str());
        return false;
    }
    const Rect extent = picture->Extent;
    const size_t records = picture->Handle->recordCount();
    const bool intelliCadPalette = picture->IntelliCadPalette != 0;
    load.peak = peakBytesDuring([&] {
        CMetafile fresh;
        fresh.LoadPlaceableFile(ctx.engine, path, 0);
    });

    bool agree = true;
    std::unique_ptr<CMetafile> again;
    load.best = bestSeconds(
        [&] {
            again.reset();
            again = std::make_unique<CMetafile>();
        },
        [&] {
            again->LoadPlaceableFile(ctx.engine, path, 0);
            agree = agree && again->IsLoaded() && again->Extent == extent;
        },
        quick, load.runs);
    again.reset();

    Figure pass{"extent"};
    pass.peak = peakBytesDuring([&] {
        agree = agree &&
                ComputeExtents(ctx.engine, *picture->Handle, intelliCadPalette).Extent == extent;
    });
    pass.best = bestSeconds(
        nullptr,
        [&] {
            ExtentResult r = ComputeExtents(ctx.engine, *picture->Handle, intelliCadPalette);
            agree = agree && r.Extent == extent;
        },
        quick, pass.runs);

    const std::string name = path.filename().string();
    table.row(name, double(size), records, load, true);
    table.row(name, double(size), records, pass, false);
    if (!agree) {
        std::fprintf(stderr, "qv_bench: %s: a run found another extent than the first load\n",
                     path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int runExtent(const Args& args) {
    bool quick = false;
    std::vector<std::filesystem::path> files;
    if (int status = parseQuickAndFiles(args, "extent", kHelp, quick, files); status >= 0)
        return status;

    Table table;
    table.bound = reportDefaultCopyBound(quick);
    if (table.bound <= 0) return 1;
    std::printf("peak memory: %s\n", peakMemoryMethod());
    for (const auto& f : files)
        table.nameWidth = std::max(table.nameWidth, int(f.filename().string().size()));
    table.header();
    bool ok = true;
    for (const auto& f : files) ok = benchFile(f, quick, table) && ok;
    std::fflush(stdout);
    return ok ? 0 : 1;
}

}  // namespace qv::bench
