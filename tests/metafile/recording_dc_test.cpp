// What our recording DC writes, record by record, for small pictures.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/metafile/dump.h"
#include "engine/metafile/gdi.h"
#include "engine/metafile/metafile.h"
#include "engine/normalize.h"

namespace qv::mf {
namespace {

using RB = RecordBuilder;

Bytes picture(const std::vector<Bytes>& records, uint16_t objects) {
    Bytes out(MetaHeader::kBytes);
    uint32_t maxRecord = 3;
    for (const Bytes& r : records) {
        out.insert(out.end(), r.begin(), r.end());
        maxRecord = std::max<uint32_t>(maxRecord, uint32_t(r.size() / 2));
    }
    Bytes eof = RB(0).finish();
    out.insert(out.end(), eof.begin(), eof.end());
    MetaHeader h;
    h.sizeWords = uint32_t(out.size() / 2);
    h.numObjects = objects;
    h.maxRecord = maxRecord;
    h.write(out.data());
    return out;
}

Bytes pen(uint16_t style, int16_t width, uint32_t color) {
    return RB(uint16_t(Fn::CreatePenIndirect)).u16(style).i16(width).i16(0).u32(color).finish();
}
Bytes brush(uint16_t style, uint32_t color, uint16_t hatch) {
    return RB(uint16_t(Fn::CreateBrushIndirect)).u16(style).u32(color).u16(hatch).finish();
}
Bytes select(uint16_t slot) { return RB(uint16_t(Fn::SelectObject)).u16(slot).finish(); }
Bytes remove(uint16_t slot) { return RB(uint16_t(Fn::DeleteObject)).u16(slot).finish(); }
Bytes line(int16_t x, int16_t y) { return RB(uint16_t(Fn::LineTo)).i16(y).i16(x).finish(); }

// The replayed picture as dump lines without offsets, header first.
std::vector<std::string> replay(const std::vector<Bytes>& records, uint16_t objects, MetaHeader* header = nullptr) {
    Bytes bits = picture(records, objects);
    std::string error;
    MetafileHandle in = parseMetafile(bits, &error);
    EXPECT_TRUE(in) << error;
    if (!in) return {};
    MetafileHandle out = normalizeMetafile(*in);
    if (header) *header = out->header();
    std::vector<std::string> lines;
    forEachRecord(*out, [&](const Record& r, size_t) { lines.push_back(recordName(r.function()) + " " + describeRecord(r)); });
    return lines;
}

TEST(RecordingDc, EmptyPictureIsTheHeaderAndTheEndRecord) {
    auto dc = CreateMetaFileW();
    MetafileHandle mf = CloseMetaFile(std::move(dc));
    ASSERT_EQ(mf->bits().size(), 24u);
    MetaHeader h = mf->header();
    EXPECT_EQ(h.type, 1);
    EXPECT_EQ(h.headerSize, 9);
    EXPECT_EQ(h.version, 0x0300);
    EXPECT_EQ(h.sizeWords, 12u);
    EXPECT_EQ(h.numObjects, 0);
    EXPECT_EQ(h.maxRecord, 3u);
    EXPECT_EQ(rdU32(&mf->bits()[18]), 3u);
    EXPECT_EQ(rdU16(&mf->bits()[22]), 0);
}

TEST(RecordingDc, ObjectsAreWrittenAtTheirFirstSelectionIntoTheLowestFreeSlot) {
    MetaHeader h;
    auto out = replay({pen(0, 0, 0x0000FF), brush(0, 0x00FF00, 0), pen(0, 3, 0xFF0000), select(1), select(0),
                       line(1, 1), select(2), line(2, 2), select(0)},
                      3, &h);
    std::vector<std::string> want = {
        "CREATEBRUSHINDIRECT style=0 color=0x00FF00 hatch=0",
        "SELECTOBJECT object=0",
        "CREATEPENINDIRECT style=0 width=0 color=0x0000FF",
        "SELECTOBJECT object=1",
        "LINETO x=1 y=1",
        "CREATEPENINDIRECT style=0 width=3 color=0xFF0000",
        "SELECTOBJECT object=2",
        "LINETO x=2 y=2",
        "SELECTOBJECT object=1",
    };
    EXPECT_EQ(out, want);
    EXPECT_EQ(h.numObjects, 3);
}

TEST(RecordingDc, DeletingTheSelectedObjectWritesNothingAndKeepsItsSlot) {
    MetaHeader h;
    auto out = replay({pen(0, 0, 1), select(0), pen(0, 0, 2), select(1), remove(1),  // selected: stays
                       select(0), remove(1),                                            // empty slot now
                       pen(0, 0, 3), select(1), select(0), remove(1)},                  // deleted: slot freed
                      2, &h);
    std::vector<std::string> want = {
        "CREATEPENINDIRECT style=0 width=0 color=0x000001", "SELECTOBJECT object=0",
        "CREATEPENINDIRECT style=0 width=0 color=0x000002", "SELECTOBJECT object=1",
        "SELECTOBJECT object=0",
        "CREATEPENINDIRECT style=0 width=0 color=0x000003", "SELECTOBJECT object=2",
        "SELECTOBJECT object=0",
        "DELETEOBJECT object=2",
    };
    EXPECT_EQ(out, want);
    EXPECT_EQ(h.numObjects, 3);
}

TEST(RecordingDc, NullPensAndBrushesAreTheStockObjectsWrittenOnce) {
    auto out = replay({pen(5, 0, 0xFFFFFF), select(0), line(1, 1), pen(0, 0, 7), select(1), remove(0),
                       pen(5, 2, 0x123456), select(0), brush(1, 0xFFFFFF, 0), select(2), remove(0), remove(2)},
                      3);
    std::vector<std::string> want = {
        "CREATEPENINDIRECT style=5 width=1 color=0x000000", "SELECTOBJECT object=0",
        "LINETO x=1 y=1",
        "CREATEPENINDIRECT style=0 width=0 color=0x000007", "SELECTOBJECT object=1",
        "SELECTOBJECT object=0",  // the same stock null pen again
        "CREATEBRUSHINDIRECT style=1 color=0x000000 hatch=0", "SELECTOBJECT object=2",
    };
    EXPECT_EQ(out, want);
}

TEST(RecordingDc, StockObjectsGetACreateRecordLikeAnyOther) {
    auto dc = CreateMetaFileW();
    GdiObjectPtr previous = dc->selectObject(GetStockObject(StockObject::WhiteBrush));
    EXPECT_EQ(previous, GetStockObject(StockObject::WhiteBrush));  // the DC's own initial brush
    GdiObjectPtr red = CreateSolidBrush(0x0000FF);
    dc->selectObject(red);
    dc->selectObject(previous);
    EXPECT_TRUE(DeleteObject(red));
    MetafileHandle mf = CloseMetaFile(std::move(dc));
    std::vector<std::string> lines;
    forEachRecord(*mf, [&](const Record& r, size_t) { lines.push_back(recordName(r.function()) + " " + describeRecord(r)); });
    std::vector<std::string> want = {
        "CREATEBRUSHINDIRECT style=0 color=0xFFFFFF hatch=0", "SELECTOBJECT object=0",
        "CREATEBRUSHINDIRECT style=0 color=0x0000FF hatch=0", "SELECTOBJECT object=1",
        "SELECTOBJECT object=0", "DELETEOBJECT object=1",
    };
    EXPECT_EQ(lines, want);
}

TEST(RecordingDc, RecordsComeOutInTheirCanonicalForm) {
    Bytes face = RB(uint16_t(Fn::CreateFontIndirect))
                     .i16(-100).i16(0).i16(0).i16(0).i16(400).u16(0).u16(0).u16(0).u16(0)
                     .text(std::string("Arial\0junk", 10))
                     .finish();
    Bytes textOut = RB(uint16_t(Fn::TextOut)).u16(3).text("Odd").i16(200).i16(100).finish();
    auto out = replay({RB(uint16_t(Fn::SetTextAlign)).u16(24).finish(),
                       RB(uint16_t(Fn::SetBkMode)).u16(1).u16(0).finish(),
                       RB(uint16_t(Fn::SetPolyFillMode)).u16(2).u16(0).finish(),
                       RB(uint16_t(Fn::LineTo)).i16(5).i16(6).i16(99).finish(),
                       pen(0x2200, 5, 0x0000FF), select(0), pen(1, 2, 0), select(1), pen(1, 1, 0), select(2),
                       brush(0, 0x00FFFF, 6), select(3), brush(2, 0x00FFFF, 3), select(4), face, select(5),
                       textOut, RB(0x0999).u16(1).finish(), select(9), remove(8)},
                      10);
    std::vector<std::string> want = {
        "SETTEXTALIGN align=24",
        "SETBKMODE mode=1",
        "SETPOLYFILLMODE mode=2",
        "LINETO x=6 y=5",
        "CREATEPENINDIRECT style=0 width=5 color=0x0000FF", "SELECTOBJECT object=0",  // no cap or join
        "CREATEPENINDIRECT style=0 width=2 color=0x000000", "SELECTOBJECT object=1",  // wide dashes are solid
        "CREATEPENINDIRECT style=1 width=1 color=0x000000", "SELECTOBJECT object=2",
        "CREATEBRUSHINDIRECT style=0 color=0x00FFFF hatch=0", "SELECTOBJECT object=3",
        "CREATEBRUSHINDIRECT style=2 color=0x00FFFF hatch=3", "SELECTOBJECT object=4",
        "CREATEFONTINDIRECT height=-100 width=0 escapement=0 orientation=0 weight=400 italic=0 charset=0 face='Arial'",
        "SELECTOBJECT object=5",
        "EXTTEXTOUT x=100 y=200 len=3 options=0x0000 text='Odd'",
    };
    EXPECT_EQ(out, want);

    // Sizes: SETTEXTALIGN 5 words (a 32-bit value), the one-word records 4, LINETO 5.
    Bytes bits = picture({RB(uint16_t(Fn::SetTextAlign)).u16(24).finish(),
                          RB(uint16_t(Fn::SetBkMode)).u16(1).u16(0).finish(),
                          RB(uint16_t(Fn::SetRop2)).u16(13).u16(0).finish(),
                          RB(uint16_t(Fn::LineTo)).i16(5).i16(6).i16(99).finish(), face},
                         1);
    MetafileHandle in = parseMetafile(bits);
    ASSERT_TRUE(in);
    auto norm = normalizeMetafile(*in);
    std::vector<uint32_t> sizes;
    forEachRecord(*norm, [&](const Record& r, size_t) { sizes.push_back(r.sizeWords()); });
    EXPECT_EQ(sizes, (std::vector<uint32_t>{5, 4, 4, 5}));  // the font was never selected
}

TEST(RecordingDc, FontRecordsAreAlwaysFullSizeWithNothingAfterTheFaceName) {
    Bytes face = RB(uint16_t(Fn::CreateFontIndirect))
                     .i16(-80).i16(0).i16(900).i16(900).i16(700).u16(0).u16(0).u16(0).u16(0)
                     .text(std::string("txt\0XYZ", 7))
                     .finish();
    Bytes bits = picture({face, select(0)}, 1);
    auto norm = normalizeMetafile(*parseMetafile(bits));
    std::vector<Bytes> recs;
    forEachRecord(*norm, [&](const Record& r, size_t) { recs.emplace_back(r.data(), r.data() + r.byteSize()); });
    ASSERT_EQ(recs.size(), 2u);
    ASSERT_EQ(recs[0].size(), 56u);  // 28 words
    EXPECT_EQ(std::string(recs[0].begin() + 24, recs[0].begin() + 28), std::string("txt\0", 4));
    for (size_t i = 28; i < 56; ++i) EXPECT_EQ(recs[0][i], 0) << i;
}

TEST(RecordingDc, AClipRegionIsCreatedSelectedAndDeletedAtOnce) {
    Bytes region = RB(uint16_t(Fn::CreateRegion))
                       .u16(0).u16(6).u32(0).u16(22).u16(0).u16(0).i16(0).i16(0).i16(10).i16(10)
                       .finish();
    auto out = replay({pen(0, 0, 1), region, select(1), select(0), select(1)}, 2);
    ASSERT_EQ(out.size(), 8u);
    EXPECT_EQ(out[0].rfind("CREATEREGION", 0), 0u);
    EXPECT_EQ(out[1], "SELECTOBJECT object=0");
    EXPECT_EQ(out[2], "DELETEOBJECT object=0");
    EXPECT_EQ(out[3], "CREATEPENINDIRECT style=0 width=0 color=0x000001");
    EXPECT_EQ(out[4], "SELECTOBJECT object=0");  // the region's slot was free again
    EXPECT_EQ(out[5].rfind("CREATEREGION", 0), 0u);
    EXPECT_EQ(out[6], "SELECTOBJECT object=1");
    EXPECT_EQ(out[7], "DELETEOBJECT object=1");
}

TEST(RecordingDc, AHeaderWithTooFewSlotsLosesNoObject) {
    auto out = replay({pen(0, 0, 1), pen(0, 0, 2), select(1), line(3, 3)}, 1);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], "CREATEPENINDIRECT style=0 width=0 color=0x000002");
}

TEST(EnumMetaFile, TheCallbackChangesOnlyItsCopyAndCanStop) {
    Bytes bits = picture({line(1, 1), line(2, 2), line(3, 3)}, 0);
    MetafileHandle mf = parseMetafile(bits);
    ASSERT_TRUE(mf);
    Bytes before = mf->bits();
    struct Ctx {
        int seen = 0;
    } ctx;
    Dc dc;
    bool all = EnumMetaFile(
        dc, *mf,
        [](Dc&, HandleTable&, Record& r, unsigned, void* c) {
            r.setI16(0, 999);
            return ++static_cast<Ctx*>(c)->seen < 2 ? 1 : 0;
        },
        &ctx);
    EXPECT_FALSE(all);
    EXPECT_EQ(ctx.seen, 2);
    EXPECT_EQ(mf->bits(), before);
}

}  // namespace
}  // namespace qv::mf
