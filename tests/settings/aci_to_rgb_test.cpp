#include "settings/aci_to_rgb.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(PaletteColorSource, ReadsTheColumnInForceAtEachCall) {
    WmfSettings settings;
    const PaletteColorSource palette(settings);
    const ColorIndexSource& source = palette;

    settings.oPalette = 8;
    EXPECT_EQ(source.AciToRgb(11), 0x7F7FFFu);
    EXPECT_EQ(source.AciToRgb(8), 0x808080u);
    settings.oPalette = 1;
    EXPECT_EQ(source.AciToRgb(11), 0x6666FFu);
    EXPECT_EQ(source.AciToRgb(8), 0x868686u);
    settings.oPalette = 7;
    EXPECT_EQ(source.AciToRgb(27), 0x333333u);
}

TEST(PaletteColorSource, IndexOutsideTheTableGivesBlack) {
    WmfSettings settings;
    settings.oPalette = 8;
    const PaletteColorSource source(settings);
    EXPECT_EQ(source.AciToRgb(-1), 0u);
    EXPECT_EQ(source.AciToRgb(256), 0u);
    EXPECT_EQ(source.AciToRgb(255), 0xFFFFFFu);
}

TEST(PaletteColorSource, ColumnOutsideTheTableIsClamped) {
    WmfSettings settings;
    const PaletteColorSource source(settings);
    settings.oPalette = 8;
    const ColorRef published = source.AciToRgb(11);
    settings.oPalette = 0;
    const ColorRef first = source.AciToRgb(11);
    settings.oPalette = 40;
    EXPECT_EQ(source.AciToRgb(11), published);
    settings.oPalette = -3;
    EXPECT_EQ(source.AciToRgb(11), first);
}

}  // namespace
}  // namespace qv
