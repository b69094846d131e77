// Input: a clipboard description of kClipboardBytes (mapping mode, extents,
// the other formats beside the picture, the reader's switches), then a
// picture file. The exchange reads the clipboard at every AutoModify level;
// afterwards the clipboard's picture must be well formed.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "engine/clipboard_exchange.h"
#include "engine/metafile/metafilepict.h"
#include "fuzz/fuzz_support.h"
#include "platform/clipboard.h"

namespace {

using namespace qv;
using namespace qv::platform;

constexpr size_t kClipboardBytes = 160;
constexpr WindowId kWriter = 77;

class SilentClipboardUi : public ClipboardUi {
public:
    void showCopyTip(const std::string&) override {}
};

struct ExtraFormat {
    std::string name;  // registered when not empty
    uint32_t id = 0;   // else this id
    std::vector<uint8_t> data;
    bool withData = false;
};

struct ClipboardContents {
    int32_t mm = mf::MM_ANISOTROPIC;
    int32_t xExt = 0, yExt = 0;
    bool pictureData = true;  // false: the format is listed without data
    size_t picturePosition = 0;
    std::vector<ExtraFormat> extras;
};

int32_t drawExtent(FuzzedDataProvider& in) {
    static constexpr int32_t kPicks[] = {0, 1, -1, -2540, 2540, 21000, 1 << 24, INT32_MAX, INT32_MIN};
    const size_t pick = in.ConsumeIntegralInRange<size_t>(0, 9);
    return pick < 9 ? kPicks[pick] : in.ConsumeIntegral<int32_t>();
}

std::string drawFormatName(FuzzedDataProvider& in) {
    static const char* const kNames[] = {"AutoCAD.r15", "autocad", "AutoSketch", "IntelliCAD Drawing",
                                         "intellicad", "Rich Text Format", "Embed Source", "Auto"};
    const size_t n = sizeof kNames / sizeof kNames[0];
    const size_t pick = in.ConsumeIntegralInRange<size_t>(0, n);
    if (pick < n) return kNames[pick];
    std::string s = in.ConsumeRandomLengthString(100);
    return s.empty() ? "x" : s;
}

uint32_t drawFormatId(FuzzedDataProvider& in) {
    static constexpr uint32_t kIds[] = {CF_TEXT,         CF_BITMAP,        CF_DIB,
                                        CF_ENHMETAFILE,  CF_PALETTE,       CF_UNICODETEXT,
                                        CF_OWNERDISPLAY, CF_DSPMETAFILEPICT, CF_PRIVATEFIRST,
                                        CF_GDIOBJLAST,   CF_DIBV5,         kFirstRegisteredFormat + 40};
    const size_t n = sizeof kIds / sizeof kIds[0];
    const size_t pick = in.ConsumeIntegralInRange<size_t>(0, n);
    if (pick < n) return kIds[pick];
    uint32_t id = in.ConsumeIntegral<uint32_t>();
    return id == CF_METAFILEPICT || id == 0 ? CF_TEXT : id;
}

ClipboardContents drawContents(FuzzedDataProvider& in) {
    ClipboardContents c;
    const size_t mmPick = in.ConsumeIntegralInRange<size_t>(0, 9);
    c.mm = mmPick < 9 ? int32_t(mmPick) : in.ConsumeIntegral<int32_t>();
    c.xExt = drawExtent(in);
    c.yExt = drawExtent(in);
    c.pictureData = in.ConsumeIntegralInRange<int>(0, 15) != 0;
    const size_t extras = in.ConsumeIntegralInRange<size_t>(0, 5);
    c.picturePosition = in.ConsumeIntegralInRange<size_t>(0, extras);
    for (size_t i = 0; i < extras; ++i) {
        ExtraFormat f;
        if (in.ConsumeBool())
            f.name = drawFormatName(in);
        else
            f.id = drawFormatId(in);
        f.withData = in.ConsumeBool();
        if (f.withData) f.data = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 16));
        c.extras.push_back(std::move(f));
    }
    return c;
}

void putPicture(Clipboard& cb, const ClipboardContents& c, const mf::Metafile* picture) {
    if (!c.pictureData) {
        GlobalHandle none;
        cb.SetClipboardData(CF_METAFILEPICT, std::move(none));
        return;
    }
    mf::METAFILEPICT pict;
    pict.mm = c.mm;
    pict.xExt = c.xExt;
    pict.yExt = c.yExt;
    GlobalHandle block = makeMetafilePictBlock(GMEM_MOVEABLE | GMEM_DDESHARE, pict,
                                               picture ? mf::CopyMetaFileW(picture) : nullptr);
    if (!cb.SetClipboardData(CF_METAFILEPICT, std::move(block))) fuzz::fail("SetClipboardData refused the picture");
}

void fill(Clipboard& cb, const ClipboardContents& c, const mf::Metafile* picture) {
    if (!cb.OpenClipboard(kWriter) || !cb.EmptyClipboard()) fuzz::fail("cannot set up the clipboard");
    for (size_t i = 0; i <= c.extras.size(); ++i) {
        if (i == c.picturePosition) putPicture(cb, c, picture);
        if (i == c.extras.size()) break;
        const ExtraFormat& f = c.extras[i];
        const uint32_t id = f.name.empty() ? f.id : cb.RegisterClipboardFormatW(f.name);
        if (id == 0 || id == CF_METAFILEPICT) continue;
        GlobalHandle block;
        if (f.withData) {
            block = GlobalAlloc(GMEM_MOVEABLE, f.data.size());
            if (!f.data.empty()) {
                std::memcpy(block->lock(), f.data.data(), f.data.size());
                block->unlock();
            }
        }
        cb.SetClipboardData(id, std::move(block));
    }
    if (!cb.CloseClipboard()) fuzz::fail("cannot close the clipboard");
}

// The clipboard's picture, when it has one with data, must be well formed.
void checkClipboard(Clipboard& cb, const char* where, bool rewritten) {
    if (!cb.IsClipboardFormatAvailable(CF_METAFILEPICT)) fuzz::fail(where, "the picture format is gone");
    if (!cb.OpenClipboard(kWriter)) fuzz::fail(where, "the clipboard was left open");
    GlobalBlock* block = cb.GetClipboardData(CF_METAFILEPICT);
    if (block) {
        const mf::METAFILEPICT* pict = block->lockAs<mf::METAFILEPICT>();
        if (!pict) fuzz::fail(where, "the picture block is too small");
        if (pict->hMF) {
            if (pict->hMF != block->metafile()) fuzz::fail(where, "the picture is not the block's own");
            fuzz::requireWellFormed(*pict->hMF, where, rewritten);
        }
        block->unlock();
    }
    cb.CloseClipboard();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t head = size < kClipboardBytes ? size : kClipboardBytes;
    FuzzedDataProvider in(data, head);
    const mf::ByteSpan file(data + head, size - head);

    const ClipboardContents contents = drawContents(in);
    const bool tray = in.ConsumeBool();
    const bool force = in.ConsumeBool();
    const bool showTip = in.ConsumeBool();
    const double viewHeight = in.ConsumeBool() ? 0.0 : in.ConsumeFloatingPointInRange<double>(0.0, 1e5);
    WmfSettings settings = fuzz::startSettings();
    fuzz::drawSettings(in, settings);

    mf::MetafileHandle source = mf::parseMetafile(fuzz::wmfPart(file));

    for (int level = 0; level <= 3; ++level) {
        fuzz::QuietEngine q(settings);
        q.settings.AutoModify = level;
        q.ui.setMainWindow(1);
        Clipboard cb;
        fill(cb, contents, source.get());
        SilentClipboardUi ui;
        ClipboardExchange exchange(q.engine, cb, ui, tray);
        uint32_t before = cb.GetClipboardSequenceNumber();
        exchange.ReadClipboard(force, viewHeight, showTip);
        checkClipboard(cb, "after reading the clipboard", cb.GetClipboardSequenceNumber() != before);
        // Reading the improved picture again improves it once more.
        if (level == 3) {
            before = cb.GetClipboardSequenceNumber();
            exchange.ReadClipboard(force, viewHeight, showTip);
            checkClipboard(cb, "after reading the clipboard again", cb.GetClipboardSequenceNumber() != before);
        }
    }
    return 0;
}
