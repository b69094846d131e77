// quorvex normalize FILE -o OUT: every record played unchanged into a
// recording DC, as the platform would rewrite the picture.
#include <cerrno>
#include <cstdio>

#include "cli/cli.h"
#include "cli/picture_file.h"
#include "engine/metafile/gdi.h"
#include "engine/normalize.h"
#include "platform/files.h"
#include "platform/system_error.h"

namespace qv::cli {

namespace {
constexpr const char* kUsage = "quorvex normalize FILE -o OUT";
constexpr const char* kHelp =
    "usage: quorvex normalize FILE -o OUT\n"
    "\n"
    "Rewrites a WMF picture (placeable or not) without changing what it draws: every\n"
    "record is played unchanged into a recording DC. The header counts come out right,\n"
    "records after the end record are dropped and object slots are numbered as a\n"
    "recording DC numbers them. A placeable header is kept, with its checksum recomputed.\n"
    "OUT may be FILE itself; it is replaced only when the new file is complete.\n";
}  // namespace

int runNormalize(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    std::string in, out;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-o" || args[i] == "--output") {
            if (i + 1 >= args.size()) return usageError("-o needs a file name", kUsage);
            out = args[++i];
        } else if (!args[i].empty() && args[i][0] == '-') {
            return usageError("unknown option '" + args[i] + "'", kUsage);
        } else if (in.empty()) {
            in = args[i];
        } else {
            return usageError("one file at a time", kUsage);
        }
    }
    if (in.empty()) return usageError("no file given", kUsage);
    if (out.empty()) return usageError("no output file given (-o OUT)", kUsage);

    PictureFile pf;
    if (!readPictureFile(in, pf)) {
        std::fprintf(stderr, "quorvex: %s: %s\n", in.c_str(), pf.error.c_str());
        return kExitFailed;
    }
    std::string fault;
    mf::ByteSpan bits(pf.bytes.data() + pf.wmfOffset, pf.bytes.size() - pf.wmfOffset);
    mf::MetafileHandle source = mf::parseMetafile(bits, &fault, pf.wmfOffset);
    if (!source) {
        std::fprintf(stderr, "quorvex: %s: %s\n", in.c_str(), fault.c_str());
        return kExitFailed;
    }
    mf::MetafileHandle result = normalizeMetafile(*source);
    mf::Bytes header;
    if (pf.placeable) {
        PlaceableHeader h = *pf.placeable;
        h.checksum = PlaceableChecksum(h);
        auto b = h.bytes();
        header.assign(b.begin(), b.end());
    }
    const std::span<const uint8_t> pieces[] = {header, result->bits()};
    if (!platform::writeFileAtomically(out, pieces)) {
        std::fprintf(stderr, "quorvex: Unable to write %s:\n%s\n", out.c_str(), platform::SystemErrorText().c_str());
        return kExitFailed;
    }
    std::printf("%s: %zu records in, %zu out (the end record included), %u object slots\n", out.c_str(),
                source->recordCount() + 1, result->recordCount() + 1, unsigned(result->header().numObjects));
    return kExitOk;
}

}  // namespace qv::cli
