#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <vector>

#include "settings/aci_palette.h"
#include "settings/aci_to_rgb.h"
#include "settings/color_defaults.h"
#include "settings/compute_equals.h"

namespace qv {
namespace {

// Colour of index i is i mod 5, so row 0 looks like rows 5, 10, ...
class ModuloColors final : public ColorIndexSource {
  public:
    ColorRef AciToRgb(int index) const override { return ColorRef(index % 5) * 0x010101u; }
};

TEST(ComputeEquals, PointsAtTheLowestRowOfTheSameColourFromRowOne) {
    WmfSettings settings;
    settings.Colors[0].Equals = 77;
    ComputeEquals(settings, ModuloColors());
    for (int i = 1; i < kColorCount; ++i) {
        const int expected = i % 5 == 0 ? 5 : i % 5;
        EXPECT_EQ(settings.Colors[std::size_t(i)].Equals, expected) << "row " << i;
    }
    EXPECT_EQ(settings.Colors[0].Equals, 77);
}

struct PaletteCase {
    int column;
    int nonPrimaryCount;
    std::map<int, int> someEquals;  // row -> Equals among the non-primary rows
    std::vector<int> primaries;     // rows that must stay primary
};

void PrintTo(const PaletteCase& c, std::ostream* os) {
    *os << "column " << c.column;
}

class ComputeEqualsOnPalette : public testing::TestWithParam<PaletteCase> {};

TEST_P(ComputeEqualsOnPalette, CountsRowsThatRepeatALowerColour) {
    const PaletteCase& c = GetParam();
    WmfSettings settings;
    settings.oPalette = c.column;
    ComputeEquals(settings, PaletteColorSource(settings));

    int nonPrimary = 0;
    for (int i = 1; i < kColorCount; ++i) {
        const int e = settings.Colors[std::size_t(i)].Equals;
        ASSERT_GE(e, 1);
        ASSERT_LE(e, i);
        EXPECT_EQ(AciPalette[std::size_t(e)][std::size_t(c.column)],
                  AciPalette[std::size_t(i)][std::size_t(c.column)]);
        if (e != i) ++nonPrimary;
    }
    EXPECT_EQ(nonPrimary, c.nonPrimaryCount);
    for (const auto& [row, equals] : c.someEquals) {
        EXPECT_EQ(settings.Colors[std::size_t(row)].Equals, equals) << "row " << row;
    }
    for (int row : c.primaries) EXPECT_EQ(settings.Colors[std::size_t(row)].Equals, row);
}

INSTANTIATE_TEST_SUITE_P(
    Columns, ComputeEqualsOnPalette,
    testing::Values(PaletteCase{8,
                                7,
                                {{10, 1}, {50, 2}, {90, 3}, {130, 4}, {170, 5}, {210, 6}, {255, 7}},
                                {1, 11, 250}},
                    PaletteCase{4, 114, {{255, 7}, {252, 8}, {250, 19}}, {1, 8, 19}},
                    PaletteCase{5, 154, {{253, 8}, {254, 9}}, {255, 250}}));

TEST(ResetColorDefaults, FillsRowsOneToLastFromTheColourSource) {
    WmfSettings settings;
    settings.Colors[0] = ColorEntry{3, 7.0, 0x123456, 0x654321};
    settings.Colors[9].Width = 2.0;
    settings.Colors[9].Equals = 4;
    resetColorDefaults(settings, ModuloColors());
    for (int i = 1; i < kColorCount; ++i) {
        const ColorEntry& row = settings.Colors[std::size_t(i)];
        EXPECT_DOUBLE_EQ(row.Width, 0.01);
        EXPECT_EQ(row.LineColor, ColorRef(i % 5) * 0x010101u);
        EXPECT_EQ(row.FillColor, row.LineColor);
    }
    EXPECT_EQ(settings.Colors[9].Equals, 4);
    EXPECT_DOUBLE_EQ(settings.Colors[0].Width, 7.0);
    EXPECT_EQ(settings.Colors[0].LineColor, 0x123456u);
}

TEST(ResetColorDefaults, TakesAnotherWidth) {
    WmfSettings settings;
    settings.oPalette = 6;
    resetColorDefaults(settings, PaletteColorSource(settings), 0.25);
    EXPECT_DOUBLE_EQ(settings.Colors[1].Width, 0.25);
    EXPECT_DOUBLE_EQ(settings.Colors[255].Width, 0.25);
    EXPECT_EQ(settings.Colors[250].LineColor, 0x353535u);
}

}  // namespace
}  // namespace qv
