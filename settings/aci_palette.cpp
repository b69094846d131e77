#include "settings/aci_palette.h"

#include <algorithm>
#include <cstdint>

namespace qv {

namespace {

struct RowColor {
    int row;
    ColorRef color;
};

using Column = std::array<ColorRef, kAciPaletteRows>;

// Indexes 0..7: black, red, yellow, green, cyan, blue, magenta, white in every column.
constexpr std::array<ColorRef, 8> kBasicColors{0x000000, 0x0000FF, 0x00FFFF, 0x00FF00,
                                               0xFFFF00, 0xFF0000, 0xFF00FF, 0xFFFFFF};

// Columns 1 and 5, indexes 10..249, ten indexes a group.
// clang-format off
constexpr std::array<ColorRef, 240> kLightColors{
    // 10-19
    0x0000FF, 0x6666FF, 0x000099, 0x666699, 0x000066,
    0x333366, 0x000033, 0x333333, 0x000033, 0x1A1A1A,
    // 20-29
    0x0033FF, 0x6699FF, 0x003399, 0x666699, 0x003366,
    0x336666, 0x000033, 0x353535, 0x000033, 0x1A1A1A,
    // 30-39
    0x0066FF, 0x66CCFF, 0x006699, 0x666699, 0x003366,
    0x336666, 0x003333, 0x353535, 0x000033, 0x1A1A1A,
    // 40-49
    0x00CCFF, 0x66CCFF, 0x006699, 0x669999, 0x006666,
    0x336666, 0x003333, 0x353535, 0x003333, 0x1A1A1A,
    // 50-59
    0x00FFFF, 0x66FFFF, 0x009999, 0x669999, 0x006666,
    0x336666, 0x003333, 0x434343, 0x003333, 0x1A1A1A,
    // 60-69
    0x00FFCC, 0x66FFCC, 0x009966, 0x669999, 0x006666,
    0x336666, 0x003333, 0x353535, 0x003333, 0x1A1A1A,
    // 70-79
    0x00FF66, 0x66FFCC, 0x009966, 0x669966, 0x006633,
    0x336666, 0x003333, 0x353535, 0x003300, 0x1A1A1A,
    // 80-89
    0x00FF33, 0x66FF99, 0x009933, 0x669966, 0x006633,
    0x336666, 0x003300, 0x353535, 0x003300, 0x1A1A1A,
    // 90-99
    0x00FF00, 0x66FF66, 0x009900, 0x669966, 0x006600,
    0x336633, 0x003300, 0x333333, 0x003300, 0x1A1A1A,
    // 100-109
    0x33FF00, 0x99FF66, 0x339900, 0x669966, 0x336600,
    0x666633, 0x003300, 0x353535, 0x003300, 0x1A1A1A,
    // 110-119
    0x66FF00, 0xCCFF66, 0x669900, 0x669966, 0x336600,
    0x666633, 0x333300, 0x353535, 0x003300, 0x1A1A1A,
    // 120-129
    0xCCFF00, 0xCCFF66, 0x669900, 0x999966, 0x666600,
    0x666633, 0x333300, 0x353535, 0x333300, 0x1A1A1A,
    // 130-139
    0xFFFF00, 0xFFFF66, 0x999900, 0x999966, 0x666600,
    0x666633, 0x333300, 0x434343, 0x333300, 0x1A1A1A,
    // 140-149
    0xFFCC00, 0xFFCC66, 0x996600, 0x999966, 0x666600,
    0x666633, 0x333300, 0x353535, 0x333300, 0x1A1A1A,
    // 150-159
    0xFF6600, 0xFFCC66, 0x996600, 0x996666, 0x663300,
    0x666633, 0x333300, 0x353535, 0x330000, 0x1A1A1A,
    // 160-169
    0xFF3300, 0xFF9966, 0x993300, 0x996666, 0x663300,
    0x666633, 0x330000, 0x353535, 0x330000, 0x1A1A1A,
    // 170-179
    0xFF0000, 0xFF6666, 0x990000, 0x996666, 0x660000,
    0x663333, 0x330000, 0x333333, 0x330000, 0x1A1A1A,
    // 180-189
    0xFF0033, 0xFF6699, 0x990033, 0x996666, 0x660033,
    0x663366, 0x330000, 0x353535, 0x330000, 0x1A1A1A,
    // 190-199
    0xFF0066, 0xFF66CC, 0x990066, 0x996666, 0x660033,
    0x663366, 0x330033, 0x353535, 0x330000, 0x1A1A1A,
    // 200-209
    0xFF00CC, 0xFF66CC, 0x990066, 0x996699, 0x660066,
    0x663366, 0x330033, 0x353535, 0x330033, 0x1A1A1A,
    // 210-219
    0xFF00FF, 0xFF66FF, 0x990099, 0x996699, 0x660066,
    0x663366, 0x330033, 0x434343, 0x330033, 0x1A1A1A,
    // 220-229
    0xCC00FF, 0xCC66FF, 0x660099, 0x996699, 0x660066,
    0x663366, 0x330033, 0x353535, 0x330033, 0x1A1A1A,
    // 230-239
    0x6600FF, 0xCC66FF, 0x660099, 0x666699, 0x330066,
    0x663366, 0x330033, 0x353535, 0x000033, 0x1A1A1A,
    // 240-249
    0x3300FF, 0x9966FF, 0x330099, 0x666699, 0x330066,
    0x663366, 0x000033, 0x353535, 0x000033, 0x1A1A1A,
};
// clang-format on

// Column 2: plain half-intensity primaries at offset 6 of some ten-index hue groups.
constexpr std::array<RowColor, 12> kColumn2Primaries{{
    {16, 0x000080},
    {26, 0x000080},
    {246, 0x000080},
    {56, 0x008080},
    {86, 0x008000},
    {96, 0x008000},
    {106, 0x008000},
    {136, 0x808000},
    {166, 0x800000},
    {176, 0x800000},
    {186, 0x800000},
    {216, 0x800080},
}};

// Column 3: the same at offset 4 of some groups.
constexpr std::array<RowColor, 12> kColumn3Primaries{{
    {14, 0x000080},
    {24, 0x000080},
    {244, 0x000080},
    {54, 0x008080},
    {84, 0x008000},
    {94, 0x008000},
    {104, 0x008000},
    {134, 0x808000},
    {164, 0x800000},
    {174, 0x800000},
    {184, 0x800000},
    {214, 0x800080},
}};

// The channel as a 0..255 integer; odd steps of a hue lie half-way towards the brightness.
constexpr std::uint32_t shadeChannel(double channel, double brightness, bool halfway) {
    return halfway ? static_cast<std::uint32_t>((channel + brightness) / 2.0)
                   : static_cast<std::uint32_t>(channel);
}

// Indexes 10..249 of the published palette: 24 hues 15 degrees apart, five brightness steps
// of two shades each.
constexpr ColorRef publishedColor(int index) {
    constexpr std::array<double, 5> kBrightness{255.0, 204.0, 153.0, 127.0, 76.0};
    const int k = index - 10;
    const double hue = 15.0 * (k / 10);
    const double v = kBrightness[static_cast<std::size_t>((k % 10) / 2)];

    double sector = hue / 60.0;  // (hue / 60) mod 2
    while (sector >= 2.0) sector -= 2.0;
    const double distance = sector >= 1.0 ? sector - 1.0 : 1.0 - sector;
    const double x = v * (1.0 - distance);

    double r = 0.0, g = 0.0, b = 0.0;
    if (hue < 60.0) {
        r = v, g = x;
    } else if (hue < 120.0) {
        r = x, g = v;
    } else if (hue < 180.0) {
        g = v, b = x;
    } else if (hue < 240.0) {
        g = x, b = v;
    } else if (hue < 300.0) {
        r = x, b = v;
    } else {
        r = v, b = x;
    }
    const bool odd = k % 2 != 0;
    return rgbColor(shadeChannel(r, v, odd), shadeChannel(g, v, odd), shadeChannel(b, v, odd));
}

constexpr std::uint32_t nearestMultipleOf51(std::uint32_t channel) {
    return (channel + 25) / 51 * 51;
}

constexpr ColorRef roundTo51(ColorRef color) {
    return rgbColor(nearestMultipleOf51(color & 0xFF), nearestMultipleOf51((color >> 8) & 0xFF),
                    nearestMultipleOf51((color >> 16) & 0xFF));
}

constexpr void setGreys(Column& column, int firstRow, std::array<std::uint32_t, 6> levels) {
    for (std::size_t i = 0; i < levels.size(); ++i) {
        column[static_cast<std::size_t>(firstRow) + i] = greyColor(levels[i]);
    }
}

// Indexes 0..9, which every column shares apart from the greys of 8 and 9.
constexpr void setCommonRows(Column& column, std::uint32_t grey8, std::uint32_t grey9) {
    for (std::size_t i = 0; i < kBasicColors.size(); ++i) column[i] = kBasicColors[i];
    column[8] = greyColor(grey8);
    column[9] = greyColor(grey9);
}

constexpr Column publishedColumn() {
    Column c{};
    setCommonRows(c, 128, 192);
    for (int i = 10; i < 250; ++i) c[static_cast<std::size_t>(i)] = publishedColor(i);
    setGreys(c, 250, {51, 91, 132, 173, 214, 255});
    return c;
}

constexpr Column roundedColumn(const Column& published) {
    Column c{};
    setCommonRows(c, 134, 187);
    for (std::size_t i = 10; i < 250; ++i) c[i] = roundTo51(published[i]);
    setGreys(c, 250, {53, 93, 134, 174, 214, 255});
    return c;
}

// Columns 0 and 4: the rounded column with the last index of most hues dimmed to grey.
constexpr Column darkColumn(const Column& rounded) {
    Column c = rounded;
    for (int i = 29; i <= 249; i += 10) {
        if (i == 99 || i == 179) continue;
        const bool lighter = i == 59 || i == 139 || i == 219;
        c[static_cast<std::size_t>(i)] = greyColor(lighter ? 67 : 53);
    }
    c[250] = greyColor(51);
    return c;
}

// Columns 1 and 5.
constexpr Column lightColumn() {
    Column c{};
    setCommonRows(c, 134, 187);
    for (std::size_t i = 0; i < kLightColors.size(); ++i) c[10 + i] = kLightColors[i];
    setGreys(c, 250, {0, 40, 93, 134, 187, 174});
    return c;
}

constexpr Column withPrimaries(Column c, const std::array<RowColor, 12>& primaries) {
    c[8] = greyColor(128);
    c[9] = greyColor(192);
    for (const RowColor& p : primaries) c[static_cast<std::size_t>(p.row)] = p.color;
    return c;
}

// Column 7: the light column with offset 7 of most hue groups and offset 9 of every group
// made darker.
constexpr Column lightDarkenedColumn(const Column& light) {
    Column c = light;
    for (int i = 27; i <= 247; i += 10) {
        if (i == 97 || i == 177) continue;
        c[static_cast<std::size_t>(i)] = greyColor(51);
    }
    for (int i = 19; i <= 249; i += 10) {
        ColorRef dark = 0x330033;
        if (i <= 29 || i == 249) {
            dark = 0x000033;
        } else if (i <= 79) {
            dark = 0x003333;
        } else if (i <= 109) {
            dark = 0x003300;
        } else if (i <= 159) {
            dark = 0x333300;
        } else if (i <= 189) {
            dark = 0x330000;
        }
        c[static_cast<std::size_t>(i)] = dark;
    }
    return c;
}

constexpr AciPaletteTable buildAciPalette() {
    const Column published = publishedColumn();
    const Column rounded = roundedColumn(published);
    const Column dark = darkColumn(rounded);
    const Column light = lightColumn();
    const std::array<Column, kAciPaletteColumns> columns{
        dark,
        light,
        withPrimaries(dark, kColumn2Primaries),
        withPrimaries(light, kColumn3Primaries),
        dark,
        light,
        rounded,
        lightDarkenedColumn(light),
        published,
    };
    AciPaletteTable table{};
    for (std::size_t row = 0; row < table.size(); ++row) {
        for (std::size_t col = 0; col < columns.size(); ++col) table[row][col] = columns[col][row];
    }
    return table;
}

}  // namespace

constinit const AciPaletteTable AciPalette = buildAciPalette();

ColorRef aciPaletteColor(int index, int column) {
    if (index < 0 || index >= kAciPaletteRows) return 0;
    const int col = std::clamp(column, 0, kAciPaletteColumns - 1);
    return AciPalette[static_cast<std::size_t>(index)][static_cast<std::size_t>(col)];
}

}  // namespace qv
