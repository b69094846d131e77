// Loading placeable WMF files into a picture: what is shown for files that are
// not placeable pictures, what is taken from the header, and how pictures with
// damaged records are refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/cmetafile.h"
#include "engine/extent_pass.h"
#include "picture_builder.h"
#include "support/test_support.h"

namespace qv {
namespace {

namespace rec = test::rec;
using test::PictureBuilder;

// A small sound picture: window extent, a pen, a line.
PictureBuilder soundPicture() {
    return PictureBuilder{rec::setWindowExt(9000, 7000), rec::createPen(0x0000FF),
                          rec::selectObject(0), rec::moveTo(100, 200), rec::lineTo(3000, 2500)};
}

class LoadPlaceableTest : public ::testing::Test {
  protected:
    std::filesystem::path write(const mf::Bytes& bytes, const std::string& name = "picture.wmf") {
        std::filesystem::path p = dir / name;
        test::writeFile(p, bytes);
        return p;
    }

    std::vector<std::string> messageTexts() const {
        std::vector<std::string> texts;
        for (const auto& m : t.ui.messages) texts.push_back(m.text);
        return texts;
    }

    void expectNotLoaded(const CMetafile& pic) {
        EXPECT_FALSE(pic.IsLoaded());
        EXPECT_EQ(pic.LoadedFromFile, 0);
        EXPECT_EQ(pic.Handle, nullptr);
    }

    test::TempDir dir;
    test::TestEngine t;
};

TEST_F(LoadPlaceableTest, AFileShorterThanTheKeyIsNotAMetafile) {
    const mf::Bytes good = test::placeable(soundPicture().wmf());
    for (size_t n = 0; n <= 3; ++n) {
        SCOPED_TRACE(std::to_string(n) + " bytes");
        t.ui.messages.clear();
        auto path = write(mf::Bytes(good.begin(), good.begin() + ptrdiff_t(n)));
        CMetafile pic;
        pic.LoadPlaceableFile(t.engine, path, 0);
        expectNotLoaded(pic);
        EXPECT_EQ(messageTexts(),
                  std::vector<std::string>{"Not a Windows metafile: " + path.string()});
    }
}

TEST_F(LoadPlaceableTest, APlainMetafileIsNotSupported) {
    auto path = write(soundPicture().wmf());
    CMetafile pic;
    pic.LoadPlaceableFile(t.engine, path, 0);
    expectNotLoaded(pic);
    EXPECT_EQ(messageTexts(), std::vector<std::string>{"Unsupported windows metafile format"});
    ASSERT_EQ(t.ui.messages.size(), 1u);
    EXPECT_EQ(t.ui.messages[0].caption, "Quorvex error");
    EXPECT_EQ(t.ui.messages[0].icon, platform::MessageIcon::Error);
}

TEST_F(LoadPlaceableTest, AMissingFileLoadsNothingQuietly) {
    CMetafile pic;
    pic.LoadPlaceableFile(t.engine, dir / "missing.wmf", 0);
    expectNotLoaded(pic);
    EXPECT_TRUE(t.ui.messages.empty());
}

TEST_F(LoadPlaceableTest, HeaderFaultsLoadNothingQuietly) {
    const mf::Bytes wmf = soundPicture().wmf();
    const mf::Bytes good = test::placeable(wmf);
    mf::Bytes headerSize8 = good;
    mf::wrU16(&headerSize8[22 + 2], 8);
    mf::Bytes sizeBelowHeader = good;
    mf::wrU32(&sizeBelowHeader[22 + 6], 5);
    struct Fault {
        std::string name;
        mf::Bytes bytes;
    };
    const std::vector<Fault> faults = {
        {"METAHEADER type 0", test::placeable(soundPicture().headerType(0).wmf())},
        {"METAHEADER type 3", test::placeable(soundPicture().headerType(3).wmf())},
        {"placeable header cut off", mf::Bytes(good.begin(), good.begin() + 15)},
        {"METAHEADER cut off", mf::Bytes(good.begin(), good.begin() + 22 + 10)},
        {"no METAHEADER", mf::Bytes(good.begin(), good.begin() + 22)},
        {"METAHEADER of 8 words", headerSize8},
        {"METAHEADER size smaller than the header", sizeBelowHeader},
    };
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.name);
        t.ui.messages.clear();
        CMetafile pic;
        pic.LoadPlaceableFile(t.engine, write(f.bytes), 0);
        expectNotLoaded(pic);
        EXPECT_TRUE(t.ui.messages.empty());
        EXPECT_FALSE(pic.LoadError.empty());
    }
}

TEST_F(LoadPlaceableTest, TheFrameAndUnitsComeFromTheHeader) {
    PictureBuilder b = soundPicture();
    const mf::Bytes wmf = b.wmf();
    // A wrong checksum is not looked at.
    auto path = write(test::placeable(wmf, {-100, -32768, 30000, 32767, 40000}, 0x1234));
    CMetafile pic;
    pic.LoadPlaceableFile(t.engine, path, 12.5);
    EXPECT_TRUE(t.ui.messages.empty());
    ASSERT_TRUE(pic.IsLoaded());
    EXPECT_EQ(pic.LoadedFromFile, 1);
    EXPECT_EQ(pic.LoadedFromClipboard, 0);
    EXPECT_EQ(pic.Frame, (Rect{-100, -32768, 30000, 32767}));
    EXPECT_EQ(pic.UnitsPerInch, 40000.0);
    EXPECT_EQ(pic.ViewHeight, 12.5);
    EXPECT_EQ(pic.Extent, (Rect{100, 200, 3000, 2500}));
    EXPECT_EQ(pic.WindowExt, (Size{9000, 7000}));
    EXPECT_EQ(pic.MapMode, 0);
    EXPECT_EQ(pic.ExtX, 0);
    EXPECT_EQ(pic.ExtY, 0);
    ASSERT_NE(pic.Handle, nullptr);
    EXPECT_EQ(pic.Handle->bits(), wmf);
}

TEST_F(LoadPlaceableTest, ADiskMetafileLoadsToo) {
    auto path =
        write(test::placeable(soundPicture().headerType(2).wmf(), {0, 0, 9000, 7000, 1000}));
    CMetafile pic;
    pic.LoadPlaceableFile(t.engine, path, 0);
    EXPECT_TRUE(pic.IsLoaded());
    EXPECT_TRUE(t.ui.messages.empty());
}

TEST_F(LoadPlaceableTest, LoadingAgainForgetsThePreviousPicture) {
    CMetafile pic;
    pic.LoadPlaceableFile(t.engine, write(test::placeable(soundPicture().wmf(), {1, 2, 3, 4, 5})),
                          3);
    ASSERT_TRUE(pic.IsLoaded());
    ASSERT_EQ(pic.Frame, (Rect{1, 2, 3, 4}));
    pic.LoadPlaceableFile(t.engine, dir / "missing.wmf", 0);
    expectNotLoaded(pic);
    EXPECT_EQ(pic.Frame, Rect{});
    EXPECT_EQ(pic.UnitsPerInch, 0.0);
    EXPECT_EQ(pic.ViewHeight, 0.0);
    EXPECT_EQ(pic.WindowExt, Size{});
}

TEST_F(LoadPlaceableTest, AHeaderThatCountsMoreThanTheFileHoldsLoads) {
    // Some writers count the placeable header in the METAHEADER size too.
    const mf::Bytes wmf = soundPicture().extraSizeWords(11).wmf();
    CMetafile pic;
    pic.LoadPlaceableFile(t.engine, write(test::placeable(wmf, {0, 0, 9000, 7000, 1200})), 0);
    EXPECT_TRUE(t.ui.messages.empty());
    ASSERT_TRUE(pic.IsLoaded());
    ASSERT_NE(pic.Handle, nullptr);
    EXPECT_EQ(pic.Handle->bits().size(), wmf.size());
    EXPECT_EQ(pic.Handle->recordCount(), 5u);
    EXPECT_EQ(pic.Extent, (Rect{100, 200, 3000, 2500}));
}

TEST_F(LoadPlaceableTest, AnInkscapeFileLoads) {
    const auto path = test::sourcePath("tests/data/real/ink-lines.wmf");
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no " << path;
    const mf::Bytes file = test::readFile(path);
    CMetafile pic;
    pic.LoadPlaceableFile(t.engine, path, 0);
    EXPECT_TRUE(t.ui.messages.empty());
    ASSERT_TRUE(pic.IsLoaded()) << pic.LoadError;
    ASSERT_NE(pic.Handle, nullptr);
    // Its METAHEADER counts the placeable header too: the whole rest of the
    // file is the picture.
    EXPECT_GT(mf::MetaHeader::read(mf::ByteSpan(file).subspan(22)).sizeWords * 2, file.size() - 22);
    EXPECT_EQ(pic.Handle->bits(), mf::Bytes(file.begin() + 22, file.end()));
    EXPECT_EQ(pic.Frame, (Rect{0, 0, 9448, 7086}));
    EXPECT_EQ(pic.UnitsPerInch, 1200.0);
    EXPECT_EQ(pic.WindowExt, (Size{9448, 7086}));
    // Everything drawn lies inside the frame.
    EXPECT_GE(pic.Extent.left, 0);
    EXPECT_GE(pic.Extent.top, 0);
    EXPECT_LE(pic.Extent.right, 9448);
    EXPECT_LE(pic.Extent.bottom, 7086);
    EXPECT_LT(pic.Extent.left, pic.Extent.right);
    EXPECT_LT(pic.Extent.top, pic.Extent.bottom);
}

struct Damage {
    std::string name;
    mf::Bytes wmf;
    std::string fault;  // a part of the fault the message must name
};

mf::Bytes rawRecord(uint32_t sizeWords, mf::Fn fn, size_t paramWords) {
    mf::Bytes b;
    mf::putU32(b, sizeWords);
    mf::putU16(b, uint16_t(fn));
    b.resize(b.size() + 2 * paramWords, 0);
    return b;
}

std::vector<Damage> damagedPictures() {
    using mf::Fn;
    auto line = rec::lineTo(5, 5);
    mf::Bytes polylineTooShort = rec::polyline({{1, 1}, {2, 2}});
    mf::wrU16(&polylineTooShort[6], 50);
    mf::Bytes polyPolygonTooShort = rec::polyPolygon({{{1, 1}, {2, 2}, {3, 3}}});
    mf::wrU16(&polyPolygonTooShort[8], 40);
    mf::Bytes extTextTooShort = rec::extTextOut(10, 10, "abcd");
    mf::wrU16(&extTextTooShort[10], 100);
    mf::Bytes textTooShort = rec::textOut(10, 10, "abcd");
    mf::wrU16(&textTooShort[6], 100);
    // The rectangle the options promise is not there.
    mf::Bytes clippedNoRect =
        mf::RecordBuilder(uint16_t(Fn::ExtTextOut)).i16(10).i16(10).u16(0).u16(4).u16(0).finish();
    // A bitmap of 100 x 100 pixels with the pixels of one.
    mf::Bytes bigBitmap = rec::stretchDib(0, 0, 10, 10);
    mf::wrU32(&bigBitmap[6 + 22 + 4], 100);
    mf::wrU32(&bigBitmap[6 + 22 + 8], 100);
    mf::Bytes partial = line;
    partial.resize(4);

    return {
        {"a record of 2 words", PictureBuilder{line, rawRecord(2, Fn::LineTo, 0)}.wmf(), "LINETO"},
        {"a record of 0 words", PictureBuilder{line, rawRecord(0, Fn::MoveTo, 0)}.wmf(), "MOVETO"},
        {"a record past the end", PictureBuilder{line, rawRecord(1000, Fn::Polyline, 3)}.wmf(),
         "POLYLINE"},
        {"more points than held", PictureBuilder{line, polylineTooShort}.wmf(), "POLYLINE"},
        {"more polygon points than held", PictureBuilder{polyPolygonTooShort}.wmf(), "POLYPOLYGON"},
        {"a longer string than held", PictureBuilder{extTextTooShort}.wmf(), "EXTTEXTOUT"},
        {"a longer TEXTOUT string than held", PictureBuilder{textTooShort}.wmf(), "TEXTOUT"},
        {"a missing clipping rectangle", PictureBuilder{clippedNoRect}.wmf(), "EXTTEXTOUT"},
        {"a bitmap larger than the record", PictureBuilder{bigBitmap}.wmf(), "STRETCHDIB"},
        {"no end record", PictureBuilder{line, line}.withoutEof().wmf(), "end record"},
        {"no end record, the header promises more",
         PictureBuilder{line, line}.withoutEof().extraSizeWords(20).wmf(), "end record"},
        {"a record cut off in its header", PictureBuilder{line, partial}.withoutEof().wmf(),
         "cut off"},
    };
}

TEST_F(LoadPlaceableTest, DamagedRecordsAreRefusedWithOneMessage) {
    for (const Damage& d : damagedPictures()) {
        SCOPED_TRACE(d.name);
        t.ui.messages.clear();
        auto path = write(test::placeable(d.wmf, {0, 0, 100, 100, 1000}), "damaged.wmf");
        CMetafile pic;
        pic.LoadPlaceableFile(t.engine, path, 0);
        expectNotLoaded(pic);
        ASSERT_EQ(t.ui.messages.size(), 1u);
        const std::string& text = t.ui.messages[0].text;
        const std::string head = "Damaged Windows metafile: " + path.string() + "\n";
        ASSERT_EQ(text.substr(0, head.size()), head);
        const std::string fault = text.substr(head.size());
        EXPECT_NE(fault.find(d.fault), std::string::npos) << fault;
        EXPECT_EQ(fault, pic.LoadError);
        EXPECT_EQ(t.ui.messages[0].caption, "Quorvex error");
    }
}

}  // namespace
}  // namespace qv
