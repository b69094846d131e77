#include <gtest/gtest.h>

#include "engine/metafile/records.h"

namespace qv::mf {
namespace {

TEST(RecordTable, KnowsNamesAndFieldsOfCommonRecords) {
    ASSERT_NE(recordInfo(0x0A32), nullptr);
    EXPECT_EQ(recordName(0x0A32), "EXTTEXTOUT");
    EXPECT_EQ(recordName(0x0999), "UNKNOWN_0999");
    const RecordInfo* rect = recordInfo(uint16_t(Fn::Rectangle));
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->fieldCount, 4);
    EXPECT_EQ(rect->fixedBytes, 8);
    const FieldInfo* left = findField(*rect, "left");
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(left->offset, 6);
    const RecordInfo* pen = recordInfo(uint16_t(Fn::CreatePenIndirect));
    ASSERT_NE(pen, nullptr);
    EXPECT_EQ(pen->fixedBytes, 10);
    EXPECT_EQ(findField(*pen, "color")->offset, 6);
}

TEST(RecordTable, EveryFunctionIsFoundUnderItsOwnNumber) {
    for (unsigned f = 0; f < 0x10000; ++f) {
        const RecordInfo* info = recordInfo(uint16_t(f));
        if (info) {
            EXPECT_EQ(info->function, f);
        }
    }
}

TEST(Record, FieldsAreReadByNameAndNeverOutsideTheRecord) {
    Bytes b = RecordBuilder(uint16_t(Fn::Rectangle)).i16(40).i16(30).i16(20).i16(10).finish();
    Record r(b.data(), b.size());
    EXPECT_EQ(r.sizeWords(), 7u);
    EXPECT_EQ(r.field("left"), 10);
    EXPECT_EQ(r.field("top"), 20);
    EXPECT_EQ(r.field("right"), 30);
    EXPECT_EQ(r.field("bottom"), 40);
    EXPECT_EQ(r.i16(4), 0);  // past the end
    r.setI16(4, 99);         // ignored
    EXPECT_EQ(b.size(), 14u);
}

TEST(Record, ShortBitmapFormsShiftTheirFieldsPastTheReservedWord) {
    // DIBSTRETCHBLT without a bitmap: rop, srcH, srcW, ySrc, xSrc, reserved, destH, destW, yDest, xDest.
    Bytes b = RecordBuilder(uint16_t(Fn::DibStretchBlt))
                  .u32(0x00CC0020).i16(2).i16(4).i16(0).i16(0).i16(0).i16(100).i16(200).i16(750).i16(90)
                  .finish();
    Record r(b.data(), b.size());
    ASSERT_EQ(r.sizeWords(), 14u);
    EXPECT_EQ(r.field("srcWidth"), 4);
    EXPECT_EQ(r.field("destWidth"), 200);
    EXPECT_EQ(r.field("yDest"), 750);
    EXPECT_EQ(r.field("xDest"), 90);

    // DIBBITBLT without a bitmap: rop, ySrc, xSrc, reserved, height, width, yDest, xDest.
    Bytes d = RecordBuilder(uint16_t(Fn::DibBitBlt)).u32(0x00F00021).i16(7).i16(8).i16(0).i16(40).i16(30)
                  .i16(20).i16(10).finish();
    Record s(d.data(), d.size());
    ASSERT_EQ(s.sizeWords(), 12u);
    EXPECT_EQ(s.field("xSrc"), 8);
    EXPECT_EQ(s.field("height"), 40);
    EXPECT_EQ(s.field("width"), 30);
    EXPECT_EQ(s.field("xDest"), 10);
}

struct CountingVisitor : RecordVisitor {
    int lines = 0, others = 0, unknown = 0;
    int onPolyline(const Record&) override { return ++lines; }
    int onUnknown(const Record& r) override {
        ++unknown;
        return onDefault(r);
    }
    int onDefault(const Record&) override { return ++others; }
};

TEST(RecordVisitor, DispatchesToTheHandlerOrTheDefault) {
    CountingVisitor v;
    Bytes poly = RecordBuilder(uint16_t(Fn::Polyline)).i16(0).finish();
    Bytes save = RecordBuilder(uint16_t(Fn::SaveDc)).finish();
    Bytes odd = RecordBuilder(0x0999).finish();
    visitRecord(v, Record(poly.data(), poly.size()));
    visitRecord(v, Record(save.data(), save.size()));
    visitRecord(v, Record(odd.data(), odd.size()));
    EXPECT_EQ(v.lines, 1);
    EXPECT_EQ(v.unknown, 1);
    EXPECT_EQ(v.others, 2);
}

}  // namespace
}  // namespace qv::mf
