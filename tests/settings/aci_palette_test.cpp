#include "settings/aci_palette.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <set>

namespace qv {
namespace {

constexpr ColorRef rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return r | (g << 8) | (b << 16);
}
constexpr ColorRef grey(std::uint32_t g) {
    return rgb(g, g, g);
}

ColorRef at(int row, int column) {
    return AciPalette.at(std::size_t(row)).at(std::size_t(column));
}

// The published palette worked out in whole numbers: hue steps of 15 degrees are quarters of a
// 60-degree sector, so X = V * (4 - d) / 4 with d = |(step mod 8) - 4|; the half-way shades
// are (X + V) / 2 = V * (8 - d) / 8 and V / 2 for the empty channel.
ColorRef publishedByHand(int index) {
    const int k = index - 10;
    const int step = k / 10;
    const int v = std::array{255, 204, 153, 127, 76}[std::size_t((k % 10) / 2)];
    const int d = std::abs(step % 8 - 4);
    const bool odd = k % 2 == 1;
    const int x = odd ? v * (8 - d) / 8 : v * (4 - d) / 4;
    const int zero = odd ? v / 2 : 0;
    switch (step / 4) {
        case 0:
            return rgb(v, x, zero);
        case 1:
            return rgb(x, v, zero);
        case 2:
            return rgb(zero, v, x);
        case 3:
            return rgb(zero, x, v);
        case 4:
            return rgb(x, zero, v);
        default:
            return rgb(v, zero, x);
    }
}

std::uint32_t round51(std::uint32_t c) {
    return std::uint32_t(std::lround(c / 51.0) * 51);
}

ColorRef rounded51(ColorRef c) {
    return rgb(round51(c & 0xFF), round51((c >> 8) & 0xFF), round51((c >> 16) & 0xFF));
}

// Checks that column `column` equals `base` everywhere but in `changed`, which holds its own
// values there.
void expectColumnWithChanges(int column, int base, const std::map<int, ColorRef>& changed) {
    for (int row = 0; row < kAciPaletteRows; ++row) {
        auto it = changed.find(row);
        if (it == changed.end()) {
            EXPECT_EQ(at(row, column), at(row, base)) << "row " << row;
        } else {
            EXPECT_EQ(at(row, column), it->second) << "row " << row;
        }
    }
}

TEST(AciPalette, RowsShapedAlikeInEveryColumn) {
    const ColorRef basic[8] = {0x000000, 0x0000FF, 0x00FFFF, 0x00FF00,
                               0xFFFF00, 0xFF0000, 0xFF00FF, 0xFFFFFF};
    for (int col = 0; col < kAciPaletteColumns; ++col) {
        SCOPED_TRACE(col);
        for (int row = 0; row < 8; ++row) EXPECT_EQ(at(row, col), basic[row]) << "row " << row;
        EXPECT_EQ(at(10, col), 0x0000FFu);
        const bool plainGreys = col == 2 || col == 3 || col == 8;
        EXPECT_EQ(at(8, col), plainGreys ? grey(128) : grey(134));
        EXPECT_EQ(at(9, col), plainGreys ? grey(192) : grey(187));
    }
}

TEST(AciPalette, RedIsTheLowByte) {
    EXPECT_EQ(at(1, 8), 0x0000FFu);
    EXPECT_EQ(at(5, 8), 0xFF0000u);
    // Index 30 is orange: full red, some green, no blue.
    EXPECT_EQ(at(30, 8) & 0xFF, 0xFFu);
    EXPECT_EQ(at(30, 8) >> 16, 0u);
}

TEST(AciPalette, PublishedColumnSpotValues) {
    const std::map<int, ColorRef> spots{
        {11, rgb(255, 127, 127)}, {12, rgb(204, 0, 0)},      {19, rgb(76, 38, 38)},
        {20, rgb(255, 63, 0)},    {21, rgb(255, 159, 127)},  {40, rgb(255, 191, 0)},
        {136, rgb(0, 127, 127)},  {213, rgb(204, 102, 204)}, {249, rgb(76, 38, 47)},
        {250, grey(51)},          {251, grey(91)},           {252, grey(132)},
        {253, grey(173)},         {254, grey(214)},          {255, grey(255)},
    };
    for (const auto& [row, color] : spots) EXPECT_EQ(at(row, 8), color) << "row " << row;
}

TEST(AciPalette, PublishedColumnFollowsTheHueRule) {
    for (int row = 10; row < 250; ++row) EXPECT_EQ(at(row, 8), publishedByHand(row)) << row;
}

TEST(AciPalette, Column6RoundsThePublishedColoursTo51) {
    for (int row = 10; row < 250; ++row) {
        EXPECT_EQ(at(row, 6), rounded51(at(row, 8))) << "row " << row;
    }
    EXPECT_EQ(at(20, 6), rgb(255, 51, 0));
    EXPECT_EQ(at(19, 6), grey(51));
    const std::uint32_t greys[6] = {53, 93, 134, 174, 214, 255};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(at(250 + i, 6), grey(greys[i]));
}

TEST(AciPalette, Columns0And4DimTheLastShadeOfMostHues) {
    std::map<int, ColorRef> changed{{250, grey(51)}};
    for (int row = 29; row <= 249; row += 10) {
        if (row != 99 && row != 179) changed[row] = grey(53);
    }
    changed[59] = changed[139] = changed[219] = grey(67);
    expectColumnWithChanges(0, 6, changed);
    expectColumnWithChanges(4, 0, {});
    // Rows 99 and 179 keep the rounded colour, which is not grey.
    EXPECT_NE(at(99, 0), grey(53));
    EXPECT_EQ(at(99, 0), at(99, 6));
}

TEST(AciPalette, Column2UsesHalfIntensityPrimaries) {
    std::map<int, ColorRef> changed{{8, grey(128)}, {9, grey(192)}};
    for (int row : {16, 26, 246}) changed[row] = 0x000080;
    changed[56] = 0x008080;
    for (int row : {86, 96, 106}) changed[row] = 0x008000;
    changed[136] = 0x808000;
    for (int row : {166, 176, 186}) changed[row] = 0x800000;
    changed[216] = 0x800080;
    expectColumnWithChanges(2, 0, changed);
}

TEST(AciPalette, Columns1And5HoldTheLightBackgroundTable) {
    const std::map<int, ColorRef> spots{
        {11, 0x6666FF},  {17, 0x333333},  {27, 0x353535},   {57, 0x434343},   {71, 0x66FFCC},
        {78, 0x003300},  {95, 0x336633},  {125, 0x666633},  {158, 0x330000},  {171, 0xFF6666},
        {196, 0x330033}, {230, 0x6600FF}, {246, 0x000033},  {249, 0x1A1A1A},  {250, 0x000000},
        {251, grey(40)}, {252, grey(93)}, {253, grey(134)}, {254, grey(187)}, {255, grey(174)},
    };
    for (const auto& [row, color] : spots) EXPECT_EQ(at(row, 1), color) << "row " << row;
    // Every index ending in 9 is the same dark grey.
    for (int row = 19; row <= 249; row += 10) EXPECT_EQ(at(row, 1), 0x1A1A1Au) << row;
    expectColumnWithChanges(5, 1, {});
}

TEST(AciPalette, Column3UsesHalfIntensityPrimaries) {
    std::map<int, ColorRef> changed{{8, grey(128)}, {9, grey(192)}};
    for (int row : {14, 24, 244}) changed[row] = 0x000080;
    changed[54] = 0x008080;
    for (int row : {84, 94, 104}) changed[row] = 0x008000;
    changed[134] = 0x808000;
    for (int row : {164, 174, 184}) changed[row] = 0x800000;
    changed[214] = 0x800080;
    expectColumnWithChanges(3, 1, changed);
}

TEST(AciPalette, Column7DarkensTheLastShades) {
    std::map<int, ColorRef> changed;
    for (int row = 27; row <= 247; row += 10) {
        if (row != 97 && row != 177) changed[row] = grey(51);
    }
    for (int row = 19; row <= 249; row += 10) {
        ColorRef c = 0;
        if (row <= 29 || row == 249) {
            c = 0x000033;
        } else if (row <= 79) {
            c = 0x003333;
        } else if (row <= 109) {
            c = 0x003300;
        } else if (row <= 159) {
            c = 0x333300;
        } else if (row <= 189) {
            c = 0x330000;
        } else {
            c = 0x330033;
        }
        changed[row] = c;
    }
    expectColumnWithChanges(7, 1, changed);
    EXPECT_EQ(at(239, 7), 0x330033u);
    EXPECT_EQ(at(109, 7), 0x003300u);
}

TEST(AciPalette, GuardedLookup) {
    EXPECT_EQ(aciPaletteColor(11, 8), rgb(255, 127, 127));
    EXPECT_EQ(aciPaletteColor(11, 1), 0x6666FFu);
    EXPECT_EQ(aciPaletteColor(-1, 8), 0u);
    EXPECT_EQ(aciPaletteColor(256, 8), 0u);
    EXPECT_EQ(aciPaletteColor(11, 9), aciPaletteColor(11, 8));
    EXPECT_EQ(aciPaletteColor(11, -4), aciPaletteColor(11, 0));
}

}  // namespace
}  // namespace qv
