// The WMF record functions the system knows, in one list.
//
// QV_WMF_RECORDS is the single table of record functions: its number, its name
// as the dumps print it, the fixed parameter words in stored order, and the
// shape of whatever follows them. The record reader, the validator, the dump,
// the record builder of the tests and every record pass are generated from it.
//
// Fixed fields: comma-separated names, each a 16-bit signed word unless it has a
// suffix: ":u" unsigned 16-bit, ":c" COLORREF (32-bit, hex), ":x" 32-bit hex.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/metafile/bytes.h"

namespace qv::mf {

// What follows the fixed fields.
enum class Tail : uint8_t {
    None,        // nothing (extra words are tolerated)
    Points,      // count, then count (x, y) pairs
    PolyPoints,  // polygon count, per-polygon counts, then all points
    TextOut,     // string length, string padded to words, y, x
    ExtTextOut,  // y, x, length, options, [rectangle], string, [advances]
    Font,        // 16-bit LOGFONT, face name up to 32 bytes
    Palette,     // start, count, count entries of 4 bytes
    Region,      // 16-bit region object
    Escape,      // function, byte count, bytes
    Dib,         // a device-independent bitmap: header, colours, pixels
    DibOptional, // a bitmap, or none when the record has its short form
    Bitmap16,    // an old device-dependent bitmap (passed through)
    Raw,         // not interpreted
};

#define QV_WMF_RECORDS(X)                                                                          \
    X(Eof, 0x0000, "EOF", "", None)                                                                \
    X(RealizePalette, 0x0035, "REALIZEPALETTE", "", None)                                          \
    X(SetPalEntries, 0x0037, "SETPALENTRIES", "", Palette)                                         \
    X(SetBkMode, 0x0102, "SETBKMODE", "mode:u", None)                                              \
    X(SetMapMode, 0x0103, "SETMAPMODE", "mode:u", None)                                            \
    X(SetRop2, 0x0104, "SETROP2", "rop2:u", None)                                                  \
    X(SetRelAbs, 0x0105, "SETRELABS", "mode:u", None)                                                    \
    X(SetPolyFillMode, 0x0106, "SETPOLYFILLMODE", "mode:u", None)                                  \
    X(SetStretchBltMode, 0x0107, "SETSTRETCHBLTMODE", "mode:u", None)                              \
    X(SetTextCharExtra, 0x0108, "SETTEXTCHAREXTRA", "extra", None)                                 \
    X(RestoreDc, 0x0127, "RESTOREDC", "saved", None)                                               \
    X(InvertRegion, 0x012A, "INVERTREGION", "region:u", None)                                      \
    X(PaintRegion, 0x012B, "PAINTREGION", "region:u", None)                                        \
    X(SelectClipRegion, 0x012C, "SELECTCLIPREGION", "region:u", None)                              \
    X(SelectObject, 0x012D, "SELECTOBJECT", "object:u", None)                                      \
    X(SetTextAlign, 0x012E, "SETTEXTALIGN", "align:u", None)                                       \
    X(ResizePalette, 0x0139, "RESIZEPALETTE", "entries:u", None)                                   \
    X(DibCreatePatternBrush, 0x0142, "DIBCREATEPATTERNBRUSH", "style:u,usage:u", Dib)              \
    X(SetLayout, 0x0149, "SETLAYOUT", "layout:x", None)                                            \
    X(DeleteObject, 0x01F0, "DELETEOBJECT", "object:u", None)                                      \
    X(CreatePatternBrush, 0x01F9, "CREATEPATTERNBRUSH", "", Bitmap16)                              \
    X(SetBkColor, 0x0201, "SETBKCOLOR", "color:c", None)                                           \
    X(SetTextColor, 0x0209, "SETTEXTCOLOR", "color:c", None)                                       \
    X(SetTextJustification, 0x020A, "SETTEXTJUSTIFICATION", "breakCount,breakExtra", None)         \
    X(SetWindowOrg, 0x020B, "SETWINDOWORG", "y,x", None)                                           \
    X(SetWindowExt, 0x020C, "SETWINDOWEXT", "y,x", None)                                           \
    X(SetViewportOrg, 0x020D, "SETVIEWPORTORG", "y,x", None)                                       \
    X(SetViewportExt, 0x020E, "SETVIEWPORTEXT", "y,x", None)                                       \
    X(OffsetWindowOrg, 0x020F, "OFFSETWINDOWORG", "y,x", None)                                     \
    X(OffsetViewportOrg, 0x0211, "OFFSETVIEWPORTORG", "y,x", None)                                 \
    X(LineTo, 0x0213, "LINETO", "y,x", None)                                                       \
    X(MoveTo, 0x0214, "MOVETO", "y,x", None)                                                       \
    X(OffsetClipRgn, 0x0220, "OFFSETCLIPRGN", "y,x", None)                                         \
    X(FillRegion, 0x0228, "FILLREGION", "region:u,brush:u", None)                                  \
    X(SetMapperFlags, 0x0231, "SETMAPPERFLAGS", "flags:x", None)                                   \
    X(SelectPalette, 0x0234, "SELECTPALETTE", "palette:u", None)                                   \
    X(CreatePalette, 0x00F7, "CREATEPALETTE", "", Palette)                                         \
    X(CreatePenIndirect, 0x02FA, "CREATEPENINDIRECT", "style:u,width,widthY,color:c", None)        \
    X(CreateFontIndirect, 0x02FB, "CREATEFONTINDIRECT", "", Font)                                  \
    X(CreateBrushIndirect, 0x02FC, "CREATEBRUSHINDIRECT", "style:u,color:c,hatch:u", None)         \
    X(Polygon, 0x0324, "POLYGON", "", Points)                                                      \
    X(Polyline, 0x0325, "POLYLINE", "", Points)                                                    \
    X(ScaleWindowExt, 0x0410, "SCALEWINDOWEXT", "yDenom,yNum,xDenom,xNum", None)                   \
    X(ScaleViewportExt, 0x0412, "SCALEVIEWPORTEXT", "yDenom,yNum,xDenom,xNum", None)               \
    X(ExcludeClipRect, 0x0415, "EXCLUDECLIPRECT", "bottom,right,top,left", None)                   \
    X(IntersectClipRect, 0x0416, "INTERSECTCLIPRECT", "bottom,right,top,left", None)               \
    X(Ellipse, 0x0418, "ELLIPSE", "bottom,right,top,left", None)                                   \
    X(FloodFill, 0x0419, "FLOODFILL", "color:c,y,x", None)                                         \
    X(Rectangle, 0x041B, "RECTANGLE", "bottom,right,top,left", None)                               \
    X(SetPixel, 0x041F, "SETPIXEL", "color:c,y,x", None)                                           \
    X(FrameRegion, 0x0429, "FRAMEREGION", "region:u,brush:u,height,width", None)                   \
    X(AnimatePalette, 0x0436, "ANIMATEPALETTE", "", Palette)                                       \
    X(TextOut, 0x0521, "TEXTOUT", "", TextOut)                                                     \
    X(PolyPolygon, 0x0538, "POLYPOLYGON", "", PolyPoints)                                          \
    X(ExtFloodFill, 0x0548, "EXTFLOODFILL", "mode:u,color:c,y,x", None)                            \
    X(RoundRect, 0x061C, "ROUNDRECT", "height,width,bottom,right,top,left", None)                  \
    X(PatBlt, 0x061D, "PATBLT", "rop:x,height,width,y,x", None)                                    \
    X(Escape, 0x0626, "ESCAPE", "", Escape)                                                        \
    X(CreateRegion, 0x06FF, "CREATEREGION", "", Region)                                            \
    X(Arc, 0x0817, "ARC", "yEnd,xEnd,yStart,xStart,bottom,right,top,left", None)                   \
    X(Pie, 0x081A, "PIE", "yEnd,xEnd,yStart,xStart,bottom,right,top,left", None)                   \
    X(Chord, 0x0830, "CHORD", "yEnd,xEnd,yStart,xStart,bottom,right,top,left", None)               \
    X(BitBlt, 0x0922, "BITBLT", "", Bitmap16)                                                      \
    X(DibBitBlt, 0x0940, "DIBBITBLT", "rop:x,ySrc,xSrc,height,width,yDest,xDest", DibOptional)     \
    X(ExtTextOut, 0x0A32, "EXTTEXTOUT", "", ExtTextOut)                                            \
    X(StretchBlt, 0x0B23, "STRETCHBLT", "", Bitmap16)                                              \
    X(DibStretchBlt, 0x0B41, "DIBSTRETCHBLT",                                                      \
      "rop:x,srcHeight,srcWidth,ySrc,xSrc,destHeight,destWidth,yDest,xDest", DibOptional)          \
    X(SetDibToDev, 0x0D33, "SETDIBTODEV",                                                          \
      "usage:u,scanCount:u,startScan:u,yDib,xDib,height,width,yDest,xDest", Dib)                   \
    X(StretchDib, 0x0F43, "STRETCHDIB",                                                            \
      "rop:x,usage:u,srcHeight,srcWidth,ySrc,xSrc,destHeight,destWidth,yDest,xDest", Dib)          \
    X(SaveDc, 0x001E, "SAVEDC", "", None)

enum class Fn : uint16_t {
#define QV_X(id, num, name, fields, tail) id = num,
    QV_WMF_RECORDS(QV_X)
#undef QV_X
};

// One field of the fixed part of a record.
struct FieldInfo {
    std::string_view name;
    char type;        // 'i' signed 16, 'u' unsigned 16, 'c' COLORREF, 'x' 32-bit hex
    uint8_t offset;   // byte offset within the parameters
    uint8_t bytes;    // 2 or 4
};

struct RecordInfo {
    uint16_t function;
    std::string_view name;
    std::string_view fields;  // the fixed fields as written in the list
    Tail tail;
    uint8_t fieldCount;
    FieldInfo field[10];
    uint16_t fixedBytes;  // bytes of the fixed fields
};

// The entry of a record function, or nullptr for a function we do not know.
const RecordInfo* recordInfo(uint16_t function);
// The record's name, or "UNKNOWN_xxxx".
std::string recordName(uint16_t function);
// Records that create an object in the player's handle table.
constexpr bool createsObject(uint16_t function) {
    switch (Fn(function)) {
        case Fn::CreatePenIndirect:
        case Fn::CreateBrushIndirect:
        case Fn::CreateFontIndirect:
        case Fn::CreatePalette:
        case Fn::CreateRegion:
        case Fn::DibCreatePatternBrush:
        case Fn::CreatePatternBrush: return true;
        default: return false;
    }
}

// Looks a field up by name; nullptr when the record has no such field.
const FieldInfo* findField(const RecordInfo& info, std::string_view name);

// A record as it lies in memory: size in words (32-bit), function, parameters.
// The view never reads or writes outside the bytes it was given.
class Record {
public:
    Record() = default;
    Record(uint8_t* data, size_t size) : data_(data), size_(size) {}

    uint8_t* data() const { return data_; }
    size_t byteSize() const { return size_; }
    uint32_t sizeWords() const { return size_ >= 4 ? rdU32(data_) : 0; }
    uint16_t function() const { return size_ >= 6 ? rdU16(data_ + 4) : 0; }
    const RecordInfo* info() const { return recordInfo(function()); }

    // Parameters are addressed in 16-bit words after the 6-byte header.
    size_t paramWords() const { return size_ >= 6 ? (size_ - 6) / 2 : 0; }
    bool has(size_t word, size_t count = 1) const { return word + count <= paramWords(); }
    ByteSpan params() const { return size_ >= 6 ? ByteSpan(data_ + 6, size_ - 6) : ByteSpan(); }
    uint8_t* paramData() const { return data_ + 6; }

    int16_t i16(size_t word) const { return has(word) ? rdI16(data_ + 6 + 2 * word) : 0; }
    uint16_t u16(size_t word) const { return has(word) ? rdU16(data_ + 6 + 2 * word) : 0; }
    uint32_t u32(size_t word) const { return has(word, 2) ? rdU32(data_ + 6 + 2 * word) : 0; }
    void setI16(size_t word, int16_t v) const {
        if (has(word)) wrU16(data_ + 6 + 2 * word, uint16_t(v));
    }
    void setU16(size_t word, uint16_t v) const {
        if (has(word)) wrU16(data_ + 6 + 2 * word, v);
    }
    void setU32(size_t word, uint32_t v) const {
        if (has(word, 2)) wrU32(data_ + 6 + 2 * word, v);
    }

    // A fixed field by its name in the record list; 0 when absent.
    int32_t field(std::string_view name) const;

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

// A record pass: one handler per record function, each falling back to
// onDefault. A pass overrides the records it changes and nothing else.
class RecordVisitor {
public:
    virtual ~RecordVisitor() = default;
#define QV_X(id, num, name, fields, tail) \
    virtual int on##id(const Record& r) { return onDefault(r); }
    QV_WMF_RECORDS(QV_X)
#undef QV_X
    // Functions that are not in the list.
    virtual int onUnknown(const Record& r) { return onDefault(r); }
    virtual int onDefault(const Record& r) = 0;
};

// Calls the visitor's handler for the record's function.
int visitRecord(RecordVisitor& v, const Record& r);

// Builds records in memory: the size word is filled in by finish().
class RecordBuilder {
public:
    explicit RecordBuilder(uint16_t function);
    RecordBuilder& i16(int16_t v);
    RecordBuilder& u16(uint16_t v);
    RecordBuilder& u32(uint32_t v);
    RecordBuilder& bytes(ByteSpan b);  // padded to whole words
    RecordBuilder& text(std::string_view s);  // 8-bit text padded to whole words
    Bytes finish() const;

private:
    Bytes buf_;
};

}  // namespace qv::mf
