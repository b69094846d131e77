#include "settings/settings_store.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "platform/profile_file.h"
#include "platform/registry.h"
#include "platform/user_interface.h"
#include "platform/window_messages.h"
#include "settings/aci_palette.h"
#include "settings/color_defaults.h"
#include "settings/compute_equals.h"
#include "settings/program_info.h"
#include "settings/setting_table.h"
#include "settings/transfer.h"
#include "support/test_support.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using platform::RegistryHive;
using platform::RegValue;

const std::string kRoot = "Software\\Talmund\\Quorvex";

std::int64_t nowSeconds() {
    using std::chrono::duration_cast;
    using std::chrono::seconds;
    using std::chrono::system_clock;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeText(const fs::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << text;
}

// A registry hive in a temporary folder, the store over it and a record of the tray program.
class StoreTest : public testing::Test {
  protected:
    StoreTest() : transfer(settings, colors, store, ProgramInfo::of(ProgramKind::Tray)) {}

    // Stores one value below the root, as an earlier run would have.
    void seed(const std::string& subkey, const std::string& name, const RegValue& value) {
        ASSERT_TRUE(registry.update([&](RegistryHive& hive) {
            hive.set(kRoot + "\\" + subkey, name, value);
            return true;
        }));
    }

    std::optional<RegValue> stored(const std::string& subkey, const std::string& name) const {
        return registry.read().get(kRoot + "\\" + subkey, name);
    }

    test::TempDir dir;
    fs::path hivePath = dir / "registry.reg";
    platform::Registry registry{hivePath};
    platform::RecordingUserInterface ui;
    SettingsStore store{registry, ui};
    WmfSettings settings;
    PaletteColorSource colors{settings};
    SettingsTransfer transfer;
};

// ---------------------------------------------------------------------------------------------
// The programs

struct ProgramCase {
    ProgramKind kind;
    const char* fileName;
    const char* version;
    const char* versionKey;
};

class ProgramInfoCases : public testing::TestWithParam<ProgramCase> {};

TEST_P(ProgramInfoCases, NamesAndVersionsOfEachProgram) {
    const ProgramCase& c = GetParam();
    const ProgramInfo& info = ProgramInfo::of(c.kind);
    EXPECT_EQ(info.kind, c.kind);
    EXPECT_EQ(info.fileName, c.fileName);
    EXPECT_EQ(info.version, c.version);
    EXPECT_EQ(info.versionKey, c.versionKey);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, ProgramInfoCases,
    testing::Values(ProgramCase{ProgramKind::Plugin, "Quorvex2015x64.arx", "7,10,0,0", "V7,10,0,0"},
                    ProgramCase{ProgramKind::Tray, "Qtray.exe", "7,00,0,0", "V7,00,0,0"},
                    ProgramCase{ProgramKind::CommandLine, "quorvex", "7,00,0,0", "V7,00,0,0"}));

// ---------------------------------------------------------------------------------------------
// Value functions over the registry

TEST_F(StoreTest, RegistryIntegersMustBeDwords) {
    seed("Options", "Crop", RegValue::fromDword(0xFFFFFFFB));
    seed("Options", "Text", RegValue::fromText("12"));
    EXPECT_EQ(store.ReadIntValue("Options", "Crop", std::nullopt, 9), -5);
    EXPECT_EQ(store.ReadIntValue("options", "CROP", std::nullopt, 9), -5);  // names without case
    EXPECT_EQ(store.ReadIntValue("Options", "Text", std::nullopt, 9), 9);
    EXPECT_EQ(store.ReadIntValue("Options", "Missing", std::nullopt, 9), 9);
    EXPECT_EQ(store.ReadIntValue("NoSuchKey", "Crop", std::nullopt, 9), 9);
    EXPECT_TRUE(ui.messages.empty());
}

struct TextCase {
    std::string name;
    std::string stored;
    bool readBack;  // else the default
};

void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.name;
}

class RegistryTexts : public StoreTest, public testing::WithParamInterface<TextCase> {};

TEST_P(RegistryTexts, TextsUpTo1023Utf16CharactersAreRead) {
    const TextCase& c = GetParam();
    seed("Quorvex", "Value", RegValue::fromText(c.stored));
    EXPECT_EQ(store.ReadTextValue("Quorvex", "Value", std::nullopt, "dflt"),
              c.readBack ? c.stored : "dflt");
}

std::string repeated(const std::string& piece, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) s += piece;
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, RegistryTexts,
    testing::Values(TextCase{"empty", "", true},
                    TextCase{"ascii1023", std::string(1023, 'a'), true},
                    TextCase{"ascii1024", std::string(1024, 'a'), false},
                    // Two UTF-8 bytes, one UTF-16 character each.
                    TextCase{"accented1023", repeated("\xC3\xA9", 1023), true},
                    // Beyond the basic plane: two UTF-16 characters each.
                    TextCase{"pairs1023", repeated("\xF0\x9F\x98\x80", 511) + "a", true},
                    TextCase{"pairs1024", repeated("\xF0\x9F\x98\x80", 512), false}),
    [](const testing::TestParamInfo<TextCase>& info) { return info.param.name; });

TEST_F(StoreTest, RegistryTextAndRealValuesMustBeStrings) {
    seed("Options", "Margin", RegValue::fromText("0,75"));
    seed("Options", "Percentage", RegValue::fromDword(50));
    EXPECT_EQ(store.ReadTextValue("Options", "Percentage", std::nullopt, "none"), "none");
    EXPECT_DOUBLE_EQ(store.ReadRealValue("Options", "Margin", std::nullopt, 0.5), 0.75);
    EXPECT_DOUBLE_EQ(store.ReadRealValue("Options", "Percentage", std::nullopt, 100.0), 100.0);
    EXPECT_DOUBLE_EQ(store.ReadRealValue("Options", "Missing", std::nullopt, 6.0), 6.0);
}

TEST_F(StoreTest, RegistryWritesKeepTheirTypes) {
    EXPECT_FALSE(store.OpenSettingsKey("Options", false));
    EXPECT_TRUE(store.WriteIntValue("Options", "Crop", std::nullopt, -5));
    EXPECT_TRUE(store.WriteRealValue("Options", "Margin", std::nullopt, 0.01));
    EXPECT_TRUE(store.WriteTextValue("Quorvex", "Program Type", std::nullopt, "Qtray.exe"));
    EXPECT_TRUE(store.OpenSettingsKey("Options", false));
    EXPECT_TRUE(store.OpenSettingsKey("Statistics", true));
    EXPECT_TRUE(store.OpenSettingsKey("Statistics", false));
    EXPECT_EQ(stored("Options", "Crop"), RegValue::fromDword(0xFFFFFFFB));
    EXPECT_EQ(stored("Options", "Margin"), RegValue::fromText("0.010000"));
    EXPECT_EQ(stored("Quorvex", "Program Type"), RegValue::fromText("Qtray.exe"));
}

TEST_F(StoreTest, AnEmptyPathWritesTheRegistryButReadsAFile) {
    EXPECT_TRUE(store.WriteIntValue("Options", "Crop", std::string_view(), 0));
    EXPECT_EQ(stored("Options", "Crop"), RegValue::fromDword(0));
    EXPECT_EQ(store.ReadIntValue("Options", "Crop", std::string_view(), 7), 7);
}

TEST(RegistryFailures, AFailedRegistryWriteIsReportedToTheCallerOnly) {
    test::TempDir dir;
    writeText(dir / "plain", "not a folder");
    platform::Registry registry(dir / "plain" / "registry.reg");
    platform::RecordingUserInterface ui;
    SettingsStore store(registry, ui);
    EXPECT_FALSE(store.WriteIntValue("Options", "Crop", std::nullopt, 1));
    EXPECT_FALSE(store.WriteTextValue("Options", "Margin", std::nullopt, "1.000000"));
    EXPECT_FALSE(store.OpenSettingsKey("Options", true));
    EXPECT_FALSE(store.AddJobsToStatistics(1));

    WmfSettings settings;
    PaletteColorSource colors(settings);
    SettingsTransfer transfer(settings, colors, store, ProgramInfo::of(ProgramKind::Tray));
    EXPECT_FALSE(transfer.SaveSettings());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(StoreTest, TextsWithLineBreaksAreRefused) {
    EXPECT_FALSE(store.WriteTextValue("Quorvex", "Note", std::nullopt, "two\nlines"));
    EXPECT_TRUE(ui.messages.empty());
    const fs::path file = dir / "a.qw3";
    EXPECT_FALSE(store.WriteTextValue("Quorvex", "Note", file.string(), "two\r\nlines"));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_FALSE(fs::exists(file));
}

// ---------------------------------------------------------------------------------------------
// Value functions over an options file

TEST_F(StoreTest, FileIntegersReadLikeThePlatformProfileService) {
    const fs::path file = dir / "values.qw3";
    const std::vector<std::string> texts{"12", "-5",  "+7",         "12abc", "abc",
                                         "",   " 3 ", "4294967295", "\"8\"", "0x10",
                                         "-0", "1e3", "99999999999"};
    std::string content = "[Options]\r\n";
    for (std::size_t i = 0; i < texts.size(); ++i) {
        content += "Key" + std::to_string(i) + "=" + texts[i] + "\r\n";
    }
    writeText(file, content);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::string key = "Key" + std::to_string(i);
        EXPECT_EQ(store.ReadIntValue("Options", key, file.string(), 77),
                  platform::GetPrivateProfileIntW("Options", key, 77, file))
            << "text \"" << texts[i] << '"';
    }
    EXPECT_EQ(store.ReadIntValue("Options", "Key1", file.string(), 77), -5);
    EXPECT_EQ(store.ReadIntValue("OPTIONS", "key3", file.string(), 77), 12);
    EXPECT_EQ(store.ReadIntValue("Options", "Missing", file.string(), 77), 77);
    EXPECT_EQ(store.ReadIntValue("Options", "Key0", (dir / "none.qw3").string(), 77), 77);
}

TEST_F(StoreTest, FileTextsAreCutAt1023Characters) {
    const fs::path file = dir / "values.qw3";
    writeText(file, "[Quorvex]\nLong=" + std::string(1500, 'x') + "\nShort=abc\n");
    EXPECT_EQ(store.ReadTextValue("Quorvex", "Long", file.string(), ""), std::string(1023, 'x'));
    EXPECT_EQ(store.ReadTextValue("Quorvex", "Short", file.string(), ""), "abc");
    EXPECT_EQ(store.ReadTextValue("Quorvex", "Missing", file.string(), std::string(1100, 'd')),
              std::string(1023, 'd'));
    for (const char* key : {"Long", "Short", "Missing"}) {
        EXPECT_EQ(store.ReadTextValue("Quorvex", key, file.string(), "dflt"),
                  platform::GetPrivateProfileStringW("Quorvex", key, "dflt", 1024, file));
    }
}

TEST_F(StoreTest, FileWritesUseDecimalTexts) {
    const fs::path file = dir / "values.qw3";
    EXPECT_TRUE(store.WriteIntValue("Options", "Crop", file.string(), -5));
    EXPECT_TRUE(store.WriteRealValue("Options", "Margin", file.string(), 0.5));
    EXPECT_TRUE(store.WriteTextValue("Quorvex", "Program Type", file.string(), "Qtray.exe"));
    EXPECT_EQ(platform::GetPrivateProfileStringW("Options", "Crop", "", 64, file), "-5");
    EXPECT_EQ(platform::GetPrivateProfileStringW("Options", "Margin", "", 64, file), "0.500000");
    EXPECT_EQ(platform::GetPrivateProfileStringW("Quorvex", "Program Type", "", 64, file),
              "Qtray.exe");
    EXPECT_DOUBLE_EQ(store.ReadRealValue("Options", "Margin", file.string(), 9.0), 0.5);
    EXPECT_FALSE(fs::exists(hivePath));
}

TEST_F(StoreTest, AFailedFileWriteShowsTheFileAndTheReason) {
    const fs::path file = dir / "missing" / "a.qw3";
    EXPECT_FALSE(store.WriteIntValue("Options", "Crop", file.string(), 1));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, "Quorvex error");
    const std::string prefix = "Unable to write " + file.string() + ":\n";
    EXPECT_EQ(ui.messages[0].text.substr(0, prefix.size()), prefix);
    EXPECT_GT(ui.messages[0].text.size(), prefix.size());
}

// ---------------------------------------------------------------------------------------------
// Transfers

// A value other than the default that the setting accepts.
std::int32_t otherAccepted(const IntSettingInfo& info) {
    const AcceptedSet& set = info.accepted;
    switch (set.kind) {
        case AcceptedSet::Kind::Range:
            return info.defaultValue == set.low ? set.high : set.low;
        case AcceptedSet::Kind::List:
            return set.values[set.count - 1] == info.defaultValue ? set.values[0]
                                                                  : set.values[set.count - 1];
        case AcceptedSet::Kind::Any:
            break;
    }
    return info.defaultValue + 1;
}

// Every setting and every colour row away from its default, negative colours included.
void fillWithOtherValues(WmfSettings& s) {
    for (const IntSettingInfo& info : intSettings()) s.*(info.member) = otherAccepted(info);
    // A forced palette is also the palette in use once loaded.
    s.oPalette = s.ForcedPalette;
    for (const RealSettingInfo& info : realSettings()) {
        s.*(info.member) = info.defaultValue + 1.234567;
    }
    for (int i = 1; i < kColorCount; ++i) {
        ColorEntry& row = s.Colors[std::size_t(i)];
        row.Width = 0.123456 + i * 0.001;
        row.LineColor = 0x80000000u | ColorRef(i);
        row.FillColor = ColorRef(i) * 0x010203u;
    }
}

void expectSameSettings(const WmfSettings& a, const WmfSettings& b) {
    for (const IntSettingInfo& info : intSettings()) {
        if (info.key == SettingKey::Version) continue;  // not part of a transfer
        EXPECT_EQ(a.*(info.member), b.*(info.member)) << info.name;
    }
    for (const RealSettingInfo& info : realSettings()) {
        EXPECT_DOUBLE_EQ(a.*(info.member), b.*(info.member)) << info.name;
    }
    for (int i = 1; i < kColorCount; ++i) {
        const ColorEntry& x = a.Colors[std::size_t(i)];
        const ColorEntry& y = b.Colors[std::size_t(i)];
        EXPECT_DOUBLE_EQ(x.Width, y.Width) << "row " << i;
        EXPECT_EQ(x.LineColor, y.LineColor) << "row " << i;
        EXPECT_EQ(x.FillColor, y.FillColor) << "row " << i;
    }
}

struct RoundTripCase {
    const char* name;
    TransferMode write;
    TransferMode read;
    bool toFile;
};

class RoundTrips : public StoreTest, public testing::WithParamInterface<RoundTripCase> {};

TEST_P(RoundTrips, EverySettingAndColourComesBack) {
    const RoundTripCase& c = GetParam();
    const std::string file = c.toFile ? (dir / "set.qw3").string() : std::string();
    fillWithOtherValues(settings);
    ASSERT_TRUE(transfer.TransferSettings(c.write, file));

    WmfSettings loaded;
    PaletteColorSource loadedColors(loaded);
    SettingsTransfer reader(loaded, loadedColors, store, ProgramInfo::of(ProgramKind::Tray));
    EXPECT_TRUE(reader.TransferSettings(c.read, file));
    expectSameSettings(loaded, settings);

    // Only the registry load announces the forced palette.
    if (c.toFile) {
        EXPECT_TRUE(ui.messages.empty());
        EXPECT_FALSE(fs::exists(hivePath));
    } else {
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text,
                  "Warning: Palette will be forced to " + std::to_string(settings.ForcedPalette));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sources, RoundTrips,
    testing::Values(RoundTripCase{"Registry", TransferMode::WriteRegistry,
                                  TransferMode::ReadRegistry, false},
                    RoundTripCase{"File", TransferMode::WriteFile, TransferMode::ReadFile, true}),
    [](const testing::TestParamInfo<RoundTripCase>& info) { return info.param.name; });

TEST_F(StoreTest, TransfersWriteTheRegistryTypesOfEachValue) {
    resetColorDefaults(settings, colors);
    ASSERT_TRUE(transfer.TransferSettings(TransferMode::WriteRegistry));
    EXPECT_EQ(stored("Options", "Crop"), RegValue::fromDword(1));
    EXPECT_EQ(stored("Preferences", "ForcedPalette"), RegValue::fromDword(0xFFFFFFFF));
    EXPECT_EQ(stored("Options", "Margin"), RegValue::fromText("0.500000"));
    EXPECT_EQ(stored("Options\\Width", "Color255"), RegValue::fromText("0.010000"));
    EXPECT_EQ(stored("Options\\LineColor", "Color7"), RegValue::fromDword(0xFFFFFF));
    EXPECT_EQ(stored("Options\\FillColor", "Color1"), RegValue::fromDword(0x0000FF));
    EXPECT_FALSE(stored("Options\\Width", "Color0"));
    EXPECT_FALSE(stored("Options", "ShowSplash"));
}

TEST_F(StoreTest, SetByNameIsNoWholeTransfer) {
    EXPECT_FALSE(transfer.TransferSettings(TransferMode::SetByName, "Crop"));
    EXPECT_FALSE(fs::exists(hivePath));
}

TEST_F(StoreTest, SingleGroupsTransferOnTheirOwn) {
    settings.Crop = 0;
    settings.Margin = 2.0;
    settings.Colors[1].Width = 0.7;
    ASSERT_TRUE(transfer.TransferIntSettings(TransferMode::WriteRegistry, ""));
    EXPECT_EQ(stored("Options", "Crop"), RegValue::fromDword(0));
    EXPECT_FALSE(stored("Options", "Margin"));
    ASSERT_TRUE(transfer.TransferRealSettings(TransferMode::WriteRegistry, ""));
    EXPECT_EQ(stored("Options", "Margin"), RegValue::fromText("2.000000"));
    EXPECT_FALSE(stored("Options\\Width", "Color1"));
    EXPECT_FALSE(stored("Quorvex", "Program Type"));

    const std::string file = (dir / "reals.qw3").string();
    ASSERT_TRUE(transfer.TransferRealSettings(TransferMode::WriteFile, file));
    EXPECT_EQ(platform::GetPrivateProfileStringW("Options", "Margin", "", 64, file), "2.000000");
    EXPECT_EQ(platform::GetPrivateProfileStringW("Options", "Crop", "none", 64, file), "none");
}

// ---------------------------------------------------------------------------------------------
// Loading at start

TEST_F(StoreTest, AnEmptyRegistryLoadsEveryDefault) {
    settings.Crop = 0;
    settings.Margin = 3.0;
    settings.Colors[9].Width = 0.5;
    settings.Colors[9].LineColor = 1;
    const std::int64_t before = nowSeconds();
    transfer.LoadSettings();
    const std::int64_t after = nowSeconds();

    for (const IntSettingInfo& info : intSettings()) {
        EXPECT_EQ(settings.*(info.member), info.defaultValue) << info.name;
    }
    for (const RealSettingInfo& info : realSettings()) {
        EXPECT_EQ(settings.*(info.member), info.defaultValue) << info.name;
    }
    for (int i = 1; i < kColorCount; ++i) {
        const ColorEntry& row = settings.Colors[std::size_t(i)];
        EXPECT_EQ(row.Width, 0.01) << "row " << i;
        EXPECT_EQ(row.LineColor, aciPaletteColor(i, 0)) << "row " << i;
        EXPECT_EQ(row.FillColor, aciPaletteColor(i, 0)) << "row " << i;
    }
    EXPECT_EQ(settings.Jobs, 0);
    EXPECT_GE(settings.Since, before);
    EXPECT_LE(settings.Since, after);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(fs::exists(hivePath));  // loading writes nothing
    EXPECT_EQ(transfer.ClipboardNotifyMessage,
              platform::RegisterWindowMessageW("Quorvex Clipboard"));
    EXPECT_GE(transfer.ClipboardNotifyMessage, 0xC000u);
}

struct StoredCase {
    const char* subkey;
    const char* name;
    RegValue value;
    double expected;  // the field after loading
};

void PrintTo(const StoredCase& c, std::ostream* os) {
    *os << c.name << " = "
        << (c.value.type == platform::RegType::Dword ? std::to_string(std::int32_t(c.value.dword))
                                                     : '"' + c.value.text + '"');
}

class StoredValues : public StoreTest, public testing::WithParamInterface<StoredCase> {};

TEST_P(StoredValues, LoadKeepsAcceptedValuesAndReplacesTheRest) {
    const StoredCase& c = GetParam();
    seed(c.subkey, c.name, c.value);
    transfer.LoadSettings();
    if (const IntSettingInfo* info = findIntSetting(c.name)) {
        EXPECT_EQ(settings.*(info->member), std::int32_t(c.expected));
    } else {
        const RealSettingInfo* real = findRealSetting(c.name);
        ASSERT_NE(real, nullptr);
        EXPECT_DOUBLE_EQ(settings.*(real->member), c.expected);
    }
}

RegValue dword(std::int32_t v) {
    return RegValue::fromDword(std::uint32_t(v));
}
RegValue text(const char* t) {
    return RegValue::fromText(t);
}

INSTANTIATE_TEST_SUITE_P(
    Values, StoredValues,
    testing::Values(StoredCase{"Options", "Rotation", dword(45), 0},
                    StoredCase{"Options", "Rotation", dword(270), 270},
                    StoredCase{"Options", "Lineoptions", dword(4), 0},
                    StoredCase{"Options", "Lineoptions", dword(-1), 0},
                    StoredCase{"Options", "Lineoptions", dword(1), 1},
                    StoredCase{"Options", "Crop", dword(2), 1},
                    StoredCase{"Options", "Crop", dword(0), 0},
                    StoredCase{"Options", "Crop", text("0"), 1},
                    StoredCase{"Preferences", "ForcedPalette", dword(9), -1},
                    StoredCase{"Preferences", "ForcedPalette", dword(-2), -1},
                    StoredCase{"Preferences", "AutoModify", dword(7), 1},
                    StoredCase{"Preferences", "oPalette", dword(9), 0},
                    StoredCase{"Preferences", "oPalette", dword(5), 5},
                    StoredCase{"Options", "Percentage", text("0.000000"), 100},
                    StoredCase{"Options", "Percentage", text("-1.000000"), 100},
                    StoredCase{"Options", "Percentage", dword(50), 100},
                    StoredCase{"Options", "Percentage", text("250"), 250},
                    StoredCase{"Options", "Margin", text("-1.000000"), 0.5},
                    StoredCase{"Options", "Margin", text("0.000000"), 0},
                    StoredCase{"Options", "Margin", text("0,75"), 0.75},
                    StoredCase{"Options", "PictureWidth", text("nan"), 6},
                    StoredCase{"Options", "FixedWidth", text(""), 0.01},
                    StoredCase{"Options", "DrawingScale", text("12,500000"), 12.5}));

TEST_F(StoreTest, StoredWidthsMustNotBeNegative) {
    seed("Options\\Width", "Color3", text("-1.000000"));
    seed("Options\\Width", "Color4", text("0,25"));
    seed("Options\\Width", "Color5", text("0.000000"));
    seed("Options\\LineColor", "Color3", dword(-16777216));
    transfer.LoadSettings();
    EXPECT_DOUBLE_EQ(settings.Colors[3].Width, 0.01);
    EXPECT_DOUBLE_EQ(settings.Colors[4].Width, 0.25);
    EXPECT_DOUBLE_EQ(settings.Colors[5].Width, 0.0);
    EXPECT_EQ(settings.Colors[3].LineColor, 0xFF000000u);
    EXPECT_EQ(settings.Colors[3].FillColor, aciPaletteColor(3, 0));
}

TEST_F(StoreTest, AForcedPaletteIsAnnouncedAndUsedForTheColours) {
    seed("Preferences", "ForcedPalette", dword(3));
    seed("Preferences", "oPalette", dword(0));
    ui.setMainWindow(42);
    transfer.LoadSettings();

    EXPECT_EQ(settings.oPalette, 3);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Warning: Palette will be forced to 3");
    EXPECT_EQ(ui.messages[0].caption, "Quorvex");
    EXPECT_EQ(ui.messages[0].owner, 42u);

    WmfSettings expected;
    expected.oPalette = 3;
    ComputeEquals(expected, PaletteColorSource(expected));
    for (int i = 1; i < kColorCount; ++i) {
        const ColorEntry& row = settings.Colors[std::size_t(i)];
        EXPECT_EQ(row.Equals, expected.Colors[std::size_t(i)].Equals) << "row " << i;
        EXPECT_EQ(row.LineColor, aciPaletteColor(i, 3)) << "row " << i;
    }
    // Palette 3 differs from palette 0 in its primaries, so the rows tell which one was used.
    EXPECT_NE(aciPaletteColor(14, 3), aciPaletteColor(14, 0));

    // Every start shows it again.
    transfer.LoadSettings();
    EXPECT_EQ(ui.messages.size(), 2u);
}

TEST_F(StoreTest, StatisticsAndSplashAreReadAtStart) {
    seed("Statistics", "Jobs", dword(17));
    seed("Statistics", "Since", dword(-2));
    seed("V7,00,0,0", "ShowSplash", dword(5));
    seed("V7,10,0,0", "ShowSplash", dword(0));
    transfer.LoadSettings();
    EXPECT_EQ(settings.Jobs, 17);
    EXPECT_EQ(settings.Since, -2);  // widened with its sign
    EXPECT_EQ(settings.ShowSplash, 5);
}

TEST_F(StoreTest, AnUnsetStartIsNowAndIsWrittenAtTheNextSave) {
    seed("Statistics", "Since", dword(0));
    const std::int64_t before = nowSeconds();
    transfer.LoadSettings();
    const std::int64_t after = nowSeconds();
    ASSERT_GE(settings.Since, before);
    ASSERT_LE(settings.Since, after);
    ASSERT_TRUE(transfer.SaveSettings());
    EXPECT_EQ(stored("Statistics", "Since"), RegValue::fromDword(std::uint32_t(settings.Since)));
}

struct CorrectionCase {
    ProgramKind program;
    std::int32_t widthoptions;
};

class StartupCorrectionsOnLoad : public testing::TestWithParam<CorrectionCase> {};

TEST_P(StartupCorrectionsOnLoad, FollowTheProgram) {
    test::TempDir dir;
    platform::Registry registry(dir / "registry.reg");
    ASSERT_TRUE(registry.update([](RegistryHive& hive) {
        hive.set(kRoot + "\\Options", "Widthoptions", RegValue::fromDword(3));
        hive.set(kRoot + "\\Options", "Filledoptions", RegValue::fromDword(1));
        return true;
    }));
    platform::RecordingUserInterface ui;
    SettingsStore store(registry, ui);
    WmfSettings settings;
    PaletteColorSource colors(settings);
    SettingsTransfer transfer(settings, colors, store, ProgramInfo::of(GetParam().program));
    transfer.LoadSettings();
    EXPECT_EQ(settings.Widthoptions, GetParam().widthoptions);
    EXPECT_EQ(settings.Filledoptions, 0);
}

INSTANTIATE_TEST_SUITE_P(Programs, StartupCorrectionsOnLoad,
                         testing::Values(CorrectionCase{ProgramKind::Plugin, 3},
                                         CorrectionCase{ProgramKind::Tray, 0},
                                         CorrectionCase{ProgramKind::CommandLine, 0}));

// ---------------------------------------------------------------------------------------------
// Saving

class SaveByProgram : public testing::TestWithParam<ProgramKind> {};

TEST_P(SaveByProgram, TheFirstSaveCreatesEveryKeyWithTheProgramsIdentity) {
    test::TempDir dir;
    platform::Registry registry(dir / "sub" / "registry.reg");
    platform::RecordingUserInterface ui;
    SettingsStore store(registry, ui);
    WmfSettings settings;
    PaletteColorSource colors(settings);
    const ProgramInfo& program = ProgramInfo::of(GetParam());
    SettingsTransfer transfer(settings, colors, store, program);
    settings.Jobs = -3;
    settings.Since = 0x123456789LL;
    settings.ShowSplash = 0;
    ASSERT_TRUE(transfer.SaveSettings());

    const RegistryHive hive = registry.read();
    for (const char* key : {"Quorvex", "Options", "Preferences", "Options\\Width",
                            "Options\\LineColor", "Options\\FillColor", "Statistics"}) {
        EXPECT_TRUE(hive.hasKey(kRoot + "\\" + key)) << key;
    }
    const std::string versionKey = kRoot + "\\" + std::string(program.versionKey);
    EXPECT_EQ(hive.get(kRoot + "\\Quorvex", "Program Type"),
              RegValue::fromText(std::string(program.fileName)));
    EXPECT_EQ(hive.get(kRoot + "\\Quorvex", "Program Version"),
              RegValue::fromText(std::string(program.version)));
    const auto written = hive.get(kRoot + "\\Quorvex", "Settings written");
    ASSERT_TRUE(written);
    EXPECT_TRUE(std::regex_match(
        written->text, std::regex("[0-9]{4}-(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec)-"
                                  "[0-3][0-9]")))
        << written->text;
    EXPECT_EQ(hive.get(kRoot + "\\Statistics", "Jobs"), RegValue::fromDword(0xFFFFFFFD));
    EXPECT_EQ(hive.get(kRoot + "\\Statistics", "Since"), RegValue::fromDword(0x23456789));
    EXPECT_EQ(hive.get(versionKey, "ShowSplash"), RegValue::fromDword(0));

    // And the next start reads the statistics back.
    WmfSettings loaded;
    PaletteColorSource loadedColors(loaded);
    SettingsTransfer reader(loaded, loadedColors, store, program);
    reader.LoadSettings();
    EXPECT_EQ(loaded.Jobs, -3);
    EXPECT_EQ(loaded.Since, 0x23456789);
    EXPECT_EQ(loaded.ShowSplash, 0);
    EXPECT_TRUE(ui.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Programs, SaveByProgram,
                         testing::Values(ProgramKind::Plugin, ProgramKind::Tray,
                                         ProgramKind::CommandLine));

struct DateCase {
    int year, month, day;
    const char* text;
};

class WrittenDates : public testing::TestWithParam<DateCase> {};

TEST_P(WrittenDates, UseEnglishMonthNames) {
    std::tm date{};
    date.tm_year = GetParam().year - 1900;
    date.tm_mon = GetParam().month - 1;
    date.tm_mday = GetParam().day;
    EXPECT_EQ(settingsWrittenDate(date), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Dates, WrittenDates,
                         testing::Values(DateCase{2014, 5, 1, "2014-May-01"},
                                         DateCase{1999, 12, 31, "1999-Dec-31"},
                                         DateCase{2026, 1, 9, "2026-Jan-09"},
                                         DateCase{2020, 9, 15, "2020-Sep-15"}));

TEST_F(StoreTest, LinesAndValuesWeDoNotOwnSurviveASave) {
    writeText(hivePath,
              "Windows Registry Editor Version 5.00\r\n"
              "\r\n"
              "; kept by hand\r\n"
              "[HKEY_CURRENT_USER\\Software\\Talmund\\Quorvex\\Options]\r\n"
              "\"Crop\"=dword:00000000\r\n"
              "\"Binary\"=hex:01,02,03\r\n"
              "\"Mine\"=\"hello\"\r\n"
              "this line means nothing\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n"
              "\"Foreign\"=dword:00000007\r\n");
    transfer.LoadSettings();
    EXPECT_EQ(settings.Crop, 0);
    settings.Crop = 1;
    ASSERT_TRUE(transfer.SaveSettings());

    const std::string after = readText(hivePath);
    for (const char* line : {"; kept by hand", "\"Binary\"=hex:01,02,03", "\"Mine\"=\"hello\"",
                             "this line means nothing", "[HKEY_LOCAL_MACHINE\\Software\\Other]",
                             "\"Foreign\"=dword:00000007", "\"Crop\"=dword:00000001"}) {
        EXPECT_NE(after.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(after.find("\"Crop\"=dword:00000000"), std::string::npos);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(StoreTest, ADamagedHiveIsKeptAsideAndReportedOnce) {
    const std::string junk("\x01\x02\x00\x7F binary", 11);
    writeText(hivePath, junk);
    settings.Crop = 0;
    transfer.LoadSettings();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, "Quorvex error");
    EXPECT_NE(ui.messages[0].text.find(hivePath.string()), std::string::npos);
    EXPECT_EQ(settings.Crop, 1);  // the defaults

    std::vector<fs::path> aside;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        if (entry.path().filename().string().rfind("registry.reg.damaged-", 0) == 0) {
            aside.push_back(entry.path());
        }
    }
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(readText(aside[0]), junk);
    EXPECT_NE(ui.messages[0].text.find(aside[0].filename().string()), std::string::npos);

    ASSERT_TRUE(transfer.SaveSettings());
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(stored("Options", "Crop"), RegValue::fromDword(1));
}

TEST_F(StoreTest, ADamagedHiveFoundWhileSavingIsReportedToo) {
    writeText(hivePath, std::string("\0\0\0", 3));
    ASSERT_TRUE(transfer.SaveSettings());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find(hivePath.string()), std::string::npos);
    EXPECT_EQ(stored("Quorvex", "Program Type"), RegValue::fromText("Qtray.exe"));
}

// ---------------------------------------------------------------------------------------------
// Setting single values by name

struct OptionCase {
    const char* name;
    bool real;
    double value;
    bool accepted;
};

void PrintTo(const OptionCase& c, std::ostream* os) {
    *os << (c.real ? "SetRealOption(" : "SetIntOption(") << c.name << ", " << c.value << ")";
}

class SetOptions : public StoreTest, public testing::WithParamInterface<OptionCase> {};

// The field the name stands for, found without regard to case, as a double.
double fieldValue(const WmfSettings& s, const char* name) {
    if (const IntSettingInfo* info = findIntSetting(name)) return s.*(info->member);
    if (const RealSettingInfo* info = findRealSetting(name)) return s.*(info->member);
    return NAN;
}

TEST_P(SetOptions, ChangeOnlyAcceptedValuesOfTheRightKind) {
    const OptionCase& c = GetParam();
    settings.Rotation = 180;
    settings.Margin = 2.5;
    settings.Percentage = 80.0;
    const WmfSettings before = settings;
    const bool ok = c.real ? transfer.SetRealOption(c.name, c.value)
                           : transfer.SetIntOption(c.name, std::int32_t(c.value));
    EXPECT_EQ(ok, c.accepted);
    const double now = fieldValue(settings, c.name);
    if (c.accepted) {
        EXPECT_EQ(now, c.value);
    } else if (!std::isnan(now)) {
        EXPECT_EQ(now, fieldValue(before, c.name));
    }
    // Nothing is saved.
    EXPECT_FALSE(fs::exists(hivePath));
}

INSTANTIATE_TEST_SUITE_P(
    Names, SetOptions,
    testing::Values(
        OptionCase{"rotation", false, 90, true}, OptionCase{"Rotation", false, 45, false},
        OptionCase{"Margin", false, 1, false}, OptionCase{"Margin", true, 1.0, true},
        OptionCase{"Percentage", true, 0.0, false}, OptionCase{"Margin", true, 0.0, true},
        OptionCase{"MARGIN", true, -0.5, false}, OptionCase{"FORCEDPALETTE", false, -1, true},
        OptionCase{"ForcedPalette", false, -2, false}, OptionCase{"opalette", false, 8, true},
        OptionCase{"oPalette", false, 9, false}, OptionCase{"Crop", false, 2, false},
        OptionCase{"Crop", true, 0.0, false}, OptionCase{"wmfscale", true, NAN, false},
        OptionCase{"NoSuchSetting", false, 1, false}, OptionCase{"Rotation", false, 270, true}));

TEST_F(StoreTest, SetByNameThroughTheTransferFunctions) {
    EXPECT_TRUE(transfer.TransferIntSettings(TransferMode::SetByName, "AutoModify", 3));
    EXPECT_EQ(settings.AutoModify, 3);
    EXPECT_TRUE(transfer.TransferRealSettings(TransferMode::SetByName, "PictureHeight", 4.5));
    EXPECT_EQ(settings.PictureHeight, 4.5);
}

// ---------------------------------------------------------------------------------------------
// Statistics of the command-line tool

TEST_F(StoreTest, JobsAddUpAcrossProcessesAndNothingElseIsWritten) {
    seed("Statistics", "Jobs", dword(5));
    seed("Options", "Crop", dword(0));
    const std::string before = readText(hivePath);

    constexpr int kChildren = 2;
    constexpr int kRounds = 25;
    std::vector<pid_t> children;
    for (int c = 0; c < kChildren; ++c) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            platform::Registry own(hivePath);
            platform::RecordingUserInterface quiet;
            SettingsStore childStore(own, quiet);
            bool ok = true;
            for (int i = 0; i < kRounds; ++i) ok = childStore.AddJobsToStatistics(2) && ok;
            ::_exit(ok && quiet.messages.empty() ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(stored("Statistics", "Jobs"), dword(5 + kChildren * kRounds * 2));

    // The same file apart from the one value.
    std::string expected = before;
    const std::string oldLine = "\"Jobs\"=dword:00000005";
    ASSERT_NE(expected.find(oldLine), std::string::npos);
    expected.replace(expected.find(oldLine), oldLine.size(), "\"Jobs\"=dword:00000069");
    EXPECT_EQ(readText(hivePath), expected);
}

TEST_F(StoreTest, JobsStartFromZeroWhenNoneAreStored) {
    seed("Statistics", "Jobs", text("12"));  // not a DWORD: counts as missing
    EXPECT_TRUE(store.AddJobsToStatistics(3));
    EXPECT_EQ(stored("Statistics", "Jobs"), dword(3));
}

}  // namespace
}  // namespace qv
