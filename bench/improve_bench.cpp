// qv_bench improve: how fast placeable WMF files are improved, for each turn of the picture
// and with crop on and off: the render of a loaded picture into a new picture in memory, and
// the whole improvement of a file into another (load, render and the atomic write).
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "bench/bench.h"
#include "engine/cmetafile.h"
#include "engine/engine.h"
#include "engine/metafile/gdi.h"
#include "engine/metafile/metafile.h"
#include "engine/placeable.h"
#include "engine/render.h"

namespace qv::bench {

namespace {

namespace fs = std::filesystem;

constexpr const char* kHelp =
    "usage: qv_bench improve [--quick] FILE...\n"
    "\n"
    "For each placeable WMF file, turned by 0, 90, 180 and 270 degrees, with crop on and off\n"
    "(the command-line tool's settings, with pens of the fixed width), times two things, each\n"
    "the best of several runs (runs are repeated until they took 0.5 s and there were 3 of\n"
    "them, or until they took 3 s):\n"
    "  memory  the render of the picture, loaded once, into a new recording DC, closed into\n"
    "          a picture in memory\n"
    "  file    the improvement of the file into another in a temporary folder: loading,\n"
    "          rendering and writing it (a temporary file flushed to disk, then renamed)\n"
    "and prints the file's size and records, the output's size, MB/s (10^6 bytes of the input\n"
    "file per second), millions of input records per second, the ratio to the memory-copy\n"
    "bound measured first in the same run, and the peak memory of one run as a multiple of\n"
    "the file size. The temporary folder is made under TMPDIR (default /tmp).\n"
    "--quick: turns of 0 and 90 degrees with crop on only; 0.05 s and 2 runs, or 0.5 s.\n"
    "Exit status 1 when a file cannot be loaded or improved, or when a run's output differs\n"
    "in size from the first one's, or the file written differs from the picture in memory.\n";

struct Case {
    int rotation = 0;
    bool crop = true;
};

std::vector<Case> casesFor(bool quick) {
    if (quick) return {{0, true}, {90, true}};
    std::vector<Case> cases;
    for (int rotation : {0, 90, 180, 270})
        for (bool crop : {true, false}) cases.push_back({rotation, crop});
    return cases;
}

// What a render made; every run of a case must make the same.
struct Output {
    size_t bytes = 0;
    size_t records = 0;
    bool operator==(const Output&) const = default;
};

Output outputOf(const mf::Metafile& picture) {
    return {picture.bits().size(), picture.recordCount()};
}

struct Figure {
    const char* mode = "";
    int runs = 0;
    double best = 0;      // seconds
    long long peak = -1;  // bytes, -1 unknown
};

struct Table {
    int nameWidth = 4;
    double bound = 0;  // memory-copy bound, bytes per second

    void header() const {
        std::printf("\n%-*s %9s %9s %4s %4s %9s  %-6s %5s %10s %9s %8s %8s %9s %9s\n", nameWidth,
                    "file", "size MB", "records", "rot", "crop", "out MB", "mode", "runs",
                    "best ms", "MB/s", "Mrec/s", "x memcpy", "peak MB", "peak/size");
    }
    // `name` is empty on the rows after a file's first; `c` is null on the second row of a case.
    void row(const std::string& name, double bytes, size_t records, const Case* c, double outBytes,
             const Figure& f) const {
        if (!name.empty())
            std::printf("%-*s %9.3f %9zu ", nameWidth, name.c_str(), bytes / 1e6, records);
        else
            std::printf("%-*s %9s %9s ", nameWidth, "", "", "");
        if (c)
            std::printf("%4d %4s %9.3f  ", c->rotation, c->crop ? "on" : "off", outBytes / 1e6);
        else
            std::printf("%4s %4s %9s  ", "", "", "");
        const double rate = bytes / f.best;
        std::printf("%-6s %5d %10.3f %9.1f %8.2f %8.3f ", f.mode, f.runs, f.best * 1e3, rate / 1e6,
                    double(records) / f.best / 1e6, rate / bound);
        if (f.peak < 0)
            std::printf("%9s %9s\n", "n/a", "n/a");
        else
            std::printf("%9.2f %9.2f\n", double(f.peak) / 1e6, double(f.peak) / bytes);
    }
};

// The file's bytes after its placeable header; empty when it cannot be read.
mf::Bytes bitsAfterPlaceableHeader(const fs::path& path) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(path, ec);
    if (ec || size < kPlaceableBytes) return {};
    std::ifstream in(path, std::ios::binary);
    in.seekg(std::streamoff(kPlaceableBytes));
    mf::Bytes bytes(size_t(size - kPlaceableBytes));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()))) return {};
    return bytes;
}

class FileBench {
  public:
    FileBench(const fs::path& source, const fs::path& target, bool quick, const Table& table)
        : source_(source), target_(target), quick_(quick), table_(table) {}

    bool run() {
        std::error_code ec;
        const uintmax_t size = fs::file_size(source_, ec);
        if (ec) return fail(ec.message());
        size_ = double(size);
        // The load leaves in the engine what the render of this picture needs; the settings
        // a case changes play no part in it.
        picture_.LoadPlaceableFile(ctx_.engine, source_, 0);
        if (!picture_.IsLoaded())
            return fail(picture_.LoadError.empty() ? "the picture could not be loaded"
                                                   : picture_.LoadError);
        records_ = picture_.Handle->recordCount();
        bool ok = true;
        bool first = true;
        for (const Case& c : casesFor(quick_)) {
            ok = runCase(c, first) && ok;
            first = false;
        }
        fs::remove(target_, ec);
        return ok;
    }

  private:
    bool fail(const std::string& why) const {
        std::fprintf(stderr, "qv_bench: %s: %s\n", source_.c_str(), why.c_str());
        return false;
    }
    bool failCase(const Case& c, const char* why) const {
        std::fprintf(stderr, "qv_bench: %s, rotation %d, crop %s: %s\n", source_.c_str(),
                     c.rotation, c.crop ? "on" : "off", why);
        return false;
    }

    // Renders the loaded picture into a new picture in `out`.
    void render(mf::MetafileHandle& out) {
        auto dc = mf::CreateMetaFileW();
        Render(ctx_.engine, picture_, *dc);
        out = mf::CloseMetaFile(std::move(dc));
    }

    // Loads the file written, as a picture from a CAD program is loaded, in an engine of its
    // own: every record must pass, the records must be those rendered, and the frame must be
    // that of the same crop unturned, its sides swapped by a quarter turn. Empty when all
    // holds, else what does not.
    std::string checkWritten(const Case& c, const Output& reference) {
        BenchEngine checkCtx;
        CMetafile written;
        written.LoadPlaceableFile(checkCtx.engine, target_, 0);
        if (!written.IsLoaded())
            return "the file written does not load: " + (written.LoadError.empty()
                                                             ? std::string("a record is not valid")
                                                             : written.LoadError);
        if (written.Handle->recordCount() != reference.records)
            return "the file written holds other records than the picture rendered";
        const long width = std::labs(long(written.Frame.right) - written.Frame.left);
        const long height = std::labs(long(written.Frame.bottom) - written.Frame.top);
        if (width <= 0 || height <= 0) return "the file written has an empty frame";
        FrameSides& unturned = unturnedFrame_[c.crop ? 1 : 0];
        if (c.rotation == 0) {
            unturned = {width, height};
        } else if (unturned.width > 0) {
            const bool quarter = c.rotation % 180 != 0;
            const long w = quarter ? height : width;
            const long h = quarter ? width : height;
            if (std::labs(w - unturned.width) > 1 || std::labs(h - unturned.height) > 1)
                return "the frame of the file written is not the unturned frame turned";
        }
        return {};
    }

    bool runCase(const Case& c, bool first) {
        WmfSettings& settings = ctx_.settings;
        settings.Lineoptions = 2;
        settings.Rotation = c.rotation;
        settings.Crop = c.crop ? 1 : 0;

        // In memory. The first render is the reference of the later runs; the memory is that
        // of a second one, which finds the engine as every timed run does.
        mf::MetafileHandle out;
        Figure memory{"memory"};
        render(out);
        if (!out) return failCase(c, "the render made no picture");
        const Output reference = outputOf(*out);
        memory.peak = peakBytesDuring([&] {
            mf::MetafileHandle another;
            render(another);
        });
        bool sameOutput = true;
        memory.best = bestSeconds([&] { out.reset(); },
                                  [&] {
                                      render(out);
                                      sameOutput = sameOutput && out && outputOf(*out) == reference;
                                  },
                                  quick_, memory.runs);

        // File to file. The first improvement must write the picture that the render made in
        // memory, behind a placeable header, and that file must load again as a picture; the
        // memory is that of a second improvement, into a file of its own.
        std::error_code ec;
        const uintmax_t fileBytes = reference.bytes + kPlaceableBytes;
        bool improved = true;
        bool sameFile = true;
        auto improve = [&] {
            improved = ImproveFile(ctx_.engine, source_, target_, 0) && improved;
            sameFile = sameFile && fs::file_size(target_, ec) == fileBytes && !ec;
        };
        fs::remove(target_, ec);
        improve();
        const bool written =
            improved && sameFile && out && bitsAfterPlaceableHeader(target_) == out->bits();
        out.reset();
        const std::string malformed = improved ? checkWritten(c, reference) : std::string();
        Figure file{"file"};
        const fs::path peakTarget = target_.string() + ".peak";
        file.peak = peakBytesDuring([&] { ImproveFile(ctx_.engine, source_, peakTarget, 0); });
        fs::remove(peakTarget, ec);
        file.best = bestSeconds([&] { fs::remove(target_, ec); }, improve, quick_, file.runs);

        table_.row(first ? source_.filename().string() : "", size_, records_, &c,
                   double(reference.bytes), memory);
        table_.row("", size_, records_, nullptr, 0, file);
        bool ok = true;
        if (!sameOutput) ok = failCase(c, "a render made a picture of another size than the first");
        if (!improved) ok = failCase(c, "the file could not be improved");
        if (improved && !written)
            ok = failCase(c, "the file written is not the picture rendered in memory");
        if (!malformed.empty()) ok = failCase(c, malformed.c_str());
        if (improved && written && !sameFile)
            ok = failCase(c, "an improvement wrote a file of another size than the first");
        return ok;
    }

    const fs::path source_;
    const fs::path target_;
    const bool quick_;
    const Table& table_;
    BenchEngine ctx_;
    CMetafile picture_;
    double size_ = 0;
    size_t records_ = 0;
    struct FrameSides {
        long width = 0;
        long height = 0;
    };
    FrameSides unturnedFrame_[2];  // of the file written turned by 0 degrees, crop off and on
};

}  // namespace

int runImprove(const Args& args) {
    bool quick = false;
    std::vector<fs::path> files;
    if (int status = parseQuickAndFiles(args, "improve", kHelp, quick, files); status >= 0)
        return status;

    TempFolder folder;
    if (folder.path().empty()) {
        std::fputs("qv_bench improve: no temporary folder could be made\n", stderr);
        return 1;
    }
    Table table;
    table.bound = reportDefaultCopyBound(quick);
    if (table.bound <= 0) return 1;
    std::printf("peak memory: %s\n", peakMemoryMethod());
    std::printf("files improved into: %s\n", folder.path().c_str());
    for (const auto& f : files)
        table.nameWidth = std::max(table.nameWidth, int(f.filename().string().size()));
    table.header();
    bool ok = true;
    for (const auto& f : files) {
        FileBench bench(f, folder.path() / f.filename(), quick, table);
        ok = bench.run() && ok;
        std::fflush(stdout);
    }
    return ok ? 0 : 1;
}

}  // namespace qv::bench
