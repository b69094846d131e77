#include "settings/startup_corrections.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>

namespace qv {
namespace {

struct CorrectionCase {
    ProgramKind program;
    std::int32_t widthoptions;
    std::int32_t filledoptions;
    std::int32_t widthoptionsAfter;
    std::int32_t filledoptionsAfter;
};

void PrintTo(const CorrectionCase& c, std::ostream* os) {
    *os << "program " << static_cast<int>(c.program) << ", Widthoptions " << c.widthoptions
        << ", Filledoptions " << c.filledoptions;
}

class StartupCorrections : public testing::TestWithParam<CorrectionCase> {};

TEST_P(StartupCorrections, FixValuesTheProgramCannotUse) {
    const CorrectionCase& c = GetParam();
    WmfSettings settings;
    settings.Widthoptions = c.widthoptions;
    settings.Filledoptions = c.filledoptions;
    applyStartupCorrections(settings, c.program);
    EXPECT_EQ(settings.Widthoptions, c.widthoptionsAfter);
    EXPECT_EQ(settings.Filledoptions, c.filledoptionsAfter);
}

INSTANTIATE_TEST_SUITE_P(Programs, StartupCorrections,
                         testing::Values(CorrectionCase{ProgramKind::Plugin, 3, 1, 3, 0},
                                         CorrectionCase{ProgramKind::Tray, 3, 1, 0, 0},
                                         CorrectionCase{ProgramKind::CommandLine, 3, 1, 0, 0},
                                         CorrectionCase{ProgramKind::Plugin, 2, 3, 2, 3},
                                         CorrectionCase{ProgramKind::Tray, 2, 2, 2, 2},
                                         CorrectionCase{ProgramKind::CommandLine, 1, 0, 1, 0}));

TEST(StartStatistics, SetsSinceOnlyWhenUnset) {
    WmfSettings settings;
    startStatisticsIfUnset(settings, 1400000000);
    EXPECT_EQ(settings.Since, 1400000000);
    startStatisticsIfUnset(settings, 1500000000);
    EXPECT_EQ(settings.Since, 1400000000);
}

TEST(StartStatistics, UsesTheCurrentTime) {
    using std::chrono::duration_cast;
    using std::chrono::seconds;
    using std::chrono::system_clock;
    WmfSettings settings;
    const auto before = duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
    startStatisticsIfUnset(settings);
    const auto after = duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
    EXPECT_GE(settings.Since, before);
    EXPECT_LE(settings.Since, after);
}

}  // namespace
}  // namespace qv
