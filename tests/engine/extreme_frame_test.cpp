// A clipboard picture may describe itself with any 32-bit size: the render
// must stay within its arithmetic and still write a sound picture. (The
// first such input came from the clipboard fuzz target.)
#include <gtest/gtest.h>

#include <climits>

#include "engine/cmetafile.h"
#include "engine/render.h"
#include "engine/picture_builder.h"

namespace qv::test {
namespace {

using namespace rec;

struct Extreme {
    int32_t mm, xExt, yExt;
};

class ExtremeFrame : public testing::TestWithParam<Extreme> {};

TEST_P(ExtremeFrame, RendersASoundPictureAtEveryRotation) {
    mf::Bytes wmf = PictureBuilder({intersectClipRect(0, 0, 13578, 13578), lineTo(100, 200),
                                    polyline({{1, 2}, {30000, -30000}}), patBlt(5, 5, 10, 4)})
                        .wmf();
    mf::MetafileHandle source = mf::parseMetafile(wmf);
    ASSERT_TRUE(source);
    for (int rotation : {0, 90, 180, 270}) {
        for (int crop : {0, 1}) {
            TestEngine t;
            t.settings.Rotation = rotation;
            t.settings.Crop = crop;
            mf::METAFILEPICT pict{GetParam().mm, GetParam().xExt, GetParam().yExt, source.get()};
            CMetafile picture;
            picture.LoadClipboardPicture(t.engine, pict, 0, 0);
            ASSERT_TRUE(picture.IsLoaded());
            auto dc = mf::CreateMetaFileW();
            Render(t.engine, picture, *dc);
            mf::MetafileHandle out = mf::CloseMetaFile(std::move(dc));
            std::string error;
            EXPECT_TRUE(mf::parseMetafile(out->bits(), &error)) << error;
            EXPECT_GE(t.engine.state.OutputScale, 1);
            EXPECT_LE(t.engine.state.OutputScale, 65535);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ExtremeFrame,
                         testing::Values(Extreme{mf::MM_TEXT, INT32_MAX, INT32_MIN},
                                         Extreme{mf::MM_TEXT, INT32_MIN, INT32_MAX},
                                         Extreme{mf::MM_TEXT, 0, 0},
                                         Extreme{mf::MM_ANISOTROPIC, INT32_MIN, -1},
                                         Extreme{mf::MM_ANISOTROPIC, 0, INT32_MAX}));

}  // namespace
}  // namespace qv::test
