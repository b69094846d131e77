// Test helpers of the engine tests: records with named arguments, a builder
// that turns them into WMF bytes (METAHEADER, records, META_EOF) and placeable
// files, and an engine with a recording user interface.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cmetafile.h"
#include "engine/engine.h"
#include "engine/engine_state.h"
#include "engine/mapping.h"
#include "engine/metafile/bytes.h"
#include "engine/metafile/gdi.h"
#include "engine/metafile/metafile.h"
#include "platform/user_interface.h"
#include "settings/wmf_settings.h"

namespace qv {

// Readable failure output for the engine's small structs.
void PrintTo(const Rect& r, std::ostream* os);
void PrintTo(const Size& s, std::ostream* os);
void PrintTo(const Point16& p, std::ostream* os);

}  // namespace qv

namespace qv::test {

struct Pt {
    int16_t x = 0, y = 0;
};

struct Rect16 {
    int16_t left = 0, top = 0, right = 0, bottom = 0;
};

// One record each; arguments are given in reading order (x before y, left
// before top) and stored in the order the format keeps them.
namespace rec {

mf::Bytes lineTo(int16_t x, int16_t y);
mf::Bytes moveTo(int16_t x, int16_t y);
mf::Bytes setPixel(int16_t x, int16_t y, uint32_t color = 0);
mf::Bytes polygon(const std::vector<Pt>& points);
mf::Bytes polyline(const std::vector<Pt>& points);
mf::Bytes polyPolygon(const std::vector<std::vector<Pt>>& polygons);
mf::Bytes rectangle(int16_t left, int16_t top, int16_t right, int16_t bottom);
mf::Bytes ellipse(int16_t left, int16_t top, int16_t right, int16_t bottom);
mf::Bytes roundRect(int16_t left, int16_t top, int16_t right, int16_t bottom, int16_t width,
                    int16_t height);
// ARC, PIE and CHORD: bounding rectangle, start point, end point.
mf::Bytes arc(Rect16 box, Pt start, Pt end);
mf::Bytes pie(Rect16 box, Pt start, Pt end);
mf::Bytes chord(Rect16 box, Pt start, Pt end);
mf::Bytes textOut(int16_t x, int16_t y, std::string_view text);
// EXTTEXTOUT: the rectangle is written only when given, the advances only
// when not empty; `extraWords` zero words are appended after everything.
mf::Bytes extTextOut(int16_t x, int16_t y, std::string_view text, uint16_t options = 0,
                     std::optional<Rect16> rect = std::nullopt,
                     const std::vector<uint16_t>& advances = {}, size_t extraWords = 0);
mf::Bytes patBlt(int16_t x, int16_t y, int16_t width, int16_t height);

mf::Bytes saveDc();
mf::Bytes restoreDc(int16_t saved = -1);
mf::Bytes setWindowOrg(int16_t x, int16_t y);
mf::Bytes setWindowExt(uint16_t x, uint16_t y);
mf::Bytes setTextAlign(uint16_t align);

mf::Bytes createPen(uint32_t color, uint16_t style = 0, int16_t width = 0);
mf::Bytes createBrush(uint32_t color);
mf::Bytes createFont(const mf::LogFont& font);
mf::Bytes createRegion();
mf::Bytes createPatternBrush();
mf::Bytes selectObject(uint16_t slot);
mf::Bytes deleteObject(uint16_t slot);

// A bottom-up 24-bit BI_RGB bitmap (header and pixels).
mf::Bytes dib(int32_t width, int32_t height);
mf::Bytes stretchDib(int16_t xDest, int16_t yDest, int16_t destWidth, int16_t destHeight);
// With a bitmap, or in the short form without one (a reserved word after the
// source origin).
mf::Bytes dibStretchBlt(int16_t xDest, int16_t yDest, int16_t destWidth, int16_t destHeight,
                        bool withBitmap);
// DIBBITBLT in its short form (no bitmap).
mf::Bytes dibBitBltNoBitmap(int16_t xDest, int16_t yDest, int16_t width, int16_t height);

mf::Bytes setMapMode(uint16_t mode);
mf::Bytes setViewportOrg(int16_t x, int16_t y);
mf::Bytes setViewportExt(int16_t x, int16_t y);
mf::Bytes setBkColor(uint32_t color);
mf::Bytes setTextColor(uint32_t color);
mf::Bytes excludeClipRect(int16_t left, int16_t top, int16_t right, int16_t bottom);
mf::Bytes intersectClipRect(int16_t left, int16_t top, int16_t right, int16_t bottom);
// STRETCHDIB and DIBSTRETCHBLT of a given bitmap; the source rectangle is the
// whole bitmap.
mf::Bytes stretchDibOf(int16_t xDest, int16_t yDest, int16_t destWidth, int16_t destHeight,
                       const mf::Bytes& dib, uint16_t usage = 0);
mf::Bytes dibStretchBltOf(int16_t xDest, int16_t yDest, int16_t destWidth, int16_t destHeight,
                          const mf::Bytes& dib);

}  // namespace rec

// An uncompressed bitmap whose pixel bytes differ from their neighbours (row
// padding and bits past the last pixel are 0): bottom-up, or top-down when
// `topDown`; a grey colour table for 8 bits and fewer.
mf::Bytes patternDib(int32_t width, int32_t height, uint16_t bitCount, bool topDown = false);
// An 8-bit run-length compressed bitmap: one run per row, then end of bitmap.
mf::Bytes rle8Dib(int32_t width, int32_t height);

// A font of a face and pixel height, optionally turned.
mf::LogFont font(std::string face, int16_t height, int16_t orientation = 0, int16_t escapement = 0);

// Assembles records (taken byte for byte) into WMF bytes. The header gets the
// true size, largest record and peak number of object slots unless told
// otherwise.
class PictureBuilder {
  public:
    PictureBuilder() = default;
    PictureBuilder(std::initializer_list<mf::Bytes> records);

    PictureBuilder& add(mf::Bytes record);
    PictureBuilder& withoutEof();
    PictureBuilder& headerType(uint16_t type);
    // Added to the true size in the METAHEADER (a writer that counts more).
    PictureBuilder& extraSizeWords(uint32_t words);

    mf::Bytes wmf() const;
    // The picture as the metafile services build it; fails the test when the
    // bytes are refused.
    mf::MetafileHandle picture() const;

  private:
    std::vector<mf::Bytes> records_;
    bool eof_ = true;
    uint16_t type_ = 1;
    uint32_t extraSizeWords_ = 0;
};

struct PlaceableFields {
    int16_t left = 0, top = 0, right = 0, bottom = 0;
    uint16_t inch = 1440;
};

// XOR of the ten 16-bit words at the start of `b` (b holds at least 20 bytes).
uint16_t xorOfFirstTenWords(mf::ByteSpan b);

// A placeable file: the 22-byte header (with its correct checksum, unless
// one is given) and the WMF bytes.
mf::Bytes placeable(const mf::Bytes& wmf, PlaceableFields fields = {},
                    std::optional<uint16_t> checksum = std::nullopt);

// An engine on a recording user interface and a 32-bit screen.
struct TestEngine {
    TestEngine() { engine.screenBitsPerPixel = 32; }
    WmfSettings settings;
    platform::RecordingUserInterface ui;
    Engine engine{settings, ui};
};

// The records of a picture before META_EOF, each copied.
std::vector<mf::Bytes> recordsOf(const mf::Metafile& picture);
// A view of a record copy (the view may change the copy).
inline mf::Record view(const mf::Bytes& record) {
    return mf::Record(const_cast<uint8_t*>(record.data()), record.size());
}
inline uint16_t functionOf(const mf::Bytes& record) {
    return record.size() >= 6 ? mf::rdU16(&record[4]) : 0;
}

// Loads the bytes of a placeable file the way a program loads a file (through
// a temporary file that is gone afterwards).
void loadPlaceableBytes(Engine& engine, CMetafile& picture, const mf::Bytes& file,
                        double viewHeight = 0);

// Renders the picture into a new in-memory picture; `size` gets what Render
// returned.
mf::MetafileHandle renderToPicture(Engine& engine, CMetafile& picture, Size* size = nullptr);

}  // namespace qv::test
