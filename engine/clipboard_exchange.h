// Pictures passing through the clipboard: recognised by the formats that come
// with them, improved, and put back as the only clipboard format.
#pragma once

#include <memory>
#include <string>

#include "engine/cmetafile.h"
#include "engine/engine.h"
#include "platform/clipboard.h"

namespace qv {

// What the program shows around a copy: the after-copy tooltip and, in the
// tray program, the save-as popup for the last picture.
class ClipboardUi {
public:
    virtual ~ClipboardUi() = default;
    // The tooltip at the mouse position ("Clipboard modified by Quorvex\n" and
    // the size text); nothing when the position cannot be read.
    virtual void showCopyTip(const std::string& text) = 0;
    // The tray program's save-as popup for the last picture.
    virtual void SaveLastPicture() {}
};

class ClipboardExchange {
public:
    // `trayProgram`: the tray program recognises IntelliCAD pictures and may
    // pop up its save-as dialog after a copy.
    ClipboardExchange(Engine& engine, platform::Clipboard& clipboard, ClipboardUi& ui, bool trayProgram)
        : engine_(engine), clipboard_(clipboard), ui_(ui), tray_(trayProgram) {}

    // Improves the clipboard's picture when the rules of AutoModify say so (or
    // when forced).
    void ReadClipboard(bool force, double viewHeight, bool showTip);
    // Renders the picture onto the clipboard as its only format. 0 when the
    // clipboard cannot be opened for writing.
    int CopyToClipboard(CMetafile& picture, bool showTip);
    // The last picture again, when there is one and no read or copy is under way.
    void CopyLastToClipboard();
    // The merge flow's picture becomes the last picture.
    void ReplaceLastPicture(std::unique_ptr<CMetafile> picture);

    std::unique_ptr<CMetafile> LastPicture;
    bool HasLastPicture = false;
    bool ClipboardBusy = false;
    std::string LastSizeText;

private:
    Engine& engine_;
    platform::Clipboard& clipboard_;
    ClipboardUi& ui_;
    bool tray_;
};

}  // namespace qv
