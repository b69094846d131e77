#include "settings/parse_real.h"

#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>

namespace qv {
namespace {

struct ParseCase {
    std::string text;
    double defaultValue;
    double expected;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << '"' << c.text << "\" default " << c.defaultValue;
}

class ParseRealCases : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseRealCases, ReadsEitherDecimalSeparator) {
    const ParseCase& c = GetParam();
    EXPECT_DOUBLE_EQ(ParseReal(c.text, c.defaultValue), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseRealCases,
    testing::Values(
        // Empty text is the only one that gives the default.
        ParseCase{"", 7.5, 7.5},
        // Both separators.
        ParseCase{"0.25", 9.0, 0.25}, ParseCase{"0,25", 9.0, 0.25}, ParseCase{"0,75", 9.0, 0.75},
        ParseCase{"0.500000", 9.0, 0.5}, ParseCase{"12,5", 9.0, 12.5}, ParseCase{"  2,5", 9.0, 2.5},
        ParseCase{",5", 9.0, 0.5},
        // Only the first comma is changed.
        ParseCase{"1,234.5", 9.0, 1.234},
        // No separator: at least -1.
        ParseCase{"100", 9.0, 100.0}, ParseCase{"-1", 9.0, -1.0}, ParseCase{"-3", 9.0, -1.0},
        ParseCase{"abc", 9.0, 0.0},
        // The larger reading wins: a negative fraction reads as its changed form's -0.
        ParseCase{"-0.5", 9.0, 0.0}, ParseCase{"-3.5", 9.0, -3.0},
        // Nothing readable around the separator.
        ParseCase{"x,5", 9.0, 0.0}, ParseCase{"1.5e3", 9.0, 1500.0}));

TEST(ParseReal, NotANumberStaysNotANumber) {
    // Callers reject it with every validity test.
    EXPECT_TRUE(std::isnan(ParseReal("nan", 3.0)));
}

}  // namespace
}  // namespace qv
