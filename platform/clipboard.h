// The clipboard: formats, global memory blocks, the open/empty/set/get
// exchange and the clipboard viewer chain.
//
// One Clipboard object stands for one desktop's clipboard. The programs and
// tests create it and hand it to whoever needs it; nothing here is global.
// This backend keeps everything in the process (tests, the CAD host).
//
// Rules the platform's callers rely on, kept here:
// - The clipboard is open for at most one window at a time. Opening it again
//   from the window that holds it succeeds (there is no nesting count; one
//   CloseClipboard closes it).
// - EmptyClipboard, SetClipboardData, GetClipboardData, EnumClipboardFormats
//   and CloseClipboard need the clipboard open; CountClipboardFormats,
//   IsClipboardFormatAvailable and the format names do not.
// - Once SetClipboardData succeeds the clipboard owns the block; the writer
//   may still read it through its own pointer until the clipboard changes.
// - Formats are listed in the order they were first set; setting a format
//   again replaces its data in place. No format is synthesised from another.
// - The viewer chain: the clipboard knows only the first viewer; each viewer
//   keeps its successor and passes messages on itself. WM_DRAWCLIPBOARD goes
//   to the first viewer from inside CloseClipboard, after a session that
//   emptied the clipboard or set data, once the clipboard is closed again.
//   So a viewer runs while the writer's CloseClipboard has not yet returned
//   (the write is still under way for the writer) and can open the clipboard
//   and read the new contents. SetClipboardViewer sends WM_DRAWCLIPBOARD to
//   the new viewer before it returns, as the platform does.
// - Failures return 0/false/null and set errno: EBUSY when another window
//   has the clipboard open, EACCES when the clipboard is not open, EINVAL
//   for bad arguments, ENODATA for a format that is not on the clipboard.
//   SystemErrorText() reports them.
//
// Everything runs on the thread that owns the windows; message delivery is
// synchronous and may re-enter the clipboard.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/metafile/metafilepict.h"
#include "platform/user_interface.h"

namespace qv::platform {

// Predefined clipboard formats.
constexpr uint32_t CF_TEXT = 1;
constexpr uint32_t CF_BITMAP = 2;
constexpr uint32_t CF_METAFILEPICT = 3;
constexpr uint32_t CF_SYLK = 4;
constexpr uint32_t CF_DIF = 5;
constexpr uint32_t CF_TIFF = 6;
constexpr uint32_t CF_OEMTEXT = 7;
constexpr uint32_t CF_DIB = 8;
constexpr uint32_t CF_PALETTE = 9;
constexpr uint32_t CF_PENDATA = 10;
constexpr uint32_t CF_RIFF = 11;
constexpr uint32_t CF_WAVE = 12;
constexpr uint32_t CF_UNICODETEXT = 13;
constexpr uint32_t CF_ENHMETAFILE = 14;
constexpr uint32_t CF_HDROP = 15;
constexpr uint32_t CF_LOCALE = 16;
constexpr uint32_t CF_DIBV5 = 17;
constexpr uint32_t CF_OWNERDISPLAY = 0x0080;
constexpr uint32_t CF_DSPTEXT = 0x0081;
constexpr uint32_t CF_DSPBITMAP = 0x0082;
constexpr uint32_t CF_DSPMETAFILEPICT = 0x0083;
constexpr uint32_t CF_DSPENHMETAFILE = 0x008E;
constexpr uint32_t CF_PRIVATEFIRST = 0x0200;
constexpr uint32_t CF_PRIVATELAST = 0x02FF;
constexpr uint32_t CF_GDIOBJFIRST = 0x0300;
constexpr uint32_t CF_GDIOBJLAST = 0x03FF;
// Registered formats are numbered from here up.
constexpr uint32_t kFirstRegisteredFormat = 0xC000;

// Global memory flags.
constexpr uint32_t GMEM_FIXED = 0x0000;
constexpr uint32_t GMEM_MOVEABLE = 0x0002;
constexpr uint32_t GMEM_ZEROINIT = 0x0040;
constexpr uint32_t GMEM_DDESHARE = 0x2000;
constexpr uint32_t GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// Messages of the viewer chain.
constexpr uint32_t WM_DRAWCLIPBOARD = 0x0308;
constexpr uint32_t WM_CHANGECBCHAIN = 0x030D;

// A global memory block. Its bytes are always zero to start with (whether
// GMEM_ZEROINIT is given or not) and suitably aligned for any record.
// A block of zero bytes has nothing to lock.
//
// A CF_METAFILEPICT block also owns the picture its METAFILEPICT points to,
// so the picture lives exactly as long as the block: on the clipboard, until
// the clipboard is emptied or the format is set again.
class GlobalBlock {
public:
    GlobalBlock(uint32_t flags, size_t bytes);
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;

    uint32_t flags() const { return flags_; }
    size_t size() const { return size_; }
    unsigned lockCount() const { return locks_; }

    // The bytes, counting one more lock; null for an empty block.
    void* lock();
    // Counts one lock less. True while the block is still locked, as
    // GlobalUnlock reports it.
    bool unlock();
    // The bytes as a T, counting one more lock; null (and no lock) when the
    // block is smaller than a T.
    template <class T>
    T* lockAs() {
        return size_ >= sizeof(T) ? static_cast<T*>(lock()) : nullptr;
    }

    // The picture this block keeps alive (see makeMetafilePictBlock).
    void adoptMetafile(mf::MetafileHandle picture) { picture_ = std::move(picture); }
    const mf::Metafile* metafile() const { return picture_.get(); }

private:
    uint32_t flags_;
    size_t size_;
    std::unique_ptr<std::byte[]> bytes_;
    unsigned locks_ = 0;
    mf::MetafileHandle picture_;
};

using GlobalHandle = std::unique_ptr<GlobalBlock>;

GlobalHandle GlobalAlloc(uint32_t flags, size_t bytes);

// A block holding `pict` with its hMF set to `picture`, which the block then
// owns. The block is unlocked.
GlobalHandle makeMetafilePictBlock(uint32_t flags, mf::METAFILEPICT pict,
                                   mf::MetafileHandle picture);

// Where the clipboard's messages go: the window framework delivers them to
// its windows; tests plug in a fake desktop.
class ClipboardMessageSink {
public:
    virtual ~ClipboardMessageSink() = default;
    virtual void onClipboardMessage(WindowId to, uint32_t msg, uint64_t wParam, int64_t lParam) = 0;
};

// The calls that can be told to fail (see Clipboard::failNext).
enum class ClipboardCall { Open, Close, Empty, SetData, GetData };

class Clipboard {
public:
    explicit Clipboard(ClipboardMessageSink* sink = nullptr) : sink_(sink) {}
    Clipboard(const Clipboard&) = delete;
    Clipboard& operator=(const Clipboard&) = delete;

    // Messages are dropped while no sink is set.
    void setMessageSink(ClipboardMessageSink* sink) { sink_ = sink; }

    // Formats. A name (compared without regard to case) gets the same id
    // every time; the first spelling is kept. An empty name fails (0).
    uint32_t RegisterClipboardFormatW(const std::string& name);
    // Copies a registered format's name into `name`, cut to maxCount - 1
    // characters (maxCount counts the terminator of the platform's buffer),
    // and returns the number of characters copied. Predefined and unknown
    // formats have no name: 0.
    int GetClipboardFormatNameW(uint32_t format, std::string& name, int maxCount) const;

    // The exchange.
    bool OpenClipboard(WindowId owner);
    bool CloseClipboard();
    bool EmptyClipboard();
    // The format after `format` on the clipboard (0: the first); 0 at the end
    // (errno 0) or when the clipboard is not open (errno EACCES).
    uint32_t EnumClipboardFormats(uint32_t format) const;
    int CountClipboardFormats() const;
    bool IsClipboardFormatAvailable(uint32_t format) const;
    // The block of a format, owned by the clipboard; valid until the
    // clipboard is emptied or the format is set again. Null when the format
    // is missing or was set without data.
    GlobalBlock* GetClipboardData(uint32_t format);
    // Puts a block on the clipboard; a null block lists the format without
    // data. On success the clipboard takes the block; on failure `data` is
    // left with the caller untouched. A CF_METAFILEPICT block must hold a
    // METAFILEPICT whose picture is null or the block's own.
    bool SetClipboardData(uint32_t format, GlobalHandle&& data);

    WindowId GetOpenClipboardWindow() const { return open_ ? openBy_ : 0; }
    // The window that last emptied the clipboard.
    WindowId GetClipboardOwner() const { return owner_; }
    // Counts every change of the contents.
    uint32_t GetClipboardSequenceNumber() const { return sequence_; }

    // The viewer chain. Returns the previous first viewer (0 for none); the
    // new viewer gets WM_DRAWCLIPBOARD before this returns.
    WindowId SetClipboardViewer(WindowId viewer);
    // `remove` leaves the chain and `next` takes its place; the first viewer
    // (after the change) gets WM_CHANGECBCHAIN(remove, next).
    bool ChangeClipboardChain(WindowId remove, WindowId next);
    WindowId GetClipboardViewer() const { return viewer_; }

    // Makes the next `times` calls of `call` fail with errno `error`, before
    // they change anything.
    void failNext(ClipboardCall call, int error, int times = 1);

private:
    struct Entry {
        uint32_t format;
        GlobalHandle data;
    };

    bool injectedFailure(ClipboardCall call);
    bool needOpen() const;
    const Entry* find(uint32_t format) const;
    void send(WindowId to, uint32_t msg, uint64_t wParam, int64_t lParam);

    ClipboardMessageSink* sink_;
    std::vector<std::string> names_;  // registered formats, from 0xC000
    std::vector<Entry> entries_;
    bool open_ = false;
    WindowId openBy_ = 0;
    bool changed_ = false;
    WindowId owner_ = 0;
    uint32_t sequence_ = 0;
    WindowId viewer_ = 0;
    struct Fault {
        int error = 0;
        int times = 0;
    };
    std::map<ClipboardCall, Fault> faults_;
};

}  // namespace qv::platform
