// Records that pictures from drawing and office programs use and CAD pictures
// do not: their points are counted by the extent pass and land where the
// point mapping puts them under every rotation, with and without crop; clip
// regions are mapped or left out; embedded copies of the picture are dropped.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/cmetafile.h"
#include "engine/dib_rotate.h"
#include "engine/extent_pass.h"
#include "engine/mapping.h"
#include "engine/metafile/dump.h"
#include "engine/metafile/gdi.h"
#include "engine/metafile/records.h"
#include "engine/render.h"
#include "picture_builder.h"

namespace qv {
namespace {

using mf::Bytes;
using mf::Fn;
using mf::Record;
using test::Pt;
using test::Rect16;
namespace rec = test::rec;

// ---- records the shared builder does not make ----

Bytes dibBitBltOf(int16_t xDest, int16_t yDest, int16_t width, int16_t height, const Bytes& dib) {
    return mf::RecordBuilder(uint16_t(Fn::DibBitBlt))
        .u32(0x00CC0020)  // SRCCOPY
        .i16(0)           // ySrc
        .i16(0)           // xSrc
        .i16(height)
        .i16(width)
        .i16(yDest)
        .i16(xDest)
        .bytes(dib)
        .finish();
}

Bytes offsetOrg(Fn fn, int16_t dx, int16_t dy) {
    return mf::RecordBuilder(uint16_t(fn)).i16(dy).i16(dx).finish();
}

Bytes escape(uint16_t function, const std::string& data) {
    mf::RecordBuilder b(uint16_t(Fn::Escape));
    b.u16(function).u16(uint16_t(data.size()));
    b.bytes(mf::ByteSpan(reinterpret_cast<const uint8_t*>(data.data()), data.size()));
    return b.finish();
}

// A region of bands, each (top, bottom) with its (left, right) spans;
// `badCount2` spoils the closing count of the first band.
struct RegionBand {
    int16_t top, bottom;
    std::vector<std::pair<int16_t, int16_t>> spans;
};

Bytes region(const std::vector<RegionBand>& bands, bool badCount2 = false) {
    int16_t l = 32767, t = 32767, r = -32768, b = -32768;
    uint16_t size = 22, largest = 0;
    for (const RegionBand& band : bands) {
        size = uint16_t(size + 8 + 4 * band.spans.size());
        largest = std::max<uint16_t>(largest, uint16_t(2 * band.spans.size()));
        t = std::min(t, band.top);
        b = std::max(b, band.bottom);
        for (const auto& s : band.spans) {
            l = std::min(l, s.first);
            r = std::max(r, s.second);
        }
    }
    mf::RecordBuilder rb(uint16_t(Fn::CreateRegion));
    rb.u16(0).u16(6).u32(0).u16(size).u16(uint16_t(bands.size())).u16(largest);
    rb.i16(l).i16(t).i16(r).i16(b);
    bool first = true;
    for (const RegionBand& band : bands) {
        const uint16_t count = uint16_t(2 * band.spans.size());
        rb.u16(count).i16(band.top).i16(band.bottom);
        for (const auto& s : band.spans) rb.i16(s.first).i16(s.second);
        rb.u16(uint16_t(count + (first && badCount2 ? 2 : 0)));
        first = false;
    }
    return rb.finish();
}

Bytes selectClipRegion(uint16_t slot) {
    return mf::RecordBuilder(uint16_t(Fn::SelectClipRegion)).u16(slot).finish();
}

// ---- reading regions back ----

struct Box {
    int32_t left, top, right, bottom;
};

// The rectangles of a CREATEREGION record; fails the test when the region is
// not well formed: bands from top to bottom without overlap, spans from left
// to right without overlap, counts and sizes that agree.
std::vector<Box> regionBoxes(const Record& r) {
    std::vector<Box> out;
    const mf::ByteSpan p = r.params();
    EXPECT_GE(p.size(), 22u);
    if (p.size() < 22) return out;
    const size_t scans = mf::getU16(p, 10);
    size_t off = 22;
    int32_t lastBottom = -65536;
    for (size_t i = 0; i < scans; ++i) {
        const size_t count = mf::getU16(p, off);
        const int32_t top = mf::getI16(p, off + 2), bottom = mf::getI16(p, off + 4);
        EXPECT_EQ(count % 2, 0u);
        EXPECT_LT(top, bottom) << "band " << i;
        EXPECT_LE(lastBottom, top) << "band " << i << " overlaps the one before";
        lastBottom = bottom;
        int32_t lastRight = -65536;
        for (size_t k = 0; k < count / 2; ++k) {
            const int32_t left = mf::getI16(p, off + 6 + 4 * k),
                          right = mf::getI16(p, off + 8 + 4 * k);
            EXPECT_LT(left, right);
            EXPECT_LT(lastRight, left) << "spans of band " << i << " overlap or touch";
            lastRight = right;
            out.push_back({left, top, right, bottom});
        }
        EXPECT_EQ(mf::getU16(p, off + 6 + 2 * count), count) << "closing count of band " << i;
        off += 8 + 2 * count;
    }
    EXPECT_EQ(mf::getU16(p, 8), off) << "region size";
    EXPECT_LE(off, p.size());
    return out;
}

bool covers(const std::vector<Box>& boxes, double x, double y) {
    for (const Box& b : boxes)
        if (x > b.left && x < b.right && y > b.top && y < b.bottom) return true;
    return false;
}

// ---- one render ----

struct Turn {
    Rect crop;
    int rotation = 0;
    bool quarter() const { return rotation == 90 || rotation == 270; }
    Point16 map(int32_t x, int32_t y) const { return MapPoint(crop, rotation, x, y); }
};

struct Setting {
    int rotation;
    int crop;
};

std::vector<Setting> allSettings() {
    std::vector<Setting> out;
    for (int rotation : {0, 90, 180, 270})
        for (int crop : {1, 0}) out.push_back({rotation, crop});
    return out;
}

std::string describe(const Setting& s) {
    return "rotation " + std::to_string(s.rotation) + (s.crop ? ", crop" : ", no crop");
}

struct Rendered {
    Turn turn;
    std::vector<Bytes> source;  // the source's records
    std::vector<Bytes> out;     // the output's records after its three set-up records
    RewriteStats stats;
};

// The records drawn over a frame of (0, 0)-(4000, 3000) after a line that
// keeps the crop rectangle away from the frame, rendered under the setting.
Rendered render(const std::vector<Bytes>& records, const Setting& s) {
    test::PictureBuilder b{rec::setWindowExt(4000, 3000), rec::moveTo(300, 200),
                           rec::lineTo(3600, 2700)};
    for (const Bytes& r : records) b.add(r);
    test::TestEngine t;
    t.settings.Rotation = s.rotation;
    t.settings.Crop = s.crop;
    CMetafile pic;
    test::loadPlaceableBytes(t.engine, pic, test::placeable(b.wmf(), {0, 0, 4000, 3000, 1000}));
    EXPECT_TRUE(pic.IsLoaded());
    Rendered r;
    if (!pic.IsLoaded()) return r;
    r.turn = {CropRect(t.settings, pic.Extent, pic.Frame), s.rotation};
    r.source = test::recordsOf(*pic.Handle);
    const std::vector<Bytes> all = test::recordsOf(*test::renderToPicture(t.engine, pic));
    if (all.size() > 3) r.out.assign(all.begin() + 3, all.end());
    r.stats = t.engine.state.Stats;
    return r;
}

std::vector<Bytes> only(const std::vector<Bytes>& records, Fn fn) {
    std::vector<Bytes> out;
    for (const Bytes& r : records)
        if (test::functionOf(r) == uint16_t(fn)) out.push_back(r);
    return out;
}

Point16 at(const Record& r, const char* x, const char* y) {
    return {int16_t(r.field(x)), int16_t(r.field(y))};
}

void expectPoint(const Turn& t, Point16 in, Point16 out, const std::string& what) {
    EXPECT_EQ(out, t.map(in.x, in.y)) << what << " (" << in.x << ", " << in.y << ")";
}

void expectCorners(const Turn& t, const Record& in, const Record& out) {
    expectPoint(t, at(in, "left", "top"), at(out, "left", "top"), "left, top");
    expectPoint(t, at(in, "right", "bottom"), at(out, "right", "bottom"), "right, bottom");
}

// The rectangle of a corner and a size: its centre mapped, the sizes swapped
// for a quarter turn, the corner half the new size from the centre.
void expectPlaced(const Turn& t, Point16 corner, int32_t w, int32_t h, Point16 outCorner,
                  int32_t outW, int32_t outH) {
    const Point16 centre = t.map(corner.x + w / 2, corner.y + h / 2);
    const int32_t ew = t.quarter() ? h : w, eh = t.quarter() ? w : h;
    EXPECT_EQ(outW, ew) << "width";
    EXPECT_EQ(outH, eh) << "height";
    EXPECT_EQ(outCorner, (Point16{int16_t(centre.x - ew / 2), int16_t(centre.y - eh / 2)}))
        << "corner";
}

void expectArcLike(const Turn& t, const Record& in, const Record& out) {
    expectCorners(t, in, out);
    expectPoint(t, at(in, "xStart", "yStart"), at(out, "xStart", "yStart"), "start");
    expectPoint(t, at(in, "xEnd", "yEnd"), at(out, "xEnd", "yEnd"), "end");
}

mf::ByteSpan bitmapOf(const Record& r) {
    return r.params().subspan(r.info()->fixedBytes);
}

void expectDibBitBlt(const Turn& t, const Record& in, const Record& out, bool withBitmap) {
    EXPECT_EQ(out.sizeWords() == 12u, !withBitmap) << "the record keeps its form";
    expectPlaced(t, at(in, "xDest", "yDest"), in.field("width"), in.field("height"),
                 at(out, "xDest", "yDest"), out.field("width"), out.field("height"));
    EXPECT_EQ(at(out, "xSrc", "ySrc"), at(in, "xSrc", "ySrc")) << "source origin";
    if (!withBitmap) return;
    const mf::ByteSpan a = bitmapOf(in), b = bitmapOf(out);
    Bytes expected(a.begin(), a.end());
    if (t.rotation != 0) {
        std::optional<Bytes> turned = RotateDib(a, 0, t.rotation);
        ASSERT_TRUE(turned);
        expected = *turned;
    }
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), b.begin(), b.end()))
        << "the bitmap is not the source's turned by " << t.rotation;
}

// An offset is a difference of points: turned, it is the difference of the
// points turned.
void expectOffset(const Turn& t, const Record& in, const Record& out) {
    const int32_t dx = in.field("x"), dy = in.field("y");
    const Point16 from = t.map(1000, 1000), to = t.map(1000 + dx, 1000 + dy);
    EXPECT_EQ(at(out, "x", "y"), (Point16{int16_t(to.x - from.x), int16_t(to.y - from.y)}));
}

struct KindCase {
    std::string name;
    Bytes record;
    Fn written;  // the output record it becomes
    std::function<void(const Turn&, const Record&, const Record&)> check;
};

TEST(ForeignRecords, EveryPointLandsWhereTheMappingPutsIt) {
    const Bytes dib = test::patternDib(5, 3, 24);
    const std::vector<KindCase> cases = {
        {"TEXTOUT", rec::textOut(1200, 1700, "Label"), Fn::ExtTextOut,
         [](const Turn& t, const Record& in, const Record& out) {
             // TEXTOUT: length, text (3 words), y, x; written as EXTTEXTOUT: y, x, ...
             expectPoint(t, {in.i16(5), in.i16(4)}, {out.i16(1), out.i16(0)}, "position");
             EXPECT_EQ(out.u16(2), 5u) << "length";
         }},
        {"ROUNDRECT", rec::roundRect(600, 700, 1400, 1100, 120, 40), Fn::RoundRect,
         [](const Turn& t, const Record& in, const Record& out) {
             expectCorners(t, in, out);
             EXPECT_EQ(out.field("width"), t.quarter() ? in.field("height") : in.field("width"));
             EXPECT_EQ(out.field("height"), t.quarter() ? in.field("width") : in.field("height"));
         }},
        {"PIE", rec::pie({500, 1500, 900, 1900}, {900, 1700}, {700, 1500}), Fn::Pie, expectArcLike},
        {"CHORD", rec::chord({1000, 1500, 1400, 2000}, {1400, 1700}, {1100, 1450}), Fn::Chord,
         expectArcLike},
        {"DIBBITBLT with a bitmap", dibBitBltOf(2500, 1700, 5, 3, dib), Fn::DibBitBlt,
         [](const Turn& t, const Record& in, const Record& out) {
             expectDibBitBlt(t, in, out, true);
         }},
        {"DIBBITBLT of an odd size with a bitmap", dibBitBltOf(2000, 900, 301, 151, dib),
         Fn::DibBitBlt,
         [](const Turn& t, const Record& in, const Record& out) {
             expectDibBitBlt(t, in, out, true);
         }},
        {"DIBBITBLT without a bitmap", rec::dibBitBltNoBitmap(3000, 400, 201, 100), Fn::DibBitBlt,
         [](const Turn& t, const Record& in, const Record& out) {
             expectDibBitBlt(t, in, out, false);
         }},
        {"OFFSETWINDOWORG", offsetOrg(Fn::OffsetWindowOrg, 25, -70), Fn::OffsetWindowOrg,
         expectOffset},
        {"OFFSETVIEWPORTORG", offsetOrg(Fn::OffsetViewportOrg, -40, 15), Fn::OffsetViewportOrg,
         expectOffset},
    };
    for (const KindCase& c : cases) {
        for (const Setting& s : allSettings()) {
            SCOPED_TRACE(c.name + ", " + describe(s));
            const Rendered r = render({c.record}, s);
            const std::vector<Bytes> written = only(r.out, c.written);
            ASSERT_EQ(written.size(), 1u);
            const Record in = test::view(c.record), out = test::view(written[0]);
            SCOPED_TRACE(mf::describeRecord(in) + " -> " + mf::describeRecord(out));
            c.check(r.turn, in, out);
        }
    }
}

TEST(ForeignRecords, AClipRegionIsMappedAndRebuiltAsAValidRegion) {
    // An upside-down T and a band of two spans: after a quarter turn the
    // bands become columns and must be cut anew.
    const Bytes source = region({{1000, 1200, {{800, 1600}}},
                                 {1200, 1700, {{1100, 1300}}},
                                 {2000, 2100, {{500, 700}, {900, 1500}}}});
    const std::vector<Box> inBoxes = regionBoxes(test::view(source));
    for (const Setting& s : allSettings()) {
        for (bool bySelectObject : {false, true}) {
            SCOPED_TRACE(describe(s) + (bySelectObject ? ", SELECTOBJECT" : ", SELECTCLIPREGION"));
            const Rendered r =
                render({source, bySelectObject ? rec::selectObject(0) : selectClipRegion(0),
                        rec::lineTo(1000, 1000)},
                       s);
            // Selecting the clip writes the region, selects and deletes it.
            const auto it = std::find_if(r.out.begin(), r.out.end(), [](const Bytes& b) {
                return test::functionOf(b) == uint16_t(Fn::CreateRegion);
            });
            ASSERT_NE(it, r.out.end());
            ASSERT_LT(it + 2, r.out.end());
            EXPECT_EQ(test::functionOf(*(it + 1)), uint16_t(Fn::SelectObject));
            EXPECT_EQ(test::functionOf(*(it + 2)), uint16_t(Fn::DeleteObject));

            std::vector<Box> expected;
            std::vector<int32_t> xs, ys;
            for (const Box& b : inBoxes) {
                const Point16 p = r.turn.map(b.left, b.top), q = r.turn.map(b.right, b.bottom);
                expected.push_back({std::min(p.x, q.x), std::min(p.y, q.y), std::max(p.x, q.x),
                                    std::max(p.y, q.y)});
            }
            const std::vector<Box> outBoxes = regionBoxes(test::view(*it));
            for (const std::vector<Box>& set : {expected, outBoxes}) {
                for (const Box& b : set) {
                    xs.insert(xs.end(), {b.left, b.right});
                    ys.insert(ys.end(), {b.top, b.bottom});
                }
            }
            std::sort(xs.begin(), xs.end());
            std::sort(ys.begin(), ys.end());
            // The output covers exactly the mapped rectangles: every cell of
            // the grid of their edges is in both or in neither.
            for (size_t i = 0; i + 1 < xs.size(); ++i) {
                for (size_t j = 0; j + 1 < ys.size(); ++j) {
                    const double x = (xs[i] + xs[i + 1]) / 2.0, y = (ys[j] + ys[j + 1]) / 2.0;
                    if (xs[i] == xs[i + 1] || ys[j] == ys[j + 1]) continue;
                    EXPECT_EQ(covers(outBoxes, x, y), covers(expected, x, y))
                        << "at (" << x << ", " << y << ")";
                }
            }
            const Record outRegion = test::view(*it);
            const Box bounds{outRegion.i16(7), outRegion.i16(8), outRegion.i16(9),
                             outRegion.i16(10)};
            EXPECT_EQ(bounds.left, xs.front());
            EXPECT_EQ(bounds.top, ys.front());
            EXPECT_EQ(bounds.right, xs.back());
            EXPECT_EQ(bounds.bottom, ys.back());
            EXPECT_EQ(r.stats.ClipsLeftOut, 0);
        }
    }
}

TEST(ForeignRecords, ARegionThatCannotBeMappedIsNeverTheClip) {
    struct Case {
        std::string name;
        Bytes region;
        std::vector<Setting> settings;
    };
    const std::vector<Case> cases = {
        {"closing count spoilt", region({{1000, 1200, {{800, 1600}}}}, true), allSettings()},
        // Turned by 180 degrees, x = -32700 would land past 32767.
        {"mapped out of 16 bits", region({{1000, 1200, {{-32700, -32600}}}}), {{180, 1}, {180, 0}}},
    };
    for (const Case& c : cases) {
        for (const Setting& s : c.settings) {
            SCOPED_TRACE(c.name + ", " + describe(s));
            // The region takes slot 0 and keeps it: the pen lands in slot 1.
            const Rendered r = render(
                {c.region, selectClipRegion(0), rec::createPen(0x0000FF), rec::selectObject(1),
                 rec::lineTo(1500, 1500), rec::selectObject(0), rec::lineTo(1600, 1600)},
                s);
            EXPECT_TRUE(only(r.out, Fn::CreateRegion).empty());
            EXPECT_TRUE(only(r.out, Fn::SelectClipRegion).empty());
            EXPECT_EQ(r.stats.ClipsLeftOut, 2);
            const std::vector<Bytes> pens = only(r.out, Fn::CreatePenIndirect);
            ASSERT_EQ(pens.size(), 1u) << "the pen after the region is selected";
            EXPECT_EQ(uint32_t(test::view(pens[0]).field("color")), 0x0000FFu);
            EXPECT_EQ(only(r.out, Fn::LineTo).size(), 3u);
        }
    }
}

TEST(ForeignRecords, EmbeddedCopiesOfThePictureAreDroppedAndOtherEscapesKept) {
    const std::string emf(40, '\x11');
    const Bytes copy1 = escape(0x000F, "WMFC" + std::string("\x01\0\0\0", 4) + emf);
    const Bytes copy2 = escape(0x000F, "WMFC" + std::string(12, '\0'));
    const std::vector<Bytes> kept = {
        escape(0x000F, "SHEET 1204-07 REV B"),  // a comment of another kind
        escape(0x0017, std::string("\x01\0\0\0", 4)), escape(0x000E, "WMFC1234"),  // not MFCOMMENT
        escape(0x000F, "WMF"),  // too short to hold the identifier
    };
    std::vector<Bytes> records = {copy1, copy2};
    records.insert(records.end(), kept.begin(), kept.end());
    for (const Setting& s : allSettings()) {
        SCOPED_TRACE(describe(s));
        const Rendered r = render(records, s);
        EXPECT_EQ(only(r.out, Fn::Escape), kept) << "escapes kept byte for byte";
        EXPECT_EQ(r.stats.EmbeddedCopiesDropped, 2);
    }
}

// ---- the extent pass ----

class ForeignExtentTest : public ::testing::Test {
  protected:
    Rect extent(const std::vector<Bytes>& records) {
        test::PictureBuilder b;
        for (const Bytes& r : records) b.add(r);
        mf::MetafileHandle pic = b.picture();
        if (!pic) return {};
        return ComputeExtents(t.engine, *pic, false).Extent;
    }
    test::TestEngine t;
};

TEST_F(ForeignExtentTest, TheRecordsAddTheirPoints) {
    struct Case {
        std::string name;
        std::vector<Bytes> records;
        Rect extent;
    };
    const std::vector<Case> cases = {
        {"ROUNDRECT", {rec::roundRect(10, 20, 300, 400, 50, 60)}, {10, 20, 300, 400}},
        {"PIE counts its whole bounding rectangle",
         {rec::pie({10, 20, 300, 400}, {150, 20}, {300, 210})},
         {10, 20, 300, 400}},
        {"CHORD counts end points outside its rectangle",
         {rec::chord({10, 20, 300, 400}, {320, 30}, {-50, 450})},
         {-50, 20, 320, 450}},
        {"DIBBITBLT with a bitmap",
         {dibBitBltOf(90, 750, 5, 3, test::patternDib(5, 3, 24))},
         {90, 750, 95, 753}},
        {"DIBBITBLT without a bitmap",
         {rec::dibBitBltNoBitmap(90, 750, 200, 100)},
         {90, 750, 290, 850}},
        {"points after OFFSETWINDOWORG count only after its block",
         {rec::moveTo(10, 10), rec::saveDc(), offsetOrg(Fn::OffsetWindowOrg, 0, 5),
          rec::lineTo(1000, 1000), rec::restoreDc(), rec::lineTo(20, 20)},
         {10, 10, 20, 20}},
        {"OFFSETWINDOWORG (0, 0) opens no block",
         {rec::saveDc(), offsetOrg(Fn::OffsetWindowOrg, 0, 0), rec::moveTo(10, 10),
          rec::lineTo(1000, 1000), rec::restoreDc()},
         {10, 10, 1000, 1000}},
        {"OFFSETVIEWPORTORG opens no block",
         {rec::saveDc(), offsetOrg(Fn::OffsetViewportOrg, 30, 30), rec::moveTo(10, 10),
          rec::lineTo(1000, 1000), rec::restoreDc()},
         {10, 10, 1000, 1000}},
        {"TEXTOUT inside a block is not counted",
         {rec::moveTo(10, 10), rec::saveDc(), rec::setWindowOrg(5, 5),
          rec::textOut(2000, 2000, "Hidden"), rec::restoreDc(), rec::lineTo(20, 20)},
         {10, 10, 20, 20}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(extent(c.records), c.extent);
    }
}

TEST_F(ForeignExtentTest, TextOutHasTheTextBoxOfAnExtTextOutWithoutAdvances) {
    for (uint16_t align : {0, 2, 6, 8, 24}) {
        for (int16_t orientation : {0, 300, 900, 1800}) {
            SCOPED_TRACE("alignment " + std::to_string(align) + ", orientation " +
                         std::to_string(orientation));
            const std::vector<Bytes> setup = {
                rec::createFont(test::font("Arial", -120, orientation)), rec::selectObject(0),
                rec::setTextAlign(align)};
            std::vector<Bytes> a = setup, b = setup;
            a.push_back(rec::textOut(2000, 1500, "Quorvex text"));
            b.push_back(rec::extTextOut(2000, 1500, "Quorvex text"));
            const Rect box = extent(a);
            EXPECT_EQ(box, extent(b));
            // The text is measured: the box is wider than a point.
            EXPECT_GT(std::max(box.right - box.left, box.bottom - box.top), 500);
        }
    }
}

}  // namespace
}  // namespace qv
