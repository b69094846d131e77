#include "settings/setting_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

namespace qv {
namespace {

struct ExpectedInt {
    std::string name;
    std::int32_t WmfSettings::*member;
    std::int32_t defaultValue;
    std::string accepted;
    SettingKey key;
};

// Every integer setting in the order of the record, as the stores and dialogs expect it.
const std::vector<ExpectedInt>& expectedInts() {
    using S = WmfSettings;
    const auto opt = SettingKey::Options;
    const auto pref = SettingKey::Preferences;
    static const std::vector<ExpectedInt> table{
        {"Lineoptions", &S::Lineoptions, 0, "0..3", opt},
        {"MakeBlack", &S::MakeBlack, 0, "0, 1", opt},
        {"Filledoptions", &S::Filledoptions, 0, "0..3", opt},
        {"Widthoptions", &S::Widthoptions, 0, "0..3", opt},
        {"Rotation", &S::Rotation, 0, "0, 90, 180, 270", opt},
        {"Crop", &S::Crop, 1, "0, 1", opt},
        {"Tilemode", &S::Tilemode, 1, "0, 1", opt},
        {"Paperlast", &S::Paperlast, 1, "0, 1", opt},
        {"AskTilemode", &S::AskTilemode, 1, "0, 1", pref},
        {"RemoveBackground", &S::RemoveBackground, 1, "0, 1", opt},
        {"WhiteBlack", &S::WhiteBlack, 1, "0, 1", opt},
        {"LeaveMargin", &S::LeaveMargin, 1, "0, 1", opt},
        {"ReplaceCopyclip", &S::ReplaceCopyclip, 0, "0, 1", pref},
        {"Tooltip", &S::Tooltip, 1, "0, 1", pref},
        {"PopupSaveas", &S::PopupSaveas, 0, "0, 1", pref},
        {"StartWithOptions", &S::StartWithOptions, 1, "0, 1", pref},
        {"Outlinestoo", &S::Outlinestoo, 0, "0, 1", opt},
        {"IsMetric", &S::IsMetric, 0, "0, 1", pref},
        {"oPalette", &S::oPalette, 0, "0..8", pref},
        {"ForcedPalette", &S::ForcedPalette, -1, "-1..8", pref},
        {"RemoveLines", &S::RemoveLines, 0, "0, 1", opt},
        {"AutoModify", &S::AutoModify, 1, "0..3", pref},
        {"ShowSplash", &S::ShowSplash, 1, "any", SettingKey::Version},
    };
    return table;
}

struct ExpectedReal {
    std::string name;
    double WmfSettings::*member;
    double defaultValue;
    std::string valid;
};

const std::vector<ExpectedReal>& expectedReals() {
    using S = WmfSettings;
    static const std::vector<ExpectedReal> table{
        {"Margin", &S::Margin, 0.5, ">= 0"},
        {"FixedWidth", &S::FixedWidth, 0.01, ">= 0"},
        {"Percentage", &S::Percentage, 100.0, "> 0"},
        {"PictureWidth", &S::PictureWidth, 6.0, "> 0"},
        {"PictureHeight", &S::PictureHeight, 9.0, "> 0"},
        {"WMFScale", &S::WMFScale, 1.0, "> 0"},
        {"DrawingScale", &S::DrawingScale, 1.0, "> 0"},
    };
    return table;
}

TEST(SettingDefaults, FreshRecordHoldsEveryScalarDefault) {
    const WmfSettings s;
    for (const ExpectedInt& e : expectedInts()) EXPECT_EQ(s.*e.member, e.defaultValue) << e.name;
    for (const ExpectedReal& e : expectedReals()) {
        EXPECT_DOUBLE_EQ(s.*e.member, e.defaultValue) << e.name;
    }
    EXPECT_EQ(s.Jobs, 0);
    EXPECT_EQ(s.Since, 0);
}

TEST(SettingDefaults, EveryColourRowStartsWithTheDefaultWidth) {
    const WmfSettings s;
    for (const ColorEntry& row : s.Colors) EXPECT_DOUBLE_EQ(row.Width, 0.01);
}

TEST(SettingTable, IntegerTableDescribesEachSettingInRecordOrder) {
    const auto table = intSettings();
    const auto& expected = expectedInts();
    ASSERT_EQ(table.size(), expected.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const ExpectedInt& e = expected[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(table[i].name, e.name);
        EXPECT_TRUE(table[i].member == e.member);
        EXPECT_EQ(table[i].defaultValue, e.defaultValue);
        EXPECT_EQ(acceptedText(table[i]), e.accepted);
        EXPECT_EQ(table[i].key, e.key);
    }
}

TEST(SettingTable, RealTableDescribesEachSettingInRecordOrder) {
    const auto table = realSettings();
    const auto& expected = expectedReals();
    ASSERT_EQ(table.size(), expected.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const ExpectedReal& e = expected[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(table[i].name, e.name);
        EXPECT_TRUE(table[i].member == e.member);
        EXPECT_DOUBLE_EQ(table[i].defaultValue, e.defaultValue);
        EXPECT_EQ(validText(table[i]), e.valid);
        EXPECT_EQ(table[i].key, SettingKey::Options);
    }
}

TEST(SettingTable, KeyNames) {
    EXPECT_EQ(keyName(SettingKey::Options, ProgramKind::Tray), "Options");
    EXPECT_EQ(keyName(SettingKey::Preferences, ProgramKind::Plugin), "Preferences");
    EXPECT_EQ(keyName(SettingKey::Version, ProgramKind::Plugin), "V7,10,0,0");
    EXPECT_EQ(keyName(SettingKey::Version, ProgramKind::Tray), "V7,00,0,0");
    EXPECT_EQ(keyName(SettingKey::Version, ProgramKind::CommandLine), "V7,00,0,0");
}

TEST(SettingLookup, NamesCompareWithoutCase) {
    const IntSettingInfo* rotation = findIntSetting("rotation");
    ASSERT_NE(rotation, nullptr);
    EXPECT_EQ(rotation->name, "Rotation");
    ASSERT_NE(findIntSetting("OPALETTE"), nullptr);
    EXPECT_TRUE(findIntSetting("OPALETTE")->member == &WmfSettings::oPalette);
    ASSERT_NE(findRealSetting("wmfscale"), nullptr);
    EXPECT_TRUE(findRealSetting("wmfscale")->member == &WmfSettings::WMFScale);
}

TEST(SettingLookup, UnknownOrOtherKindIsNotFound) {
    // A real setting is not an integer one and vice versa, so callers can try one then the other.
    EXPECT_EQ(findIntSetting("Margin"), nullptr);
    EXPECT_EQ(findRealSetting("Rotation"), nullptr);
    EXPECT_EQ(findIntSetting("Rotatio"), nullptr);
    EXPECT_EQ(findIntSetting("Rotations"), nullptr);
    EXPECT_EQ(findIntSetting(""), nullptr);
    // The statistics are stored on their own, not as settings.
    EXPECT_EQ(findIntSetting("Jobs"), nullptr);
    EXPECT_EQ(findIntSetting("Since"), nullptr);
}

struct IntCase {
    const char* name;
    std::int32_t value;
    bool accepted;
    std::int32_t loaded;  // what a load keeps
};

void PrintTo(const IntCase& c, std::ostream* os) {
    *os << c.name << " = " << c.value;
}

class IntAcceptance : public testing::TestWithParam<IntCase> {};

TEST_P(IntAcceptance, AcceptsOnlyItsSet) {
    const IntCase& c = GetParam();
    const IntSettingInfo* info = findIntSetting(c.name);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(intAccepted(*info, c.value), c.accepted);
    EXPECT_EQ(acceptedOrDefault(*info, c.value), c.loaded);
}

INSTANTIATE_TEST_SUITE_P(
    Values, IntAcceptance,
    testing::Values(IntCase{"Rotation", 45, false, 0}, IntCase{"Rotation", 90, true, 90},
                    IntCase{"Rotation", 270, true, 270}, IntCase{"Rotation", 360, false, 0},
                    IntCase{"Lineoptions", 4, false, 0}, IntCase{"Lineoptions", -1, false, 0},
                    IntCase{"Lineoptions", 1, true, 1}, IntCase{"Lineoptions", 3, true, 3},
                    IntCase{"ForcedPalette", 9, false, -1}, IntCase{"ForcedPalette", -2, false, -1},
                    IntCase{"ForcedPalette", -1, true, -1}, IntCase{"ForcedPalette", 8, true, 8},
                    IntCase{"AutoModify", 7, false, 1}, IntCase{"AutoModify", 0, true, 0},
                    IntCase{"oPalette", 8, true, 8}, IntCase{"oPalette", 9, false, 0},
                    IntCase{"Crop", 0, true, 0}, IntCase{"Crop", 2, false, 1},
                    IntCase{"MakeBlack", -1, false, 0}, IntCase{"ShowSplash", -7, true, -7},
                    IntCase{"ShowSplash", 0, true, 0}));

struct RealCase {
    const char* name;
    double value;
    bool valid;
    double loaded;
};

void PrintTo(const RealCase& c, std::ostream* os) {
    *os << c.name << " = " << c.value;
}

class RealValidity : public testing::TestWithParam<RealCase> {};

TEST_P(RealValidity, PassesOnlyItsTest) {
    const RealCase& c = GetParam();
    const RealSettingInfo* info = findRealSetting(c.name);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(realValid(*info, c.value), c.valid);
    EXPECT_DOUBLE_EQ(validOrDefault(*info, c.value), c.loaded);
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Values, RealValidity,
    testing::Values(
        RealCase{"Percentage", 0.0, false, 100.0}, RealCase{"Percentage", -1.0, false, 100.0},
        RealCase{"Percentage", 0.5, true, 0.5}, RealCase{"Margin", 0.0, true, 0.0},
        RealCase{"Margin", -1.0, false, 0.5}, RealCase{"Margin", 2.5, true, 2.5},
        RealCase{"Margin", kNaN, false, 0.5}, RealCase{"FixedWidth", 0.0, true, 0.0},
        RealCase{"PictureWidth", 0.0, false, 6.0}, RealCase{"PictureHeight", -0.001, false, 9.0},
        RealCase{"WMFScale", kNaN, false, 1.0}, RealCase{"DrawingScale", 250.0, true, 250.0}));

}  // namespace
}  // namespace qv
