// quorvex records FILE: every record of a picture, like a disassembler.
#include <cstdio>

#include "cli/cli.h"
#include "cli/picture_file.h"
#include "engine/metafile/dump.h"
#include "engine/metafile/metafile.h"

namespace qv::cli {

namespace {
constexpr const char* kUsage = "quorvex records FILE";
constexpr const char* kHelp =
    "usage: quorvex records FILE\n"
    "\n"
    "Prints the headers of a WMF picture (placeable or not) and then every record, one\n"
    "line each: file offset, size in 16-bit words, function number, name and the fields\n"
    "that matter. A damaged picture is listed up to the damage, which is then described;\n"
    "the exit status is 1 in that case.\n";
}  // namespace

int runRecords(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (const std::string* opt = firstOption(args)) return usageError("unknown option '" + *opt + "'", kUsage);
    if (args.size() != 1) return usageError(args.empty() ? "no file given" : "one file at a time", kUsage);
    const std::string& path = args[0];
    PictureFile pf;
    if (!readPictureFile(path, pf)) {
        std::fprintf(stderr, "quorvex: %s: %s\n", path.c_str(), pf.error.c_str());
        return kExitFailed;
    }
    if (pf.placeable) std::printf("%s\n", describePlaceable(*pf.placeable).c_str());
    std::printf("%s\n", describeMetaHeader(pf.header).c_str());
    if (pf.header.type != 1 && pf.header.type != 2) {
        std::fprintf(stderr, "quorvex: %s: the metafile header has type %u (1 or 2 expected)\n", path.c_str(),
                     unsigned(pf.header.type));
        return kExitFailed;
    }
    if (pf.header.headerSize != 9) {
        std::fprintf(stderr, "quorvex: %s: the metafile header size is %u words (9 expected)\n", path.c_str(),
                     unsigned(pf.header.headerSize));
        return kExitFailed;
    }

    using namespace mf;
    ByteSpan bits(pf.bytes.data() + pf.wmfOffset, pf.bytes.size() - pf.wmfOffset);
    size_t off = MetaHeader::kBytes;
    size_t index = 0;
    for (;;) {
        size_t at = pf.wmfOffset + off;
        if (off == bits.size()) {
            std::fprintf(stderr, "quorvex: %s: the picture ends after %zu records without an end record\n",
                         path.c_str(), index);
            return kExitFailed;
        }
        if (!fits(bits.size(), off, 6)) {
            std::fprintf(stderr, "quorvex: %s: record %zu at offset 0x%zX is cut off\n", path.c_str(), index, at);
            return kExitFailed;
        }
        uint32_t words = rdU32(&bits[off]);
        if (words < 3 || uint64_t(words) * 2 > bits.size() - off) {
            std::fprintf(stderr, "quorvex: %s: record %zu at offset 0x%zX (%s) %s\n", path.c_str(), index, at,
                         recordName(rdU16(&bits[off + 4])).c_str(),
                         words < 3 ? ("has a size of " + std::to_string(words) + " words").c_str()
                                   : "runs past the end of the picture");
            return kExitFailed;
        }
        Record r(const_cast<uint8_t*>(&bits[off]), size_t(words) * 2);
        std::string fault = recordFault(r);
        if (!fault.empty()) {
            std::fprintf(stderr, "quorvex: %s: record %zu at offset 0x%zX (%s): %s\n", path.c_str(), index, at,
                         recordName(r.function()).c_str(), fault.c_str());
            return kExitFailed;
        }
        std::printf("%s\n", dumpLine(r, at).c_str());
        if (r.function() == 0) break;
        off += size_t(words) * 2;
        ++index;
    }
    size_t end = pf.wmfOffset + off + 6;
    if (end < pf.bytes.size()) std::printf("(%zu bytes after the end record are not part of the picture)\n", pf.bytes.size() - end);
    return kExitOk;
}

}  // namespace qv::cli
