// Input: a settings block of kSettingsBytes, then a picture file (placeable
// or bare WMF). The picture is loaded as the clipboard or a file would give
// it, rendered under the settings, and the output must be a picture again.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "engine/cmetafile.h"
#include "engine/metafile/gdi.h"
#include "engine/metafile/metafilepict.h"
#include "engine/placeable.h"
#include "engine/render.h"
#include "fuzz/fuzz_support.h"

namespace {

using namespace qv;

constexpr size_t kSettingsBytes = 96;

// One in-memory file for the whole run, rewritten for every input.
const std::string& memoryFilePath() {
    static const std::string path = [] {
        const int fd = memfd_create("fuzz_picture.wmf", 0);
        return fd < 0 ? std::string() : "/proc/self/fd/" + std::to_string(fd);
    }();
    return path;
}

bool writeMemoryFile(const uint8_t* data, size_t size) {
    const std::string& path = memoryFilePath();
    if (path.empty()) return false;
    const int fd = std::stoi(path.substr(path.rfind('/') + 1));
    if (ftruncate(fd, 0) != 0) return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = pwrite(fd, data + done, size - done, off_t(done));
        if (n <= 0) return false;
        done += size_t(n);
    }
    return true;
}

int32_t drawExtent(FuzzedDataProvider& in) {
    static constexpr int32_t kPicks[] = {0, 1, -1, 2540, 21000, 29700, 100000, INT32_MAX, INT32_MIN};
    const size_t pick = in.ConsumeIntegralInRange<size_t>(0, 9);
    return pick < 9 ? kPicks[pick] : in.ConsumeIntegral<int32_t>();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t head = size < kSettingsBytes ? size : kSettingsBytes;
    FuzzedDataProvider in(data, head);
    const mf::ByteSpan file(data + head, size - head);

    fuzz::QuietEngine q(fuzz::startSettings());
    fuzz::drawSettings(in, q.settings);
    const bool fromFile = in.ConsumeBool();
    const bool intelliCad = in.ConsumeBool();
    const int32_t xExt = drawExtent(in);
    const int32_t yExt = drawExtent(in);
    const double viewHeight = in.ConsumeBool() ? 0.0 : in.ConsumeFloatingPointInRange<double>(-10.0, 1e6);
    if (in.ConsumeBool()) q.engine.screenBitsPerPixel = in.ConsumeBool() ? 8 : 16;

    mf::MetafileHandle source = mf::parseMetafile(fuzz::wmfPart(file));
    if (!source) return 0;
    fuzz::requireWellFormed(*source, "the parsed input", false);

    CMetafile picture;
    const bool placeable = file.size() >= kPlaceableBytes && mf::rdU32(file.data()) == kPlaceableKey;
    if (fromFile && placeable && writeMemoryFile(file.data(), file.size())) {
        picture.LoadPlaceableFile(q.engine, memoryFilePath(), viewHeight);
    } else {
        mf::METAFILEPICT pict;
        pict.mm = mf::MM_ANISOTROPIC;
        pict.xExt = xExt;
        pict.yExt = yExt;
        pict.hMF = source.get();
        picture.LoadClipboardPicture(q.engine, pict, viewHeight, intelliCad ? 1 : 0);
    }
    if (!picture.IsLoaded()) return 0;

    auto dc = mf::CreateMetaFileW();
    Render(q.engine, picture, *dc);
    mf::MetafileHandle output = mf::CloseMetaFile(std::move(dc));
    if (!output) fuzz::fail("the output DC gave no picture");
    fuzz::requireWellFormed(*output, "the rendered output");
    return 0;
}
