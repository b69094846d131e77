#include "engine/cmetafile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <vector>

#include "engine/extent_pass.h"
#include "engine/placeable.h"
#include "platform/system_error.h"

namespace qv {

using namespace mf;

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Reads up to `n` bytes at `offset`; false on a read error (a short read is
// not one).
bool readAt(std::FILE* f, long offset, uint8_t* out, size_t n, size_t& got) {
    got = 0;
    if (std::fseek(f, offset, SEEK_SET) != 0) return false;
    got = std::fread(out, 1, n, f);
    return !std::ferror(f);
}

}  // namespace

CMetafile::~CMetafile() { DeleteMetaFile(Handle); }

void CMetafile::clear(double viewHeight) {
    LoadedFromFile = LoadedFromClipboard = 0;
    Extent = {32767, 32767, -32767, -32767};
    Frame = {};
    UnitsPerInch = 0;
    ViewHeight = viewHeight;
    MergeDc = nullptr;
    DeleteMetaFile(Handle);
    MapMode = ExtX = ExtY = 0;
    WindowExt = {};
    IntelliCadPalette = 0;
    LoadError.clear();
}

void CMetafile::LoadClipboardPicture(Engine& engine, const METAFILEPICT& pict, double viewHeight,
                                     int intelliCadPalette) {
    clear(viewHeight);
    IntelliCadPalette = intelliCadPalette;
    MapMode = pict.mm;
    ExtX = pict.xExt;
    ExtY = pict.yExt;
    Handle = CopyMetaFileW(pict.hMF);
    if (!Handle) {
        LoadError = "the clipboard holds no picture";
        return;
    }
    LoadedFromClipboard = 1;

    ExtentResult ext = ComputeExtents(engine, *Handle, IntelliCadPalette != 0);
    Extent = ext.Extent;
    WindowExt = ext.WindowExt;
    if (MapMode == MM_TEXT) {
        // An MM_TEXT picture is taken as 120 units per inch.
        WindowExt = {pict.xExt, pict.yExt};
        MapMode = MM_ANISOTROPIC;
        ExtX = int32_t(int64_t(pict.xExt) * 2540 / 120);
        ExtY = int32_t(int64_t(pict.yExt) * 2540 / 120);
    }
    Frame = {0, 0, WindowExt.cx, WindowExt.cy};
    // A picture without a positive suggested width has no size of its own.
    UnitsPerInch = ExtX > 0 ? WindowExt.cx * 2540.0 / ExtX : 0;
}

void CMetafile::LoadPlaceableFile(Engine& engine, const std::filesystem::path& path, double viewHeight) {
    clear(viewHeight);
    const std::string name = path.string();
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) {
        LoadError = platform::SystemErrorText();  // the file does not exist
        return;
    }
    {
        errno = 0;
        File f(std::fopen(name.c_str(), "rb"));
        uint8_t key[4];
        size_t got = 0;
        if (!f || !readAt(f.get(), 0, key, 4, got)) {
            if (errno == 0) errno = EIO;
            LoadError = platform::SystemErrorText();
            engine.ui.ShowError(0, "Unable to open %s:\n%s", name.c_str(), LoadError.c_str());
            return;
        }
        if (got < 4) {
            LoadError = "not a Windows metafile";
            engine.ui.ShowError(0, "Not a Windows metafile: %s", name.c_str());
            return;
        }
        if (rdU32(key) != kPlaceableKey) {
            LoadError = "not a placeable Windows metafile";
            engine.ui.ShowError(0, "Unsupported windows metafile format");
            return;
        }
    }
    if (ReadPlaceable(engine, path)) LoadedFromFile = 1;
}

bool CMetafile::ReadPlaceable(Engine& engine, const std::filesystem::path& path) {
    const std::string name = path.string();
    File f(std::fopen(name.c_str(), "rb"));
    if (!f) {
        LoadError = platform::SystemErrorText();
        return false;
    }
    uint8_t head[kPlaceableBytes + MetaHeader::kBytes];
    size_t got = 0;
    if (!readAt(f.get(), 0, head, kPlaceableBytes, got) || got < kPlaceableBytes) {
        LoadError = "the placeable header is cut off";
        return false;
    }
    if (!readAt(f.get(), long(kPlaceableBytes), head + kPlaceableBytes, MetaHeader::kBytes, got) ||
        got < MetaHeader::kBytes) {
        LoadError = "the metafile header is cut off";
        return false;
    }
    MetaHeader mh = MetaHeader::read(ByteSpan(head + kPlaceableBytes, MetaHeader::kBytes));
    if (mh.type != 1 && mh.type != 2) {
        LoadError = "the metafile header has type " + std::to_string(mh.type) + " (1 or 2 expected)";
        return false;
    }
    // The size field may promise more than the file holds (some writers count
    // the placeable header too): read what is there, never more.
    std::error_code ec;
    uint64_t fileSize = std::filesystem::file_size(path, ec);
    uint64_t want = uint64_t(mh.sizeWords) * 2;
    uint64_t available = (!ec && fileSize > kPlaceableBytes) ? fileSize - kPlaceableBytes : 0;
    if (want > available) want = available;
    std::vector<uint8_t> bits;
    try {
        bits.resize(size_t(want));
    } catch (const std::bad_alloc&) {
        LoadError = "not enough memory for the picture";
        return false;
    }
    if (!readAt(f.get(), long(kPlaceableBytes), bits.data(), bits.size(), got)) {
        LoadError = platform::SystemErrorText();
        return false;
    }
    bits.resize(got);
    f.reset();

    std::string fault;
    Handle = parseMetafile(std::move(bits), &fault, kPlaceableBytes);
    if (!Handle) {
        LoadError = fault;
        // Records that do not fit their data: say so, with the file and the fault.
        if (fault.rfind("record", 0) == 0 || fault.rfind("the picture ends", 0) == 0)
            engine.ui.ShowError(0, "Damaged Windows metafile: %s\n%s", name.c_str(), fault.c_str());
        return false;
    }
    ExtentResult ext = ComputeExtents(engine, *Handle, IntelliCadPalette != 0);
    Extent = ext.Extent;
    WindowExt = ext.WindowExt;
    PlaceableHeader ph = PlaceableHeader::read(ByteSpan(head, kPlaceableBytes));
    Frame = {ph.left, ph.top, ph.right, ph.bottom};
    UnitsPerInch = ph.inch;
    return true;
}

}  // namespace qv
