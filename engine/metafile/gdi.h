// Drawing objects, handle tables and device contexts of our metafile services.
//
// The objects are what the platform's pens, brushes, fonts, palettes and
// regions are to a metafile: a kind and a logical description, here kept as
// the parameters of the CREATE record that describes it. A recording DC writes
// that CREATE record the first time the object is selected into it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/metafile/bytes.h"
#include "engine/metafile/metafile.h"
#include "engine/metafile/records.h"

namespace qv::mf {

enum class ObjectKind : uint8_t { Pen, Brush, Font, Palette, Region };
constexpr size_t kSelectableKinds = 3;  // pen, brush and font are "selected" objects

class RecordingDc;

// 16-bit LOGFONT as a CREATEFONTINDIRECT record holds it.
struct LogFont {
    int16_t height = 0;
    int16_t width = 0;
    int16_t escapement = 0;   // tenths of a degree
    int16_t orientation = 0;  // tenths of a degree
    int16_t weight = 0;
    uint8_t italic = 0, underline = 0, strikeOut = 0, charSet = 0;
    uint8_t outPrecision = 0, clipPrecision = 0, quality = 0, pitchAndFamily = 0;
    std::string faceName;  // up to the first NUL, at most 32 bytes

    static LogFont fromParams(ByteSpan params);  // missing bytes read as 0
};

struct GdiObject {
    ObjectKind kind = ObjectKind::Pen;
    bool stock = false;         // stock objects are shared and never deleted
    uint16_t createFunction = 0;
    Bytes createParams;         // parameters of the CREATE record, as a recorder writes them

    // Bookkeeping of the DCs that use the object (never touched for stock objects).
    int selectedIn = 0;
    std::vector<RecordingDc*> recordedIn;

    LogFont font() const { return LogFont::fromParams(createParams); }
    uint32_t color() const;  // pen or brush colour, 0 for other kinds
};
using GdiObjectPtr = std::shared_ptr<GdiObject>;

// Object constructors with the platform's names.
GdiObjectPtr CreatePen(uint16_t style, int16_t width, uint32_t color);
GdiObjectPtr CreateSolidBrush(uint32_t color);
// From a CREATE record (CREATEPENINDIRECT, CREATEBRUSHINDIRECT,
// CREATEFONTINDIRECT, CREATEPALETTE, CREATEREGION, DIBCREATEPATTERNBRUSH,
// CREATEPATTERNBRUSH). Null pens and brushes give the stock null objects.
GdiObjectPtr createObjectFromRecord(const Record& r);

enum class StockObject { BlackPen, NullPen, WhiteBrush, NullBrush, SystemFont };
const GdiObjectPtr& GetStockObject(StockObject which);

// Deleting fails (false) while the object is selected into a DC. A deleted
// object leaves the tables of the recording DCs that hold it, each of which
// writes DELETEOBJECT. Stock objects are never deleted (true, nothing happens).
bool DeleteObject(const GdiObjectPtr& obj);

// The player's table of objects, indexed by the slot numbers the records use.
// Finding the lowest empty slot takes logarithmic time, so that a picture of
// many objects that are never deleted is played in time proportional to its
// size.
class HandleTable {
public:
    explicit HandleTable(size_t slots = 0);
    // Records name slots with 16 bits: an object beyond them could never be
    // selected or deleted, and is not kept.
    static constexpr size_t kMaxSlots = 0x10000;

    // Puts the object in the lowest empty slot; the table grows when full, up
    // to kMaxSlots. Returns the slot, or kMaxSlots when the object was not kept.
    size_t add(GdiObjectPtr obj);
    const GdiObjectPtr& get(size_t slot) const {
        static const GdiObjectPtr none;
        return slot < slots_.size() ? slots_[slot] : none;
    }
    void clear(size_t slot);
    size_t size() const { return slots_.size(); }
    // The slot the next add() fills.
    size_t nextSlot() const { return free_.empty() ? slots_.size() : free_.front(); }

private:
    std::vector<GdiObjectPtr> slots_;
    std::vector<size_t> free_;  // the empty slots, a min-heap
};

struct Point {
    int32_t x = 0, y = 0;
    bool operator==(const Point&) const = default;
};

// A device context: the state every DC keeps, and the records performed on it.
// The base class keeps state only; RecordingDc writes what is performed.
class Dc {
public:
    Dc();
    virtual ~Dc();
    Dc(const Dc&) = delete;
    Dc& operator=(const Dc&) = delete;

    // Selects a pen, brush or font (palettes and regions have their own
    // calls); returns the object selected before.
    virtual GdiObjectPtr selectObject(const GdiObjectPtr& obj);
    virtual void selectPalette(const GdiObjectPtr& palette);
    virtual void selectClipRegion(const GdiObjectPtr& region);  // null: no clip
    const GdiObjectPtr& selected(ObjectKind kind) const;

    void setTextAlign(uint16_t align);
    void setWindowExt(int16_t x, int16_t y);
    void setWindowOrg(int16_t x, int16_t y);
    void setMapMode(uint16_t mode);
    // Any other record, performed as it stands (function and parameters).
    void perform(uint16_t function, ByteSpan params);
    // A hint of how many bytes the DC will record.
    virtual void reserve(size_t /*bytes*/) {}

    uint16_t textAlign() const { return textAlign_; }
    Point windowExt() const { return windowExt_; }
    Point windowOrg() const { return windowOrg_; }
    uint16_t mapMode() const { return mapMode_; }

protected:
    // Called for every record the DC performs; a recording DC writes it.
    virtual void emit(uint16_t /*function*/, ByteSpan /*params*/) {}
    void setSelected(const GdiObjectPtr& obj);

private:
    std::array<GdiObjectPtr, kSelectableKinds> selected_;
    uint16_t textAlign_ = 0;
    Point windowExt_{1, 1};
    Point windowOrg_{0, 0};
    uint16_t mapMode_ = 1;
};

// An in-memory WMF recording DC: writes what the platform's recording DC
// writes (CREATE records at first selection into the lowest free slot of its
// own table, DELETEOBJECT only for objects in that table, and a header with
// the exact size, the largest record and the peak number of slots in use).
class RecordingDc : public Dc {
public:
    RecordingDc();
    ~RecordingDc() override;

    GdiObjectPtr selectObject(const GdiObjectPtr& obj) override;
    void selectPalette(const GdiObjectPtr& palette) override;
    void selectClipRegion(const GdiObjectPtr& region) override;

    void reserve(size_t bytes) override;

    // Writes the finished picture (header and META_EOF) and empties the DC.
    MetafileHandle close();

    // An object leaves the table (it was deleted); writes DELETEOBJECT.
    void forget(GdiObject& obj);
    size_t recordedBytes() const { return out_.size(); }

protected:
    void emit(uint16_t function, ByteSpan params) override;

private:
    int slotOf(const GdiObject* obj) const;
    size_t addToTable(const GdiObjectPtr& obj);
    void freeSlot(size_t slot);
    void leaveObjects();

    Bytes out_;
    std::vector<GdiObjectPtr> table_;
    // The slots of each object in the table (a palette may hold several), and
    // the empty slots below table_.size() as a min-heap: both keep selecting
    // and deleting independent of the table's size.
    std::unordered_map<const GdiObject*, std::vector<size_t>> slotsOf_;
    std::vector<size_t> free_;
    size_t inUse_ = 0;
    size_t peak_ = 0;
    uint32_t maxRecord_ = 3;
    size_t records_ = 0;
};

std::unique_ptr<RecordingDc> CreateMetaFileW();
MetafileHandle CloseMetaFile(std::unique_ptr<RecordingDc> dc);

// Plays one record on the DC, keeping the handle table in step. Returns false
// for records that are not performed (unknown functions, empty slots).
bool PlayMetaFileRecord(Dc& dc, HandleTable& table, const Record& record, unsigned count);

// Calls the callback for every record before META_EOF, in file order, with a
// private copy of the record that the callback may change in place; the
// picture itself is never changed. The handle table starts with the header's
// number of objects. Stops when the callback returns anything but 1.
// Returns true when every record was enumerated.
using EnumProc = int (*)(Dc& dc, HandleTable& table, Record& record, unsigned count, void* context);
bool EnumMetaFile(Dc& dc, const Metafile& mf, EnumProc proc, void* context);

// The read-only walk for passes that change no record: fn(record, table) for
// every record before META_EOF, with a handle table of the header's size.
template <class Fn>
void walkMetaFile(const Metafile& mf, Fn&& fn) {
    HandleTable table(mf.header().numObjects);
    forEachRecord(mf, [&](const Record& r, size_t) { fn(r, table); });
}

// Plays every record of a picture on the DC.
bool PlayMetaFile(Dc& dc, const Metafile& mf);

}  // namespace qv::mf
