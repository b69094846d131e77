// quorvex palette [COLUMN]: one colour-index palette column with its Equals.
#include <cstdio>

#include "cli/cli.h"
#include "settings/aci_palette.h"
#include "settings/compute_equals.h"

namespace qv::cli {

namespace {
constexpr const char* kUsage = "quorvex palette [COLUMN]";
constexpr const char* kHelp =
    "usage: quorvex palette [COLUMN]\n"
    "\n"
    "Prints the 256 rows of one column (0-8, default 8) of the built-in colour-index\n"
    "palette, one line each: INDEX 0x00BBGGRR EQUALS, where EQUALS is the lowest index\n"
    "with the same colour in that column (0 for row 0).\n";
}  // namespace

int runPalette(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (args.size() > 1) return usageError("too many arguments", kUsage);
    int column = 8;
    if (!args.empty()) {
        const std::string& a = args[0];
        if (a.size() != 1 || a[0] < '0' || a[0] > '8')
            return usageError("the column must be a number from 0 to 8, not '" + a + "'", kUsage);
        column = a[0] - '0';
    }
    WmfSettings settings;
    settings.oPalette = column;
    PaletteColorSource colors(settings);
    ComputeEquals(settings, colors);
    for (int i = 0; i < kAciPaletteRows; ++i) {
        int equals = i == 0 ? 0 : settings.Colors[size_t(i)].Equals;
        std::printf("%d 0x%08X %d\n", i, unsigned(colors.AciToRgb(i)), equals);
    }
    return kExitOk;
}

}  // namespace qv::cli
