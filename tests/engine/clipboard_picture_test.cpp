// Pictures made from the clipboard's METAFILEPICT.
#include <gtest/gtest.h>

#include "engine/cmetafile.h"
#include "engine/extent_pass.h"
#include "picture_builder.h"

namespace qv {
namespace {

namespace rec = test::rec;

class ClipboardPictureTest : public ::testing::Test {
  protected:
    mf::MetafileHandle source(uint16_t extX = 2000, uint16_t extY = 1000) {
        return test::PictureBuilder{rec::setWindowExt(extX, extY), rec::setWindowExt(50, 50),
                                    rec::moveTo(10, 20), rec::lineTo(1500, 900)}
            .picture();
    }

    test::TestEngine t;
};

TEST_F(ClipboardPictureTest, AnMmTextPictureIsTakenAt120UnitsPerInch) {
    mf::MetafileHandle src = source();
    ASSERT_NE(src, nullptr);
    CMetafile pic;
    pic.LoadClipboardPicture(t.engine, {mf::MM_TEXT, 12, 6, src.get()}, 0, 0);
    ASSERT_TRUE(pic.IsLoaded());
    EXPECT_EQ(pic.LoadedFromClipboard, 1);
    EXPECT_EQ(pic.LoadedFromFile, 0);
    EXPECT_EQ(pic.WindowExt, (Size{12, 6}));
    EXPECT_EQ(pic.MapMode, mf::MM_ANISOTROPIC);
    EXPECT_EQ(pic.ExtX, 254);
    EXPECT_EQ(pic.ExtY, 127);
    EXPECT_EQ(pic.UnitsPerInch, 120.0);
    EXPECT_EQ(pic.Frame, (Rect{0, 0, 12, 6}));
    EXPECT_EQ(pic.Extent, (Rect{10, 20, 1500, 900}));
    EXPECT_TRUE(t.ui.messages.empty());
}

TEST_F(ClipboardPictureTest, AnAnisotropicPictureKeepsItsFirstWindowExtent) {
    mf::MetafileHandle src = source(40000, 1000);
    ASSERT_NE(src, nullptr);
    CMetafile pic;
    pic.LoadClipboardPicture(t.engine, {mf::MM_ANISOTROPIC, 50800, 2540, src.get()}, 7.5, 0);
    ASSERT_TRUE(pic.IsLoaded());
    EXPECT_EQ(pic.MapMode, mf::MM_ANISOTROPIC);
    EXPECT_EQ(pic.ExtX, 50800);
    EXPECT_EQ(pic.ExtY, 2540);
    EXPECT_EQ(pic.WindowExt, (Size{40000, 1000}));
    EXPECT_EQ(pic.Frame, (Rect{0, 0, 40000, 1000}));
    EXPECT_DOUBLE_EQ(pic.UnitsPerInch, 2000.0);
    EXPECT_EQ(pic.ViewHeight, 7.5);
    EXPECT_EQ(pic.Extent, (Rect{10, 20, 1500, 900}));
}

TEST_F(ClipboardPictureTest, ThePictureIsACopyThatOutlivesTheClipboard) {
    mf::MetafileHandle src = source();
    ASSERT_NE(src, nullptr);
    const mf::Bytes bits = src->bits();
    CMetafile pic;
    pic.LoadClipboardPicture(t.engine, {mf::MM_ANISOTROPIC, 5080, 2540, src.get()}, 0, 0);
    ASSERT_NE(pic.Handle, nullptr);
    EXPECT_NE(pic.Handle.get(), src.get());
    mf::DeleteMetaFile(src);
    EXPECT_EQ(pic.Handle->bits(), bits);
    EXPECT_EQ(ComputeExtents(t.engine, *pic.Handle, false).Extent, (Rect{10, 20, 1500, 900}));
}

TEST_F(ClipboardPictureTest, NoPositiveWidthGivesNoUnitsPerInch) {
    for (int32_t extX : {0, -5080}) {
        SCOPED_TRACE(extX);
        mf::MetafileHandle src = source();
        ASSERT_NE(src, nullptr);
        CMetafile pic;
        pic.LoadClipboardPicture(t.engine, {mf::MM_ANISOTROPIC, extX, 2540, src.get()}, 0, 0);
        EXPECT_TRUE(pic.IsLoaded());
        EXPECT_EQ(pic.UnitsPerInch, 0.0);
        EXPECT_EQ(pic.Frame, (Rect{0, 0, 2000, 1000}));
    }
}

TEST_F(ClipboardPictureTest, TheIntelliCadFlagChoosesItsPalette) {
    mf::MetafileHandle src = source();
    ASSERT_NE(src, nullptr);
    CMetafile pic;
    pic.LoadClipboardPicture(t.engine, {mf::MM_ANISOTROPIC, 5080, 2540, src.get()}, 0, 1);
    EXPECT_EQ(pic.IntelliCadPalette, 1);
    EXPECT_EQ(t.settings.oPalette, 8);
    pic.LoadClipboardPicture(t.engine, {mf::MM_ANISOTROPIC, 5080, 2540, src.get()}, 0, 0);
    EXPECT_EQ(pic.IntelliCadPalette, 0);
    EXPECT_EQ(t.settings.oPalette, 4);
}

}  // namespace
}  // namespace qv
