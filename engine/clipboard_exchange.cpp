#include "engine/clipboard_exchange.h"

#include <cmath>
#include <cstdio>

#include "engine/metafile/gdi.h"
#include "engine/metafile/muldiv.h"
#include "engine/render.h"
#include "platform/names.h"
#include "platform/system_error.h"

namespace qv {

using namespace platform;

namespace {

constexpr int kMaxFormatName = 80;

bool startsWithNoCase(const std::string& s, std::string_view prefix) {
    return s.size() >= prefix.size() && sameName(std::string_view(s).substr(0, prefix.size()), prefix);
}

// The formats a picture may come with and still count as nothing but a picture.
bool isPictureFormat(uint32_t f) {
    return f == CF_BITMAP || f == CF_METAFILEPICT || f == CF_DIB || f == CF_ENHMETAFILE;
}

}  // namespace

void ClipboardExchange::ReadClipboard(bool force, double viewHeight, bool showTip) {
    if (ClipboardBusy || !clipboard_.IsClipboardFormatAvailable(CF_METAFILEPICT)) return;
    ClipboardBusy = true;
    const WmfSettings& st = engine_.settings;
    do {
        if (!clipboard_.OpenClipboard(engine_.ui.mainWindow())) {
            std::string why = SystemErrorText();
            LastSizeText = "(unable to open clipboard for reading)";
            engine_.ui.ShowError(0, "Unable to open clipboard for reading:\n%s", why.c_str());
            break;
        }
        if (st.AutoModify == 3) force = true;
        bool intelliCad = false, otherData = false;
        for (uint32_t f = clipboard_.EnumClipboardFormats(0); f; f = clipboard_.EnumClipboardFormats(f)) {
            std::string name;
            if (clipboard_.GetClipboardFormatNameW(f, name, kMaxFormatName) > 0) {
                if (startsWithNoCase(name, "AutoCAD") || startsWithNoCase(name, "Autosketch")) force = true;
                if (tray_ && startsWithNoCase(name, "IntelliCAD")) intelliCad = true;
            } else if (!isPictureFormat(f)) {
                otherData = true;
            }
        }
        if (!(force || st.AutoModify == 3 || (st.AutoModify == 2 && !otherData))) {
            LastSizeText = "(WMF not modified)";
            clipboard_.CloseClipboard();
            break;
        }
        GlobalBlock* block = clipboard_.GetClipboardData(CF_METAFILEPICT);
        const mf::METAFILEPICT* pict = block ? block->lockAs<mf::METAFILEPICT>() : nullptr;
        if (!pict) {
            clipboard_.CloseClipboard();
            break;
        }
        LastPicture = std::make_unique<CMetafile>();
        LastPicture->LoadClipboardPicture(engine_, *pict, viewHeight, intelliCad ? 1 : 0);
        HasLastPicture = true;
        block->unlock();
        clipboard_.CloseClipboard();

        CopyToClipboard(*LastPicture, showTip);
        if (tray_ && st.PopupSaveas) ui_.SaveLastPicture();
    } while (false);
    ClipboardBusy = false;
}

int ClipboardExchange::CopyToClipboard(CMetafile& picture, bool showTip) {
    auto dc = mf::CreateMetaFileW();
    Size size = RenderPicture(engine_, picture, *dc);
    mf::MetafileHandle rendered = mf::CloseMetaFile(std::move(dc));

    // The printed size in 0.01 mm, the height in the output's proportions.
    mf::METAFILEPICT pict;
    pict.mm = mf::MM_ANISOTROPIC;
    const double scale = engine_.state.OutputScale;
    const double width = (scale > 0 && size.cx > 0) ? std::trunc(size.cx * 2540.0 / scale) : 0;
    pict.xExt = int32_t(std::min(width, 2147483647.0));
    pict.yExt = size.cx != 0 ? mf::MulDiv(pict.xExt, size.cy, size.cx) : 0;
    char text[96];
    if (engine_.settings.IsMetric)
        std::snprintf(text, sizeof text, "(size: %.1f * %.1f cm)", pict.xExt / 1000.0, pict.yExt / 1000.0);
    else
        std::snprintf(text, sizeof text, "(size: %.2f\" * %.2f\")", pict.xExt / 2540.0, pict.yExt / 2540.0);
    LastSizeText = text;

    GlobalHandle block = makeMetafilePictBlock(GMEM_DDESHARE | GMEM_ZEROINIT | GMEM_MOVEABLE, pict, std::move(rendered));
    if (!clipboard_.OpenClipboard(engine_.ui.mainWindow())) {
        std::string why = SystemErrorText();
        engine_.ui.ShowError(0, "Unable to open clipboard for writing:\n%s", why.c_str());
        return 0;
    }
    if (!clipboard_.EmptyClipboard() || !clipboard_.SetClipboardData(CF_METAFILEPICT, std::move(block))) {
        std::string why = SystemErrorText();
        engine_.ui.ShowError(0, "Unable to write clipboard.\n%s", why.c_str());
    }
    clipboard_.CloseClipboard();
    if (showTip && engine_.settings.Tooltip) ui_.showCopyTip("Clipboard modified by Quorvex\n" + LastSizeText);
    return 1;
}

void ClipboardExchange::CopyLastToClipboard() {
    if (ClipboardBusy || !HasLastPicture || !LastPicture) return;
    ClipboardBusy = true;
    CopyToClipboard(*LastPicture, true);
    ClipboardBusy = false;
}

void ClipboardExchange::ReplaceLastPicture(std::unique_ptr<CMetafile> picture) {
    LastPicture = std::move(picture);
    HasLastPicture = LastPicture != nullptr;
}

}  // namespace qv
