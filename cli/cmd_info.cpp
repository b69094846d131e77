// quorvex info FILE...: what the engine learns about each picture.
#include <cstdio>

#include "cli/cli.h"
#include "cli/picture_file.h"
#include "engine/cmetafile.h"
#include "engine/metafile/records.h"

namespace qv::cli {

namespace {
constexpr const char* kUsage = "quorvex info FILE...";
constexpr const char* kHelp =
    "usage: quorvex info FILE...\n"
    "\n"
    "Loads each placeable WMF file as the improvement does and prints: the placeable\n"
    "header and whether its checksum is right, the frame, the units per inch, the printed\n"
    "size, the first window extent, the extent of what is drawn, the background colour,\n"
    "the colour-palette column, and the numbers of records and objects.\n"
    "Exit status 1 when any file could not be loaded.\n";

void printRect(const char* label, const Rect& r) {
    std::printf("  %-16s (%d,%d)-(%d,%d), %d x %d\n", label, r.left, r.top, r.right, r.bottom, r.right - r.left,
                r.bottom - r.top);
}

bool infoOne(const std::string& path) {
    Context ctx;
    CMetafile pic;
    pic.LoadPlaceableFile(ctx.engine, path, 0);
    if (!pic.IsLoaded()) {
        // The loader has shown its message for most faults; say what happened in any case.
        std::fprintf(stderr, "quorvex: %s: %s\n", path.c_str(),
                     pic.LoadError.empty() ? "the picture could not be loaded" : pic.LoadError.c_str());
        return false;
    }
    PictureFile pf;
    readPictureFile(path, pf);  // the header as it stands in the file

    std::printf("%s\n", path.c_str());
    if (pf.placeable) std::printf("  %s\n", describePlaceable(*pf.placeable).c_str());
    std::printf("  %s\n", describeMetaHeader(pic.Handle->header()).c_str());
    printRect("frame:", pic.Frame);
    std::printf("  %-16s %g\n", "units per inch:", pic.UnitsPerInch);
    if (pic.UnitsPerInch > 0) {
        double w = (pic.Frame.right - pic.Frame.left) / pic.UnitsPerInch;
        double h = (pic.Frame.bottom - pic.Frame.top) / pic.UnitsPerInch;
        std::printf("  %-16s %.3f x %.3f in (%.1f x %.1f mm)\n", "printed size:", w, h, w * 25.4, h * 25.4);
    } else {
        std::printf("  %-16s unknown (the header gives no units per inch)\n", "printed size:");
    }
    const EngineState& s = ctx.engine.state;
    if (s.HasWindowExt)
        std::printf("  %-16s %d x %d\n", "window extent:", pic.WindowExt.cx, pic.WindowExt.cy);
    else
        std::printf("  %-16s none (no SETWINDOWEXT record)\n", "window extent:");
    if (pic.Extent.left > pic.Extent.right)
        std::printf("  %-16s nothing is drawn\n", "drawn extent:");
    else
        printRect("drawn extent:", pic.Extent);
    if (s.BackgroundFound)
        std::printf("  %-16s 0x%06X\n", "background:", unsigned(s.BackgroundColor));
    else
        std::printf("  %-16s none\n", "background:");
    std::printf("  %-16s %d\n", "palette column:", ctx.settings.oPalette);

    size_t creates = 0;
    mf::forEachRecord(*pic.Handle, [&](const mf::Record& r, size_t) { creates += mf::createsObject(r.function()); });
    std::printf("  %-16s %zu, the end record included (%zu bytes)\n", "records:", pic.Handle->recordCount() + 1,
                pic.Handle->bits().size());
    std::printf("  %-16s %zu created, %u slots in the header\n", "objects:", creates,
                unsigned(pic.Handle->header().numObjects));
    return true;
}

}  // namespace

int runInfo(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (const std::string* opt = firstOption(args)) return usageError("unknown option '" + *opt + "'", kUsage);
    if (args.empty()) return usageError("no file given", kUsage);
    bool allOk = true;
    for (const auto& path : args) allOk = infoOne(path) && allOk;
    return allOk ? kExitOk : kExitFailed;
}

}  // namespace qv::cli
