// Turning whole pictures: every drawing record of the output is its source
// record with every point mapped onto the output, for the files of the test
// corpus, the sample pictures and a picture with every record the pass maps;
// and a bitmap turned four times is the bitmap it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/cmetafile.h"
#include "engine/extent_pass.h"
#include "engine/mapping.h"
#include "engine/metafile/dump.h"
#include "engine/metafile/gdi.h"
#include "engine/render.h"
#include "picture_builder.h"
#include "support/test_support.h"

namespace qv {
namespace {

using mf::Bytes;
using mf::Fn;
using mf::Record;
using test::Pt;
using test::Rect16;
namespace rec = test::rec;

// The records that draw, in the order they are drawn.
bool isDrawing(uint16_t fn) {
    switch (Fn(fn)) {
        case Fn::LineTo:
        case Fn::MoveTo:
        case Fn::Polyline:
        case Fn::Polygon:
        case Fn::PolyPolygon:
        case Fn::Rectangle:
        case Fn::Ellipse:
        case Fn::Arc:
        case Fn::SetPixel:
        case Fn::ExtTextOut:
        case Fn::TextOut:
        case Fn::PatBlt:
        case Fn::StretchDib:
        case Fn::DibStretchBlt:
        case Fn::RoundRect:
        case Fn::Pie:
        case Fn::Chord:
        case Fn::DibBitBlt:
        case Fn::ExcludeClipRect:
        case Fn::IntersectClipRect:
            return true;
        default:
            return false;
    }
}

// Replayed, TEXTOUT is written as EXTTEXTOUT.
uint16_t asWritten(uint16_t fn) {
    return fn == uint16_t(Fn::TextOut) ? uint16_t(Fn::ExtTextOut) : fn;
}

bool isBackground(const Record& r) {
    return r.function() == uint16_t(Fn::Rectangle) && r.field("left") == 0 && r.field("top") == 0;
}

bool shortForm(const Record& r) {
    return r.function() == uint16_t(Fn::DibStretchBlt) &&
           r.sizeWords() == uint32_t(r.function() >> 8) + 3u;
}

mf::ByteSpan bitmapOf(const Record& r) {
    return r.params().subspan(r.info()->fixedBytes);
}

bool uncompressed(mf::ByteSpan dib) {
    const uint32_t header = mf::getU32(dib, 0);
    const uint32_t compression = mf::getU32(dib, 16);
    return header == 12 || compression == 0 || compression == 3;
}

// What one render did: the crop rectangle, the rotation and the output size.
struct Turn {
    Rect crop;
    int rotation = 0;
    Size size;
    bool quarter() const { return rotation == 90 || rotation == 270; }
    Point16 map(int32_t x, int32_t y) const { return MapPoint(crop, rotation, x, y); }
};

Point16 at(const Record& r, const char* x, const char* y) {
    return {int16_t(r.field(x)), int16_t(r.field(y))};
}
Point16 word(const Record& r, size_t xWord) {
    return {r.i16(xWord), r.i16(xWord + 1)};
}

void expectPoint(const Turn& t, Point16 in, Point16 out, const std::string& what) {
    EXPECT_EQ(out, t.map(in.x, in.y)) << what << " (" << in.x << ", " << in.y << ")";
}

void expectCorners(const Turn& t, const Record& in, const Record& out) {
    expectPoint(t, at(in, "left", "top"), at(out, "left", "top"), "left, top");
    expectPoint(t, at(in, "right", "bottom"), at(out, "right", "bottom"), "right, bottom");
}

// Corner and size: the centre mapped, the sizes swapped when turned by a
// quarter, the corner half the new size from the centre.
void expectPlaced(const Turn& t, const Record& in, const Record& out, const char* x, const char* y,
                  const char* w, const char* h, bool turns) {
    const int32_t iw = in.field(w), ih = in.field(h);
    const Point16 centre = t.map(in.field(x) + iw / 2, in.field(y) + ih / 2);
    const bool swap = turns && t.quarter();
    const int32_t ow = swap ? ih : iw, oh = swap ? iw : ih;
    EXPECT_EQ(out.field(w), ow) << w;
    EXPECT_EQ(out.field(h), oh) << h;
    EXPECT_EQ(at(out, x, y), (Point16{int16_t(centre.x - ow / 2), int16_t(centre.y - oh / 2)}))
        << "corner";
}

void expectBitmap(const Turn& t, const Record& in, const Record& out) {
    const bool noBitmap = shortForm(in);
    const bool turns = t.rotation != 0 && (noBitmap || uncompressed(bitmapOf(in)));
    expectPlaced(t, in, out, "xDest", "yDest", "destWidth", "destHeight", turns);
    const bool swap = turns && t.quarter();
    EXPECT_EQ(out.field("srcWidth"), swap ? in.field("srcHeight") : in.field("srcWidth"));
    EXPECT_EQ(out.field("srcHeight"), swap ? in.field("srcWidth") : in.field("srcHeight"));
    if (noBitmap) return;
    const mf::ByteSpan a = bitmapOf(in), b = bitmapOf(out);
    if (!turns) {
        EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << "bitmap changed";
        return;
    }
    const int32_t w = int32_t(mf::getU32(a, 4)), h = int32_t(mf::getU32(a, 8));
    const int32_t rows = h < 0 ? -h : h;
    EXPECT_EQ(int32_t(mf::getU32(b, 4)), swap ? rows : w) << "bitmap width";
    const int32_t outRows = swap ? w : rows;
    EXPECT_EQ(int32_t(mf::getU32(b, 8)), h < 0 ? -outRows : outRows) << "bitmap height";
}

// Checks one output record against the source record it was made from.
void expectMapped(const Turn& t, const Record& in, const Record& out) {
    switch (Fn(in.function())) {
        case Fn::LineTo:
        case Fn::MoveTo:
        case Fn::SetPixel:
            expectPoint(t, at(in, "x", "y"), at(out, "x", "y"), "point");
            if (in.function() == uint16_t(Fn::SetPixel)) {
                EXPECT_EQ(out.field("color"), in.field("color"));
            }
            break;
        case Fn::Polyline:
        case Fn::Polygon: {
            const size_t n = in.u16(0);
            ASSERT_EQ(out.u16(0), n);
            for (size_t i = 0; i < n; ++i)
                expectPoint(t, word(in, 1 + 2 * i), word(out, 1 + 2 * i),
                            "point " + std::to_string(i));
            break;
        }
        case Fn::PolyPolygon: {
            const size_t polys = in.u16(0);
            ASSERT_EQ(out.u16(0), polys);
            size_t total = 0;
            for (size_t i = 0; i < polys; ++i) {
                ASSERT_EQ(out.u16(1 + i), in.u16(1 + i));
                total += in.u16(1 + i);
            }
            for (size_t i = 0; i < total; ++i)
                expectPoint(t, word(in, 1 + polys + 2 * i), word(out, 1 + polys + 2 * i),
                            "point " + std::to_string(i));
            break;
        }
        case Fn::Rectangle:
            if (isBackground(in)) {
                EXPECT_EQ(at(out, "left", "top"), (Point16{0, 0}));
                EXPECT_EQ(at(out, "right", "bottom"),
                          (Point16{int16_t(t.size.cx), int16_t(t.size.cy)}));
                break;
            }
            expectCorners(t, in, out);
            break;
        case Fn::Ellipse:
        case Fn::ExcludeClipRect:
        case Fn::IntersectClipRect:
            expectCorners(t, in, out);
            break;
        case Fn::Arc:
        case Fn::Pie:
        case Fn::Chord:
            expectCorners(t, in, out);
            expectPoint(t, at(in, "xStart", "yStart"), at(out, "xStart", "yStart"), "start");
            expectPoint(t, at(in, "xEnd", "yEnd"), at(out, "xEnd", "yEnd"), "end");
            break;
        case Fn::ExtTextOut: {
            expectPoint(t, {in.i16(1), in.i16(0)}, {out.i16(1), out.i16(0)}, "text");
            const uint16_t options = in.u16(3);
            ASSERT_EQ(out.u16(3), options);
            size_t rest = 4;
            if (options & 6) {
                expectPoint(t, word(in, 4), word(out, 4), "clip left, top");
                expectPoint(t, word(in, 6), word(out, 6), "clip right, bottom");
                rest = 8;
            }
            // Text and advances as they were.
            const mf::ByteSpan a = in.params().subspan(2 * rest),
                               b = out.params().subspan(2 * rest);
            EXPECT_TRUE(std::equal(a.begin(), a.end(), b.begin(), b.end())) << "text changed";
            break;
        }
        case Fn::PatBlt:
            expectPlaced(t, in, out, "x", "y", "width", "height", true);
            break;
        case Fn::DibBitBlt:
            expectPlaced(t, in, out, "xDest", "yDest", "width", "height", true);
            break;
        case Fn::RoundRect:
            expectCorners(t, in, out);
            EXPECT_EQ(out.field("width"), t.quarter() ? in.field("height") : in.field("width"));
            EXPECT_EQ(out.field("height"), t.quarter() ? in.field("width") : in.field("height"));
            break;
        case Fn::TextOut: {
            // length, text padded to words, y, x; written as EXTTEXTOUT (y, x, ...)
            const size_t textWords = (size_t(in.u16(0)) + 1) / 2;
            expectPoint(t, {in.i16(2 + textWords), in.i16(1 + textWords)},
                        {out.i16(1), out.i16(0)}, "text");
            break;
        }
        case Fn::StretchDib:
        case Fn::DibStretchBlt:
            expectBitmap(t, in, out);
            break;
        default:
            break;  // only paired
    }
}

struct Setting {
    int rotation;
    int crop;
    int removeBackground;
};

std::string describe(const Setting& s) {
    return "rotation " + std::to_string(s.rotation) + (s.crop ? ", crop" : ", no crop") +
           (s.removeBackground ? ", background removed" : ", background kept");
}

std::vector<Setting> allSettings() {
    std::vector<Setting> out;
    for (int rotation : {0, 90, 180, 270})
        for (int crop : {1, 0})
            for (int removeBackground : {1, 0}) out.push_back({rotation, crop, removeBackground});
    return out;
}

// Renders the picture under the setting and checks every drawing record.
void expectTurned(test::TestEngine& t, CMetafile& pic, const Setting& s) {
    t.settings.Rotation = s.rotation;
    t.settings.Crop = s.crop;
    t.settings.RemoveBackground = s.removeBackground;

    const bool nothingDrawn =
        pic.Extent.left > pic.Extent.right || pic.Extent.top > pic.Extent.bottom;
    Turn turn;
    turn.crop = nothingDrawn ? pic.Frame : CropRect(t.settings, pic.Extent, pic.Frame);
    turn.rotation = s.rotation;
    turn.size = {turn.crop.right - turn.crop.left, turn.crop.bottom - turn.crop.top};
    if (turn.quarter()) std::swap(turn.size.cx, turn.size.cy);

    Size size;
    const std::vector<Bytes> out = test::recordsOf(*test::renderToPicture(t.engine, pic, &size));
    ASSERT_EQ(size, turn.size);
    ASSERT_GE(out.size(), 3u);
    EXPECT_EQ(test::view(out[2]).field("x"), turn.size.cx);
    EXPECT_EQ(test::view(out[2]).field("y"), turn.size.cy);

    // The source's drawing records that the pass keeps, and the output's.
    std::vector<Bytes> kept, drawn;
    for (const Bytes& r : test::recordsOf(*pic.Handle)) {
        if (!isDrawing(test::functionOf(r))) continue;
        if (s.removeBackground && isBackground(test::view(r))) continue;
        kept.push_back(r);
    }
    for (size_t i = 3; i < out.size(); ++i)
        if (isDrawing(test::functionOf(out[i]))) drawn.push_back(out[i]);
    std::vector<uint16_t> keptFns, drawnFns;
    for (const Bytes& r : kept) keptFns.push_back(asWritten(test::functionOf(r)));
    for (const Bytes& r : drawn) drawnFns.push_back(test::functionOf(r));
    ASSERT_EQ(drawnFns, keptFns) << "the output draws other records than the source";

    for (size_t i = 0; i < kept.size(); ++i) {
        const Record in = test::view(kept[i]), o = test::view(drawn[i]);
        SCOPED_TRACE("drawing record " + std::to_string(i) + ": " + mf::recordName(in.function()) +
                     " " + mf::describeRecord(in) + " -> " + mf::describeRecord(o));
        expectMapped(turn, in, o);
    }
}

// A picture with every record the pass maps, and those it only pairs.
Bytes everyRecordPicture() {
    const std::vector<Pt> square = {{400, 500}, {1400, 500}, {1400, 1300}, {400, 1300}};
    test::PictureBuilder b{
        rec::setMapMode(8),
        rec::setWindowExt(4000, 3000),
        rec::createPen(0x00FFFFFF, 0, 1),
        rec::selectObject(0),
        rec::rectangle(0, 0, 4000, 3000),  // the background
        rec::createPen(0x0000FF, 0, 3),
        rec::selectObject(1),
        rec::moveTo(300, 350),
        rec::lineTo(3500, 2600),
        rec::polyline({{500, 600}, {900, 700}, {1200, 1500}}),
        rec::polygon(square),
        rec::polyPolygon({square, {{2000, 400}, {2600, 400}, {2300, 900}}}),
        rec::rectangle(600, 700, 1100, 1000),
        rec::rectangle(0, 800, 300, 900),  // left 0 only: an ordinary rectangle
        rec::ellipse(1500, 1600, 1900, 2100),
        rec::arc({2000, 1000, 2600, 1500}, {2600, 1250}, {2300, 1000}),
        rec::setPixel(3100, 700, 0x00336699),
        rec::extTextOut(800, 2200, "plain"),
        rec::extTextOut(1800, 2300, "clipped", 4, Rect16{1750, 2250, 2300, 2400},
                        {40, 40, 40, 40, 40, 40, 40}),
        rec::extTextOut(2800, 2400, "opaque", 2, Rect16{2750, 2350, 3300, 2500}),
        rec::patBlt(3000, 1800, 301, 150),
        rec::stretchDibOf(2500, 1700, 400, 250, test::patternDib(5, 3, 24)),
        rec::stretchDibOf(700, 2500, 90, 60, test::rle8Dib(3, 2)),
        rec::dibStretchBltOf(3200, 2000, 200, 120, test::patternDib(4, 2, 32)),
        rec::dibStretchBlt(1000, 1800, 300, 100, false),
        rec::excludeClipRect(100, 100, 200, 200),
        rec::intersectClipRect(50, 50, 3900, 2900),
        // records of drawing and office programs
        rec::textOut(1200, 2700, "text"),
        rec::roundRect(2100, 2000, 2400, 2300, 20, 20),
        rec::pie({300, 1500, 700, 1900}, {700, 1700}, {500, 1500}),
        rec::chord({800, 1500, 1200, 1900}, {1200, 1700}, {1000, 1500}),
        rec::dibBitBltNoBitmap(3300, 300, 200, 100),
    };
    return test::placeable(b.wmf(), {0, 0, 4000, 3000, 1000});
}

struct Source {
    std::string name;
    Bytes file;
};

std::vector<Source> sources() {
    std::vector<Source> out = {{"every record", everyRecordPicture()}};
    for (const char* folder : {"tests/data/real", "samples"}) {
        std::vector<std::filesystem::path> files;
        for (const auto& e : std::filesystem::directory_iterator(test::sourcePath(folder)))
            if (e.path().extension() == ".wmf") files.push_back(e.path());
        std::sort(files.begin(), files.end());
        for (const auto& f : files) out.push_back({f.filename().string(), test::readFile(f)});
    }
    return out;
}

TEST(RotationEndToEnd, EveryPointOfEveryPictureLandsWhereTheMappingPutsIt) {
    const std::vector<Source> all = sources();
    ASSERT_GT(all.size(), 1u) << "the corpus files are not found";
    for (const Source& src : all) {
        for (const Setting& s : allSettings()) {
            SCOPED_TRACE(src.name + ", " + describe(s));
            test::TestEngine t;
            CMetafile pic;
            test::loadPlaceableBytes(t.engine, pic, src.file);
            ASSERT_TRUE(pic.IsLoaded());
            expectTurned(t, pic, s);
        }
    }
}

// Renders the file under rotation 90 and returns the saved file.
Bytes turnedOnce(test::TestEngine& t, const Bytes& file, const test::TempDir& dir) {
    CMetafile pic;
    test::loadPlaceableBytes(t.engine, pic, file);
    EXPECT_TRUE(pic.IsLoaded());
    const auto path = dir / "turned.wmf";
    EXPECT_TRUE(SaveToFile(t.engine, pic, path));
    return test::readFile(path);
}

Bytes firstBitmap(const Bytes& file) {
    mf::MetafileHandle h = mf::parseMetafile(mf::ByteSpan(file).subspan(22));
    if (!h) return {};
    for (const Bytes& r : test::recordsOf(*h)) {
        if (test::functionOf(r) != uint16_t(Fn::StretchDib)) continue;
        const mf::ByteSpan b = bitmapOf(test::view(r));
        return Bytes(b.begin(), b.end());
    }
    return {};
}

TEST(RotationEndToEnd, ABitmapTurnedFourTimesIsTheBitmapItWas) {
    test::TempDir dir;
    for (uint16_t bits : {1, 4, 8, 16, 24, 32}) {
        for (bool topDown : {false, true}) {
            SCOPED_TRACE(std::to_string(bits) + " bits" + (topDown ? ", top-down" : ""));
            const Bytes dib = test::patternDib(5, 3, bits, topDown);
            Bytes file =
                test::placeable(test::PictureBuilder{rec::setWindowExt(1000, 800),
                                                     rec::stretchDibOf(100, 200, 500, 300, dib)}
                                    .wmf(),
                                {0, 0, 1000, 800, 1000});
            test::TestEngine t;
            t.settings.Rotation = 90;
            std::vector<Bytes> turns;
            for (int i = 0; i < 4; ++i) {
                file = turnedOnce(t, file, dir);
                turns.push_back(firstBitmap(file));
                ASSERT_FALSE(turns.back().empty()) << "turn " << i + 1;
            }
            EXPECT_NE(turns[0], dib);
            EXPECT_NE(turns[1], dib);
            EXPECT_EQ(turns[3], dib);
        }
    }
}

}  // namespace
}  // namespace qv
