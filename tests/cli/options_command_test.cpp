// quorvex options and the stored settings: the listing, setting by name,
// option files saved and loaded, the hive as the programs keep it, and
// improve runs that start from the stored settings and count their pictures.
// Every test has a settings folder of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <ctime>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "cli/cli_helpers.h"
#include "cli/run_program.h"
#include "cli/settings_helpers.h"
#include "support/test_support.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// Every setting with its default as the listing and the files write it, the
// values it accepts as the listing words them, and the key that holds it.
// Integers in the order the stores visit them, then the reals.
struct Default {
    std::string name;
    std::string value;
    std::string accepts;
    std::string subkey;  // empty: not in the registry's option keys
    bool real = false;
};

const std::vector<Default>& defaults() {
    static const std::vector<Default> table = {
        {"Crop", "1", "0, 1", "Options"},
        {"Tilemode", "1", "0, 1", "Options"},
        {"Paperlast", "1", "0, 1", "Options"},
        {"LeaveMargin", "1", "0, 1", "Options"},
        {"RemoveBackground", "1", "0, 1", "Options"},
        {"WhiteBlack", "1", "0, 1", "Options"},
        {"RemoveLines", "0", "0, 1", "Options"},
        {"MakeBlack", "0", "0, 1", "Options"},
        {"Lineoptions", "0", "0..3", "Options"},
        {"Filledoptions", "0", "0..3", "Options"},
        {"Widthoptions", "0", "0..3", "Options"},
        {"Outlinestoo", "0", "0, 1", "Options"},
        {"Rotation", "0", "0, 90, 180, 270", "Options"},
        {"IsMetric", "0", "0, 1", "Preferences"},
        {"AskTilemode", "1", "0, 1", "Preferences"},
        {"ReplaceCopyclip", "0", "0, 1", "Preferences"},
        {"Tooltip", "1", "0, 1", "Preferences"},
        {"PopupSaveas", "0", "0, 1", "Preferences"},
        {"StartWithOptions", "1", "0, 1", "Preferences"},
        {"AutoModify", "1", "0..3", "Preferences"},
        {"oPalette", "0", "0..8", "Preferences"},
        {"ForcedPalette", "-1", "-1..8", "Preferences"},
        {"ShowSplash", "1", "any", ""},
        {"Margin", "0.500000", "a number >= 0", "Options", true},
        {"FixedWidth", "0.010000", "a number >= 0", "Options", true},
        {"Percentage", "100.000000", "a number > 0", "Options", true},
        {"PictureWidth", "6.000000", "a number > 0", "Options", true},
        {"PictureHeight", "9.000000", "a number > 0", "Options", true},
        {"WMFScale", "1.000000", "a number > 0", "Options", true},
        {"DrawingScale", "1.000000", "a number > 0", "Options", true},
    };
    return table;
}

// The names of one option-file section in the order a new file has them.
Strings namesIn(const std::string& subkey, bool reals) {
    Strings names;
    for (const auto& d : defaults())
        if (d.subkey == subkey && d.real == reals) names.push_back(d.name);
    return names;
}

Strings colorNames() {
    Strings names;
    for (int i = 1; i < 256; ++i) names.push_back("Color" + std::to_string(i));
    return names;
}

Strings concat(Strings a, const Strings& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string dword(uint32_t v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "dword:%08" PRIx32, v);
    return buf;
}

std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}

std::string signedText(uint32_t colorRef) {
    return std::to_string(int32_t(colorRef));
}

void expectExit(const ProgramResult& r, int code) {
    ASSERT_TRUE(r.exited) << r.describe();
    EXPECT_EQ(r.exitCode, code) << r.describe();
}

// A run that must succeed without a word on standard error.
void expectClean(const ProgramResult& r) {
    expectExit(r, 0);
    EXPECT_EQ(r.err, "");
}

SettingsListing listingOf(const ConfigHome& home) {
    ProgramResult r = home.run({"options"});
    EXPECT_TRUE(r.exited && r.exitCode == 0) << r.describe();
    return parseListing(r.out);
}

std::vector<ColorLine> colorsOf(const ConfigHome& home) {
    ProgramResult r = home.run({"options", "--colors"});
    EXPECT_TRUE(r.exited && r.exitCode == 0) << r.describe();
    std::vector<ColorLine> rows = parseColors(r.out);
    EXPECT_EQ(rows.size(), 255u);
    return rows;
}

// The colour table of a settings folder that holds nothing.
const std::vector<ColorLine>& defaultColors() {
    static const std::vector<ColorLine> rows = [] {
        ConfigHome empty;
        return colorsOf(empty);
    }();
    return rows;
}

// Every setting but those named in `changed` still has its default.
void expectDefaultsExcept(const SettingsListing& l,
                          const std::map<std::string, std::string>& changed) {
    for (const auto& d : defaults()) {
        auto it = changed.find(d.name);
        EXPECT_EQ(l.value(d.name), it == changed.end() ? d.value : it->second) << d.name;
    }
}

void expectSameColor(const ColorLine& got, const ColorLine& want) {
    EXPECT_EQ(got.index, want.index);
    EXPECT_EQ(got.width, want.width) << "Color" << want.index;
    EXPECT_EQ(got.line, want.line) << "Color" << want.index;
    EXPECT_EQ(got.fill, want.fill) << "Color" << want.index;
    EXPECT_EQ(got.equals, want.equals) << "Color" << want.index;
}

ProgramResult setOptions(const ConfigHome& home, const Strings& pairs) {
    return home.run(concat({"options", "set"}, pairs));
}

// Stores settings the test depends on; the run must succeed.
void store(const ConfigHome& home, const Strings& pairs) {
    ProgramResult r = setOptions(home, pairs);
    ASSERT_TRUE(r.exited && r.exitCode == 0) << r.describe();
}

void loadOptionFile(const ConfigHome& home, const fs::path& file) {
    ProgramResult r = home.run({"options", "load", file.string()});
    expectClean(r);
    EXPECT_EQ(r.out, "loaded " + file.string() + "\n");
}

// "Settings written": today as "%Y-%b-%d" with English month names.
std::string todayText() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%b-%d", &local);
    return buf;
}

// ---------------------------------------------------------------------------
// The listing

TEST(OptionsList, AnEmptyConfigurationListsEveryDefault) {
    ConfigHome home;
    const long long before = std::time(nullptr);
    ProgramResult r = home.run({"options"});
    const long long after = std::time(nullptr);
    expectClean(r);
    SettingsListing l = parseListing(r.out);
    EXPECT_EQ(l.settings.size(), defaults().size());
    for (const auto& d : defaults()) {
        SCOPED_TRACE(d.name);
        auto it = l.settings.find(d.name);
        ASSERT_NE(it, l.settings.end()) << r.out;
        EXPECT_EQ(l.lineCount[d.name], 1);
        EXPECT_EQ(it->second.value, d.value);
        EXPECT_EQ(it->second.defaultValue, d.value);
        EXPECT_EQ(it->second.accepts, d.accepts);
    }
    EXPECT_EQ(l.jobs, 0);
    // Counting starts now when nothing was counted before.
    ASSERT_TRUE(l.since);
    EXPECT_GE(*l.since, before);
    EXPECT_LE(*l.since, after);
    EXPECT_FALSE(fs::exists(home.folder())) << "showing the settings stores nothing";
}

TEST(OptionsList, ColorsListTheDefaultTable) {
    ConfigHome home;
    ProgramResult r = home.run({"options", "--colors"});
    expectClean(r);
    std::vector<ColorLine> rows = parseColors(r.out);
    ASSERT_EQ(rows.size(), 255u);
    const std::map<int, uint32_t> known = {
        {1, 0x0000FF}, {2, 0x00FFFF}, {3, 0x00FF00}, {4, 0xFFFF00},  {5, 0xFF0000},  {6, 0xFF00FF},
        {7, 0xFFFFFF}, {8, 0x868686}, {9, 0xBBBBBB}, {10, 0x0000FF}, {250, 0x333333}};
    int notPrimary = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        const ColorLine& c = rows[i];
        SCOPED_TRACE("Color" + std::to_string(i + 1));
        EXPECT_EQ(c.index, int(i + 1));
        EXPECT_EQ(c.width, "0.010000");
        EXPECT_EQ(c.unit, "in");
        EXPECT_EQ(c.line, c.fill);
        if (auto k = known.find(c.index); k != known.end()) {
            EXPECT_EQ(c.line, k->second);
        }
        // Equals: the lowest row of the same colour.
        int lowest = c.index;
        for (size_t j = 0; j < i; ++j)
            if (rows[j].line == c.line) {
                lowest = rows[j].index;
                break;
            }
        EXPECT_EQ(c.equals, lowest);
        notPrimary += c.equals != c.index;
    }
    EXPECT_EQ(notPrimary, 114);
    EXPECT_EQ(rows[254].equals, 7);
    EXPECT_EQ(rows[251].equals, 8);
    EXPECT_EQ(rows[249].equals, 19);
    EXPECT_EQ(rows[9].equals, 1);
}

// ---------------------------------------------------------------------------
// options set

struct AcceptedSet {
    Strings pairs;
    std::string setting;  // as listed
    std::string shown;
    std::string subkey;
    std::string stored;  // the hive's text right of '='
};

TEST(OptionsSet, AcceptedValuesAreSavedAndSeenByTheNextProcess) {
    const std::vector<AcceptedSet> cases = {
        {{"rotation", "90"}, "Rotation", "90", "Options", "dword:0000005a"},
        {{"ROTATION", "270"}, "Rotation", "270", "Options", "dword:0000010e"},
        {{"Crop", "0"}, "Crop", "0", "Options", "dword:00000000"},
        {{"lineOPTIONS", "3"}, "Lineoptions", "3", "Options", "dword:00000003"},
        {{"Widthoptions", "2"}, "Widthoptions", "2", "Options", "dword:00000002"},
        {{"ismetric", "1"}, "IsMetric", "1", "Preferences", "dword:00000001"},
        {{"OPALETTE", "8"}, "oPalette", "8", "Preferences", "dword:00000008"},
        {{"AutoModify", "0"}, "AutoModify", "0", "Preferences", "dword:00000000"},
        // An integer given to a real setting is taken as a real.
        {{"Margin", "2"}, "Margin", "2.000000", "Options", "\"2.000000\""},
        {{"margin", "0"}, "Margin", "0.000000", "Options", "\"0.000000\""},
        {{"Percentage", "70000"}, "Percentage", "70000.000000", "Options", "\"70000.000000\""},
        {{"FixedWidth", "0.02"}, "FixedWidth", "0.020000", "Options", "\"0.020000\""},
        {{"pictureheight", "2.5"}, "PictureHeight", "2.500000", "Options", "\"2.500000\""},
        {{"DrawingScale", "1e3"}, "DrawingScale", "1000.000000", "Options", "\"1000.000000\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.pairs));
        ConfigHome home;
        ProgramResult r = setOptions(home, c.pairs);
        expectClean(r);
        Strings lines = splitLines(r.out);
        ASSERT_EQ(lines.size(), 1u) << r.out;
        const std::string tail = " " + c.shown;
        EXPECT_TRUE(lines[0].size() > tail.size() &&
                    lines[0].compare(lines[0].size() - tail.size(), tail.size(), tail) == 0)
            << lines[0];
        EXPECT_EQ(storedValue(home.hiveText(), c.subkey, c.setting), c.stored);
        expectDefaultsExcept(listingOf(home), {{c.setting, c.shown}});
    }
}

TEST(OptionsSet, SeveralPairsAreSavedTogether) {
    ConfigHome home;
    expectClean(
        setOptions(home, {"Crop", "0", "Rotation", "180", "Margin", "1.5", "IsMetric", "1"}));
    const std::string hive = home.hiveText();
    EXPECT_EQ(storedValue(hive, "Options", "Crop"), "dword:00000000");
    EXPECT_EQ(storedValue(hive, "Options", "Rotation"), "dword:000000b4");
    EXPECT_EQ(storedValue(hive, "Options", "Margin"), "\"1.500000\"");
    EXPECT_EQ(storedValue(hive, "Preferences", "IsMetric"), "dword:00000001");
    expectDefaultsExcept(
        listingOf(home),
        {{"Crop", "0"}, {"Rotation", "180"}, {"Margin", "1.500000"}, {"IsMetric", "1"}});
    // A later set keeps what the earlier one stored.
    expectClean(setOptions(home, {"Tilemode", "0"}));
    expectDefaultsExcept(listingOf(home), {{"Crop", "0"},
                                           {"Rotation", "180"},
                                           {"Margin", "1.500000"},
                                           {"IsMetric", "1"},
                                           {"Tilemode", "0"}});
}

TEST(OptionsSet, TheFirstSaveWritesEveryStoredValue) {
    ConfigHome home;
    const long long before = std::time(nullptr);
    const std::string dayBefore = todayText();
    expectClean(setOptions(home, {"Rotation", "90"}));
    const std::string dayAfter = todayText();
    const long long after = std::time(nullptr);
    const std::string hive = home.hiveText();
    ASSERT_EQ(hive.rfind(kHiveHeader, 0), 0u) << hive.substr(0, 200);
    for (const auto& d : defaults()) {
        if (d.subkey.empty()) continue;
        SCOPED_TRACE(d.name);
        std::string want = d.real ? quoted(d.value) : dword(uint32_t(std::stol(d.value)));
        if (d.name == "Rotation") want = "dword:0000005a";
        EXPECT_EQ(storedValue(hive, d.subkey, d.name), want);
    }
    EXPECT_EQ(storedValue(hive, "Preferences", "ForcedPalette"), "dword:ffffffff");
    const std::vector<ColorLine>& colors = defaultColors();
    ASSERT_EQ(colors.size(), 255u);
    for (const auto& c : colors) {
        const std::string name = "Color" + std::to_string(c.index);
        SCOPED_TRACE(name);
        EXPECT_EQ(storedValue(hive, "Options\\Width", name), "\"0.010000\"");
        EXPECT_EQ(storedValue(hive, "Options\\LineColor", name), dword(c.line));
        EXPECT_EQ(storedValue(hive, "Options\\FillColor", name), dword(c.fill));
    }
    EXPECT_EQ(storedValue(hive, "Statistics", "Jobs"), "dword:00000000");
    std::optional<std::string> since = storedValue(hive, "Statistics", "Since");
    ASSERT_TRUE(since && since->rfind("dword:", 0) == 0) << since.value_or("(none)");
    const long long sinceValue = std::stoll(since->substr(6), nullptr, 16);
    EXPECT_GE(sinceValue, before);
    EXPECT_LE(sinceValue, after);
    const std::string written = storedValue(hive, "Quorvex", "Settings written").value_or("");
    EXPECT_TRUE(written == quoted(dayBefore) || written == quoted(dayAfter)) << written;
    EXPECT_TRUE(storedValue(hive, "Quorvex", "Program Type"));
    EXPECT_TRUE(storedValue(hive, "Quorvex", "Program Version"));
    EXPECT_EQ(listingOf(home).since, sinceValue) << "the next start keeps counting from then";
}

struct RefusedSet {
    Strings pairs;
    std::string says;
};

TEST(OptionsSet, ARefusedValueSavesNothing) {
    const std::vector<RefusedSet> cases = {
        {{"Rotation", "45"}, "Rotation takes 0, 90, 180, 270"},
        {{"rotation", "-90"}, "Rotation takes 0, 90, 180, 270"},
        {{"Lineoptions", "4"}, "Lineoptions takes 0..3"},
        {{"AutoModify", "-1"}, "AutoModify takes 0..3"},
        {{"ForcedPalette", "9"}, "ForcedPalette takes -1..8"},
        {{"ForcedPalette", "-2"}, "ForcedPalette takes -1..8"},
        {{"oPalette", "9"}, "oPalette takes 0..8"},
        {{"Crop", "2"}, "Crop takes 0, 1"},
        {{"IsMetric", "ninety"}, "IsMetric takes 0, 1"},
        // A real is not taken by an integer setting.
        {{"Crop", "1.0"}, "Crop takes 0, 1"},
        {{"Rotation", "90.0"}, "Rotation takes 0, 90, 180, 270"},
        {{"Percentage", "0"}, "Percentage takes a number > 0"},
        {{"PictureWidth", "-0.5"}, "PictureWidth takes a number > 0"},
        {{"Margin", "-1"}, "Margin takes a number >= 0"},
        {{"FixedWidth", "wide"}, "FixedWidth takes a number >= 0"},
        {{"WMFScale", "nan"}, "WMFScale takes a number > 0"},
        {{"Margin", ""}, "Margin takes a number >= 0"},
        {{"NoSuchSetting", "1"}, "no setting 'NoSuchSetting'"},
        {{"ShowSplash", "0"}, "no setting 'ShowSplash'"},
        {{"Jobs", "5"}, "no setting 'Jobs'"},
        {{"Color1", "0.5"}, "no setting 'Color1'"},
        // Pairs that would be taken are not saved either, before or after it.
        {{"Crop", "0", "Margin", "2", "Rotation", "45"}, "Rotation takes 0, 90, 180, 270"},
        {{"Crop", "0", "Percentage", "0", "Rotation", "90"}, "Percentage takes a number > 0"},
    };
    ConfigHome home;
    store(home, {"Margin", "1", "Tilemode", "0"});
    const std::string hive = home.hiveText();
    const Strings files = folderListing(home.folder());
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.pairs));
        ProgramResult r = setOptions(home, c.pairs);
        expectExit(r, 2);
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("usage: quorvex options"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(home.hiveText(), hive);
        EXPECT_EQ(folderListing(home.folder()), files);
    }
    expectDefaultsExcept(listingOf(home), {{"Margin", "1.000000"}, {"Tilemode", "0"}});

    // Without stored settings a refused set leaves no hive behind.
    ConfigHome fresh;
    expectExit(setOptions(fresh, {"Crop", "0", "Rotation", "45"}), 2);
    EXPECT_FALSE(fresh.hasHive());
}

// ---------------------------------------------------------------------------
// options save

TEST(OptionsSave, AddsTheExtensionOnlyWhenItIsMissing) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"plain", "plain.qw3"},         {"upper.QW3", "upper.QW3"},
        {"lower.qw3", "lower.qw3"},     {"mixed.Qw3", "mixed.Qw3"},
        {"other.txt", "other.txt.qw3"}, {"kept.qw3.bak", "kept.qw3.bak.qw3"},
    };
    ConfigHome home;
    TempDir dir;
    Strings expected;
    for (const auto& [given, written] : cases) {
        SCOPED_TRACE(given);
        ProgramResult r = home.run({"options", "save", (dir / given).string()});
        expectClean(r);
        EXPECT_EQ(r.out, "saved " + (dir / written).string() + "\n");
        EXPECT_TRUE(fs::is_regular_file(dir / written));
        expected.push_back(written);
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folderListing(dir.path()), expected);
}

TEST(OptionsSave, WritesTheSectionsInTheirOrderWithEveryValue) {
    ConfigHome home;
    TempDir dir;
    const fs::path file = dir / "defaults.qw3";
    const std::string dayBefore = todayText();
    expectClean(home.run({"options", "save", file.string()}));
    const std::string dayAfter = todayText();
    const std::string text = readText(file);
    const std::vector<IniSection> ini = parseIni(text);
    EXPECT_EQ(sectionNames(ini), (Strings{"Quorvex", "Options", "Preferences", "Options\\Width",
                                          "Options\\LineColor", "Options\\FillColor"}));
    ASSERT_EQ(ini.size(), 6u);
    EXPECT_EQ(keysOf(ini[0]), (Strings{"Program Type", "Program Version", "Settings written"}));
    const std::string written = iniValue(ini, "Quorvex", "Settings written").value_or("");
    EXPECT_TRUE(written == dayBefore || written == dayAfter) << written;
    EXPECT_EQ(keysOf(ini[1]), concat(namesIn("Options", false), namesIn("Options", true)));
    EXPECT_EQ(keysOf(ini[2]), namesIn("Preferences", false));
    for (const auto& d : defaults()) {
        if (d.subkey.empty()) continue;
        EXPECT_EQ(iniValue(ini, d.subkey, d.name), d.value) << d.name;
    }
    for (size_t s = 3; s < 6; ++s) EXPECT_EQ(keysOf(ini[s]), colorNames()) << ini[s].name;
    const std::vector<ColorLine>& colors = defaultColors();
    ASSERT_EQ(colors.size(), 255u);
    for (const auto& c : colors) {
        const std::string name = "Color" + std::to_string(c.index);
        EXPECT_EQ(iniValue(ini, "Options\\Width", name), "0.010000") << name;
        EXPECT_EQ(iniValue(ini, "Options\\LineColor", name), signedText(c.line)) << name;
        EXPECT_EQ(iniValue(ini, "Options\\FillColor", name), signedText(c.fill)) << name;
    }
    // Line ends are the file's own business; the lines are not.
    Strings lines = splitLines(text);
    for (auto& l : lines)
        if (!l.empty() && l.back() == '\r') l.pop_back();
    for (const char* line :
         {"Crop=1", "Margin=0.500000", "ForcedPalette=-1", "Color7=16777215", "Color1=255"})
        EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line;
    for (const char* absent : {"Jobs", "Since", "ShowSplash", "ColorOnly", "Statistics"})
        EXPECT_EQ(text.find(absent), std::string::npos) << absent;
}

TEST(OptionsSave, SavesTheStoredSettingsAndLeavesThemAlone) {
    ConfigHome home;
    store(home, {"Crop", "0", "Margin", "2", "IsMetric", "1"});
    const std::string hive = home.hiveText();
    TempDir dir;
    const fs::path file = dir / "mine.qw3";
    expectClean(home.run({"options", "save", file.string()}));
    const std::vector<IniSection> ini = parseIni(readText(file));
    EXPECT_EQ(iniValue(ini, "Options", "Crop"), "0");
    EXPECT_EQ(iniValue(ini, "Options", "Margin"), "2.000000");
    EXPECT_EQ(iniValue(ini, "Preferences", "IsMetric"), "1");
    EXPECT_EQ(iniValue(ini, "Options", "Rotation"), "0");
    EXPECT_EQ(home.hiveText(), hive) << "saving an option file does not touch the hive";
}

TEST(OptionsSave, KeepsTheLinesOfAFileItSavesOver) {
    ConfigHome home;
    store(home, {"Crop", "0"});
    TempDir dir;
    const fs::path file = dir / "old.qw3";
    writeText(file,
              "; my notes\n[Quorvex]\nColorOnly=1\n[Options]\nCrop=7\nMyKey=x\n[Mine]\na=b\n");
    expectClean(home.run({"options", "save", file.string()}));
    const std::string text = readText(file);
    const std::vector<IniSection> ini = parseIni(text);
    EXPECT_EQ(text.rfind("; my notes", 0), 0u) << text.substr(0, 100);
    // Sections the file lacked come after the ones it had.
    EXPECT_EQ(sectionNames(ini),
              (Strings{"Quorvex", "Options", "Mine", "Preferences", "Options\\Width",
                       "Options\\LineColor", "Options\\FillColor"}));
    ASSERT_GE(ini.size(), 3u);
    EXPECT_EQ(keysOf(ini[0]),
              (Strings{"ColorOnly", "Program Type", "Program Version", "Settings written"}));
    EXPECT_EQ(iniValue(ini, "Quorvex", "ColorOnly"), "1");
    // A value the file had is replaced where it stands; a missing one goes to
    // the end of its section.
    const Strings options = keysOf(ini[1]);
    ASSERT_GE(options.size(), 2u);
    EXPECT_EQ(options[0], "Crop");
    EXPECT_EQ(options[1], "MyKey");
    EXPECT_EQ(std::count(options.begin(), options.end(), "Crop"), 1);
    EXPECT_EQ(options.size(), 21u);
    EXPECT_EQ(iniValue(ini, "Options", "Crop"), "0");
    EXPECT_EQ(iniValue(ini, "Options", "MyKey"), "x");
    EXPECT_EQ(iniValue(ini, "Mine", "a"), "b");

    // The file still loads colours only: its Crop=0 is not taken.
    store(home, {"Crop", "1"});
    loadOptionFile(home, file);
    EXPECT_EQ(listingOf(home).value("Crop"), "1");
}

TEST(OptionsSave, AFileThatCannotBeWrittenGivesOneMessageAndNoFile) {
    TempDir dir;
    fs::create_directory(dir / "taken.qw3");
    const std::vector<std::pair<std::string, fs::path>> cases = {
        {(dir / "no" / "such" / "opts").string(), dir / "no" / "such" / "opts.qw3"},
        {(dir / "taken").string(), dir / "taken.qw3"},
        {(dir / "taken.qw3").string(), dir / "taken.qw3"},
    };
    ConfigHome home;
    for (const auto& [given, path] : cases) {
        SCOPED_TRACE(given);
        ProgramResult r = home.run({"options", "save", given});
        expectExit(r, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(countOf(r.err, "Unable to write"), 1u) << r.err;
        EXPECT_NE(r.err.find("Unable to write " + path.string() + ":"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(dir / "no"));
    EXPECT_TRUE(fs::is_directory(dir / "taken.qw3"));
    EXPECT_TRUE(folderListing(dir / "taken.qw3").empty());
    EXPECT_EQ(folderListing(dir.path()), Strings{"taken.qw3"});
}

// ---------------------------------------------------------------------------
// options load

// A file that changes settings and colours away from their defaults.
const char* kCustomFile =
    "[Options]\nCrop=0\nRotation=90\nMargin=2\n"
    "[Preferences]\nIsMetric=1\n"
    "[Options\\Width]\nColor1=0.5\nColor10=0.123\n"
    "[Options\\LineColor]\nColor3=1193046\nColor10=1193046\n"
    "[Options\\FillColor]\nColor4=255\nColor10=-1\n";

TEST(OptionsLoad, AFileWithOnlyCropSetsEverythingElseToItsDefault) {
    ConfigHome home;
    TempDir dir;
    writeText(dir / "custom.qw3", kCustomFile);
    loadOptionFile(home, dir / "custom.qw3");
    ASSERT_EQ(listingOf(home).value("Rotation"), "90");
    ASSERT_EQ(colorsOf(home)[2].line, 0x123456u);

    writeText(dir / "crop.qw3", "[Options]\nCrop=0\n");
    loadOptionFile(home, dir / "crop.qw3");
    expectDefaultsExcept(listingOf(home), {{"Crop", "0"}});
    std::vector<ColorLine> colors = colorsOf(home);
    ASSERT_EQ(colors.size(), 255u);
    for (size_t i = 0; i < colors.size(); ++i) expectSameColor(colors[i], defaultColors()[i]);
    // Saved as the stored settings.
    const std::string hive = home.hiveText();
    EXPECT_EQ(storedValue(hive, "Options", "Crop"), "dword:00000000");
    EXPECT_EQ(storedValue(hive, "Options", "Rotation"), "dword:00000000");
    EXPECT_EQ(storedValue(hive, "Options", "Margin"), "\"0.500000\"");
    EXPECT_EQ(storedValue(hive, "Options\\Width", "Color1"), "\"0.010000\"");
    EXPECT_EQ(storedValue(hive, "Options\\LineColor", "Color3"), dword(0x00FF00));
}

TEST(OptionsLoad, AColorOnlyFileChangesOnlyTheColours) {
    ConfigHome home;
    TempDir dir;
    writeText(dir / "custom.qw3", kCustomFile);
    loadOptionFile(home, dir / "custom.qw3");
    const SettingsListing before = listingOf(home);
    const std::vector<ColorLine> colorsBefore = colorsOf(home);
    ASSERT_EQ(before.value("Crop"), "0");

    writeText(dir / "colors.qw3",
              "[Quorvex]\nColorOnly=1\n"
              "[Options]\nCrop=1\nRotation=0\n"
              "[Preferences]\nIsMetric=0\n"
              "[Options\\Width]\nColor1=0.7\nColor2=0.9\n"
              "[Options\\LineColor]\nColor1=65280\n"
              "[Options\\FillColor]\nColor2=-1\n");
    loadOptionFile(home, dir / "colors.qw3");
    const SettingsListing after = listingOf(home);
    for (const auto& d : defaults()) EXPECT_EQ(after.value(d.name), before.value(d.name)) << d.name;
    std::vector<ColorLine> colors = colorsOf(home);
    ASSERT_EQ(colors.size(), 255u);
    for (size_t i = 0; i < colors.size(); ++i) {
        SCOPED_TRACE("Color" + std::to_string(i + 1));
        // Widths are not loaded; colours the file lacks take their defaults.
        EXPECT_EQ(colors[i].width, colorsBefore[i].width);
        EXPECT_EQ(colors[i].unit, "mm");
        EXPECT_EQ(colors[i].line, i == 0 ? 0x00FF00u : defaultColors()[i].line);
        EXPECT_EQ(colors[i].fill, i == 1 ? 0xFFFFFFFFu : defaultColors()[i].fill);
    }
    EXPECT_EQ(colors[0].width, "0.500000");
    const std::string hive = home.hiveText();
    EXPECT_EQ(storedValue(hive, "Options\\LineColor", "Color1"), "dword:0000ff00");
    EXPECT_EQ(storedValue(hive, "Options\\FillColor", "Color2"), "dword:ffffffff");
    EXPECT_EQ(storedValue(hive, "Options\\Width", "Color2"), "\"0.010000\"");
    EXPECT_EQ(storedValue(hive, "Options", "Crop"), "dword:00000000");
}

struct PlotterCase {
    std::string fileName;
    bool metric;
    std::string width1, width2;  // as listed after the import
};

TEST(OptionsLoad, APlotterFileGivesPenWidthsAndPenNumbers) {
    const std::vector<PlotterCase> cases = {
        {"pens.pc2", false, "0.010000", "0.500000"}, {"pens.pc2", true, "0.254000", "12.700000"},
        {"PENS.PC2", false, "0.010000", "0.500000"}, {"pens.txt", true, "0.254000", "12.700000"},
        {"pens", false, "0.010000", "0.500000"},
    };
    const std::string plotter =
        "[Plotter/Device/WidthTable]\ncolor1=0.010\ncolor2=0,5\ncolor10=0.3\n"
        "[Plotter/Device/PenTable]\ncolor1=7\ncolor2=300\ncolor10=5\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fileName + (c.metric ? " metric" : " inches"));
        ConfigHome home;
        TempDir dir;
        writeText(dir / "custom.qw3", kCustomFile);
        loadOptionFile(home, dir / "custom.qw3");
        store(home, {"IsMetric", c.metric ? "1" : "0"});
        const SettingsListing before = listingOf(home);
        const std::vector<ColorLine> colorsBefore = colorsOf(home);
        ASSERT_EQ(colorsBefore.size(), 255u);

        writeText(dir / c.fileName, plotter);
        loadOptionFile(home, dir / c.fileName);
        const SettingsListing after = listingOf(home);
        for (const auto& d : defaults())
            EXPECT_EQ(after.value(d.name), before.value(d.name)) << d.name;
        std::vector<ColorLine> colors = colorsOf(home);
        ASSERT_EQ(colors.size(), 255u);
        for (size_t i = 0; i < colors.size(); ++i) {
            const ColorLine& got = colors[i];
            SCOPED_TRACE("Color" + std::to_string(got.index));
            EXPECT_EQ(got.unit, c.metric ? "mm" : "in");
            if (got.equals != got.index) {
                expectSameColor(got, colorsBefore[i]);  // rows that are not primary stay
                continue;
            }
            EXPECT_EQ(got.line, defaultColors()[i].line);
            if (got.index == 1) {
                EXPECT_EQ(got.width, c.width1);
                EXPECT_EQ(got.fill, 0x070707u);
            } else if (got.index == 2) {
                EXPECT_EQ(got.width, c.width2);
                EXPECT_EQ(got.fill, 0x2C2C2Cu);  // pen 300: its low 8 bits
            } else {
                EXPECT_EQ(got.width, "0.000000");
                EXPECT_EQ(got.fill, 0u);
            }
        }
        EXPECT_EQ(colors[9].width, "0.123000");
        EXPECT_EQ(storedValue(home.hiveText(), "Options\\Width", "Color1"), quoted(c.width1));
        EXPECT_EQ(storedValue(home.hiveText(), "Options\\FillColor", "Color2"), dword(0x2C2C2C));
    }
}

TEST(OptionsLoad, AMissingFileChangesNothing) {
    ConfigHome home;
    store(home, {"Crop", "0"});
    const std::string hive = home.hiveText();
    TempDir dir;
    fs::create_directory(dir / "folder.qw3");
    for (const fs::path& p : {dir / "missing.qw3", dir / "missing.pc2", dir / "folder.qw3"}) {
        SCOPED_TRACE(p.string());
        ProgramResult r = home.run({"options", "load", p.string()});
        expectExit(r, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(p.string()), std::string::npos) << r.err;
        EXPECT_EQ(home.hiveText(), hive);
    }
}

TEST(OptionsLoad, ASavedFileLoadsBackEverySettingAndColour) {
    ConfigHome first;
    TempDir dir;
    writeText(dir / "custom.qw3", kCustomFile);
    loadOptionFile(first, dir / "custom.qw3");
    store(first, {"Lineoptions", "3", "Percentage", "250"});
    const fs::path saved = dir / "saved.qw3";
    expectClean(first.run({"options", "save", saved.string()}));
    const std::vector<IniSection> ini = parseIni(readText(saved));
    EXPECT_EQ(iniValue(ini, "Options\\FillColor", "Color10"), "-1");
    EXPECT_EQ(iniValue(ini, "Options\\LineColor", "Color3"), "1193046");
    EXPECT_EQ(iniValue(ini, "Options\\Width", "Color10"), "0.123000");
    EXPECT_EQ(iniValue(ini, "Options", "Percentage"), "250.000000");

    ConfigHome second;
    loadOptionFile(second, saved);
    const SettingsListing a = listingOf(first), b = listingOf(second);
    for (const auto& d : defaults()) EXPECT_EQ(b.value(d.name), a.value(d.name)) << d.name;
    const std::vector<ColorLine> ca = colorsOf(first), cb = colorsOf(second);
    ASSERT_EQ(ca.size(), cb.size());
    for (size_t i = 0; i < ca.size(); ++i) expectSameColor(cb[i], ca[i]);
}

// ---------------------------------------------------------------------------
// The hive as the programs keep it

TEST(StoredSettings, LinesWrittenByHandSurviveASave) {
    ConfigHome home;
    const Strings handLines = {
        "; kept by hand",        "[HKEY_CURRENT_USER\\Software\\Other\\App]",
        "\"Keep\"=\"yes\"",      "\"MyOwnValue\"=\"mine\"",
        "\"Blob\"=hex:01,02,03", "\"Counter\"=dword:00000010",
    };
    home.writeHive(std::string(kHiveHeader) + "\n\n" + handLines[0] + "\n" + handLines[1] + "\n" +
                   handLines[2] + "\n\n[HKEY_CURRENT_USER\\Software\\Talmund\\Quorvex\\Options]\n" +
                   "\"Crop\"=dword:00000000\n" + handLines[3] + "\n" + handLines[4] + "\n" +
                   "\n[HKEY_CURRENT_USER\\Software\\Talmund\\Quorvex\\Statistics]\n" +
                   "\"Jobs\"=dword:00000003\n" + handLines[5] + "\n");
    expectClean(setOptions(home, {"Rotation", "90"}));
    const std::string hive = home.hiveText();
    for (const auto& line : handLines) EXPECT_EQ(countOf(hive, line + "\n"), 1u) << line;
    EXPECT_EQ(hiveValue(hive, "Software\\Other\\App", "Keep"), "\"yes\"");
    EXPECT_EQ(storedValue(hive, "Options", "MyOwnValue"), "\"mine\"");
    EXPECT_EQ(storedValue(hive, "Options", "Blob"), "hex:01,02,03");
    EXPECT_EQ(storedValue(hive, "Statistics", "Counter"), "dword:00000010");
    // The stored values were loaded before the save.
    EXPECT_EQ(storedValue(hive, "Options", "Crop"), "dword:00000000");
    EXPECT_EQ(storedValue(hive, "Options", "Rotation"), "dword:0000005a");
    EXPECT_EQ(storedValue(hive, "Statistics", "Jobs"), "dword:00000003");
    const SettingsListing l = listingOf(home);
    expectDefaultsExcept(l, {{"Crop", "0"}, {"Rotation", "90"}});
    EXPECT_EQ(l.jobs, 3);
}

TEST(StoredSettings, ValuesOutsideTheirSetsLoadAsDefaults) {
    ConfigHome home;
    home.writeHive(std::string(kHiveHeader) +
                   "\n\n[HKEY_CURRENT_USER\\Software\\Talmund\\Quorvex\\Options]\n"
                   "\"Rotation\"=dword:0000002d\n"
                   "\"Lineoptions\"=dword:ffffffff\n"
                   "\"Filledoptions\"=dword:00000001\n"
                   "\"Widthoptions\"=dword:00000004\n"
                   "\"Crop\"=\"0\"\n"
                   "\"Tilemode\"=dword:00000000\n"
                   "\"Margin\"=\"0,75\"\n"
                   "\"Percentage\"=dword:00000032\n"
                   "\"PictureWidth\"=\"-3\"\n"
                   "\"PictureHeight\"=\"2.5\"\n"
                   "\"FixedWidth\"=\"0\"\n"
                   "\"WMFScale\"=\"abc\"\n"
                   "\"DrawingScale\"=\"nan\"\n"
                   "\n[HKEY_CURRENT_USER\\Software\\Talmund\\Quorvex\\Preferences]\n"
                   "\"ForcedPalette\"=dword:00000009\n"
                   "\"AutoModify\"=dword:00000007\n"
                   "\"oPalette\"=dword:00000002\n"
                   "\"IsMetric\"=dword:00000001\n"
                   "\n[HKEY_CURRENT_USER\\Software\\Talmund\\Quorvex\\Options\\Width]\n"
                   "\"Color5\"=\"0,25\"\n"
                   "\"Color6\"=\"-1\"\n"
                   "\n[HKEY_CURRENT_USER\\Software\\Talmund\\Quorvex\\Options\\LineColor]\n"
                   "\"Color3\"=dword:00123456\n"
                   "\"Color4\"=\"255\"\n"
                   "\n[HKEY_CURRENT_USER\\Software\\Talmund\\Quorvex\\Statistics]\n"
                   "\"Jobs\"=dword:00000007\n"
                   "\"Since\"=dword:53724e00\n");
    // What is kept, the comma of "0,75" read as a decimal point; everything else takes its
    // default.
    const std::map<std::string, std::string> loaded = {
        {"Tilemode", "0"},          {"Margin", "0.750000"},
        {"FixedWidth", "0.000000"}, {"PictureHeight", "2.500000"},
        {"oPalette", "2"},          {"IsMetric", "1"},
    };
    ProgramResult r = home.run({"options"});
    expectClean(r);
    const SettingsListing l = parseListing(r.out);
    expectDefaultsExcept(l, loaded);
    EXPECT_EQ(l.jobs, 7);
    EXPECT_EQ(l.since, 1400000000);

    std::vector<ColorLine> colors = colorsOf(home);
    ASSERT_EQ(colors.size(), 255u);
    EXPECT_EQ(colors[4].width, "0.250000");
    EXPECT_EQ(colors[5].width, "0.010000");
    EXPECT_EQ(colors[2].line, 0x123456u);
    EXPECT_EQ(colors[2].fill, 0x00FF00u);
    EXPECT_EQ(colors[3].line, 0xFFFF00u) << "a colour stored as text is not read";
    // Missing colours take the defaults of the stored palette column.
    EXPECT_EQ(colors[7].line, 0x808080u);
    EXPECT_EQ(colors[15].line, 0x000080u);
    EXPECT_EQ(colors[15].fill, 0x000080u);

    // The next save stores what was loaded, in its own types.
    expectClean(setOptions(home, {"Paperlast", "0"}));
    const std::string hive = home.hiveText();
    EXPECT_EQ(storedValue(hive, "Options", "Rotation"), "dword:00000000");
    EXPECT_EQ(storedValue(hive, "Options", "Crop"), "dword:00000001");
    EXPECT_EQ(storedValue(hive, "Options", "Margin"), "\"0.750000\"");
    EXPECT_EQ(storedValue(hive, "Options", "Percentage"), "\"100.000000\"");
    EXPECT_EQ(storedValue(hive, "Preferences", "ForcedPalette"), "dword:ffffffff");
    EXPECT_EQ(storedValue(hive, "Options\\LineColor", "Color4"), dword(0xFFFF00));
    EXPECT_EQ(storedValue(hive, "Statistics", "Since"), "dword:53724e00");
    EXPECT_EQ(storedValue(hive, "Statistics", "Jobs"), "dword:00000007");
}

TEST(StoredSettings, ASinceOfZeroStartsCountingNow) {
    ConfigHome home;
    home.writeHive(std::string(kHiveHeader) +
                   "\n\n[HKEY_CURRENT_USER\\Software\\Talmund\\Quorvex\\Statistics]\n"
                   "\"Jobs\"=dword:00000002\n\"Since\"=dword:00000000\n");
    const long long before = std::time(nullptr);
    expectClean(setOptions(home, {"Crop", "0"}));
    const long long after = std::time(nullptr);
    std::optional<std::string> since = storedValue(home.hiveText(), "Statistics", "Since");
    ASSERT_TRUE(since && since->rfind("dword:", 0) == 0) << since.value_or("(none)");
    const long long value = std::stoll(since->substr(6), nullptr, 16);
    EXPECT_GE(value, before);
    EXPECT_LE(value, after);
    EXPECT_EQ(listingOf(home).jobs, 2);
}

struct DamagedHive {
    std::string what;
    std::string bytes;
};

TEST(StoredSettings, AFileThatIsNoHiveIsMovedAsideAndReplaced) {
    std::string garbage;
    for (int i = 0; i < 512; ++i) garbage += char((i * 37) & 0xFF);
    const std::vector<DamagedHive> cases = {
        {"binary garbage", garbage},
        {"text without the header line",
         "[HKEY_CURRENT_USER\\Software\\Talmund\\Quorvex\\Options]\n\"Crop\"=dword:00000000\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ConfigHome home;
        home.writeHive(c.bytes);
        ProgramResult r = setOptions(home, {"Rotation", "90"});
        expectExit(r, 0);
        EXPECT_EQ(countOf(r.err, "is not a registry hive"), 1u) << r.err;
        EXPECT_NE(r.err.find(home.hivePath().string() + ".damaged-"), std::string::npos) << r.err;
        Strings damaged;
        for (const auto& name : folderListing(home.folder()))
            if (name.rfind("registry.reg.damaged-", 0) == 0) damaged.push_back(name);
        ASSERT_EQ(damaged.size(), 1u) << testing::PrintToString(folderListing(home.folder()));
        EXPECT_NE(r.err.find(damaged[0]), std::string::npos) << r.err;
        EXPECT_EQ(readText(home.folder() / damaged[0]), c.bytes) << "kept as it was";
        const std::string hive = home.hiveText();
        EXPECT_EQ(hive.rfind(kHiveHeader, 0), 0u) << hive.substr(0, 100);
        EXPECT_EQ(storedValue(hive, "Options", "Rotation"), "dword:0000005a");
        EXPECT_EQ(storedValue(hive, "Options", "Crop"), "dword:00000001");

        // The fresh hive is read without a word.
        ProgramResult next = home.run({"options"});
        expectClean(next);
        expectDefaultsExcept(parseListing(next.out), {{"Rotation", "90"}});
        size_t damagedNow = 0;
        for (const auto& name : folderListing(home.folder()))
            damagedNow += name.rfind("registry.reg.damaged-", 0) == 0;
        EXPECT_EQ(damagedNow, 1u);
    }
}

TEST(StoredSettings, AForcedPaletteIsAnnouncedAtEveryStart) {
    const std::string warning = "Warning: Palette will be forced to 3";
    ConfigHome home;
    expectClean(setOptions(home, {"ForcedPalette", "3"}));
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE("start " + std::to_string(start + 1));
        ProgramResult r = home.run({"options"});
        expectExit(r, 0);
        EXPECT_EQ(countOf(r.err, warning), 1u) << r.err;
        const SettingsListing l = parseListing(r.out);
        EXPECT_EQ(l.value("ForcedPalette"), "3");
        EXPECT_EQ(l.value("oPalette"), "3");
    }
    // Equals follows the forced column: in column 3 row 29 has the colour of row 19.
    ProgramResult colors = home.run({"options", "--colors"});
    EXPECT_EQ(countOf(colors.err, warning), 1u) << colors.err;
    std::vector<ColorLine> rows = parseColors(colors.out);
    ASSERT_EQ(rows.size(), 255u);
    EXPECT_EQ(rows[28].equals, 19);
    EXPECT_EQ(defaultColors()[28].equals, 29);

    TempDir dir;
    ProgramResult improved = home.run(
        {"improve", sourcePath("samples/bracket.wmf").string(), "-o", (dir / "out.wmf").string()});
    expectExit(improved, 0);
    EXPECT_EQ(countOf(improved.err, warning), 1u) << improved.err;

    // Ending the forcing: this start still announces it, the next one does not.
    ProgramResult unforce = setOptions(home, {"ForcedPalette", "-1"});
    expectExit(unforce, 0);
    EXPECT_EQ(countOf(unforce.err, warning), 1u) << unforce.err;
    ProgramResult after = home.run({"options"});
    expectClean(after);
    EXPECT_EQ(parseListing(after.out).value("ForcedPalette"), "-1");
}

// ---------------------------------------------------------------------------
// improve with the stored settings

// "W x H in" of the one report line of a run that must have succeeded.
std::string printedSize(const ProgramResult& r) {
    EXPECT_TRUE(r.exited && r.exitCode == 0) << r.describe();
    static const std::regex re(R"(: (\d+\.\d\d) x (\d+\.\d\d) (in|cm); )");
    Strings lines = splitLines(r.out);
    EXPECT_EQ(lines.size(), 1u) << r.out;
    std::smatch m;
    if (lines.empty() || !std::regex_search(lines[0], m, re)) return "(no size)";
    return m[1].str() + " x " + m[2].str() + " " + m[3].str();
}

std::string turned(const std::string& size) {
    static const std::regex re(R"((\S+) x (\S+) (\S+))");
    std::smatch m;
    if (!std::regex_match(size, m, re)) return "(not a size: " + size + ")";
    return m[2].str() + " x " + m[1].str() + " " + m[3].str();
}

// The hive with the picture count left out, to compare what else it holds.
std::string withoutJobs(const std::string& hive) {
    static const std::regex jobs(R"("Jobs"=dword:[0-9a-fA-F]{8})");
    return std::regex_replace(hive, jobs, "\"Jobs\"=?");
}

class ImproveWithStoredSettings : public testing::Test {
  protected:
    ProgramResult improve(const Strings& more = {}) const {
        return home.run(
            concat({"improve", picture.string(), "-o", (dir / "out.wmf").string()}, more));
    }
    long long jobs() const { return listingOf(home).jobs.value_or(-1); }

    ConfigHome home;
    TempDir dir;
    const fs::path picture = sourcePath("samples/bracket.wmf");
};

TEST_F(ImproveWithStoredSettings, TheRunStartsFromTheStoredSettings) {
    const std::string plain = printedSize(improve());
    ASSERT_NE(plain, turned(plain)) << "the test wants a picture that is not square";
    store(home, {"Rotation", "90"});
    EXPECT_EQ(printedSize(improve()), turned(plain));
    store(home, {"IsMetric", "1", "Rotation", "0"});
    const std::string metric = printedSize(improve());
    EXPECT_EQ(metric.substr(metric.size() - 3), " cm") << metric;
}

TEST_F(ImproveWithStoredSettings, AnOptionFileCountsForThatRunOnly) {
    const std::string plain = printedSize(improve());
    store(home, {"Margin", "5"});
    const std::string wide = printedSize(improve());
    ASSERT_NE(wide, plain) << "the stored margin shows in the size";
    const std::string hive = home.hiveText();
    const long long before = jobs();

    // The file's Rotation turns the picture; the Margin it lacks is the default, not the
    // stored one.
    writeText(dir / "turn.qw3", "[Options]\nRotation=90\n");
    ProgramResult r = improve({"--options", (dir / "turn.qw3").string()});
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(printedSize(r), turned(plain));
    EXPECT_EQ(withoutJobs(home.hiveText()), withoutJobs(hive));
    EXPECT_EQ(jobs(), before + 1);
    EXPECT_EQ(printedSize(improve()), wide);

    // A plotter file changes only pens: the stored margin stays in force.
    writeText(dir / "pens.pc2", "[Plotter/Device/WidthTable]\ncolor1=0.5\n");
    EXPECT_EQ(printedSize(improve({"--options", (dir / "pens.pc2").string()})), wide);

    ProgramResult missing = improve({"--options", (dir / "missing.qw3").string()});
    expectExit(missing, 1);
    EXPECT_NE(missing.err.find("missing.qw3"), std::string::npos) << missing.err;
    EXPECT_EQ(missing.out, "");
}

TEST_F(ImproveWithStoredSettings, SetCountsForThatRunOnly) {
    const std::string plain = printedSize(improve());
    store(home, {"Rotation", "90"});
    const std::string hive = home.hiveText();
    const long long before = jobs();
    EXPECT_EQ(printedSize(improve({"--set", "rotation=0"})), plain);
    // --set comes after the option file.
    writeText(dir / "turn.qw3", "[Options]\nRotation=90\n");
    EXPECT_EQ(
        printedSize(improve({"--set", "Rotation=0", "--options", (dir / "turn.qw3").string()})),
        plain);
    EXPECT_EQ(withoutJobs(home.hiveText()), withoutJobs(hive));
    EXPECT_EQ(jobs(), before + 2);
    EXPECT_EQ(listingOf(home).value("Rotation"), "90");
    EXPECT_EQ(printedSize(improve()), turned(plain));
}

TEST_F(ImproveWithStoredSettings, JobsGrowsByThePicturesImproved) {
    store(home, {"Crop", "0"});
    ASSERT_EQ(jobs(), 0);
    const std::string a = sourcePath("samples/bracket.wmf").string();
    const std::string b = sourcePath("samples/floorplan.wmf").string();
    const std::string missing = (dir / "missing.wmf").string();

    expectClean(home.run({"improve", a, b, "-d", (dir / "one").string()}));
    EXPECT_EQ(jobs(), 2);
    EXPECT_EQ(storedValue(home.hiveText(), "Statistics", "Jobs"), "dword:00000002");

    ProgramResult partly = home.run({"improve", a, missing, b, "-d", (dir / "two").string()});
    expectExit(partly, 1);
    EXPECT_EQ(jobs(), 4) << "the file that failed is not counted";

    const std::string hive = home.hiveText();
    ProgramResult failed = home.run({"improve", missing, "-d", (dir / "three").string()});
    expectExit(failed, 1);
    EXPECT_EQ(home.hiveText(), hive) << "a run that improves nothing stores nothing";

    // Counting keeps the stored settings.
    expectDefaultsExcept(listingOf(home), {{"Crop", "0"}});
}

TEST_F(ImproveWithStoredSettings, RunsAtTheSameTimeLoseNoCount) {
    const Strings inputs = {sourcePath("samples/bracket.wmf").string(),
                            sourcePath("samples/floorplan.wmf").string(),
                            sourcePath("samples/siteplan.wmf").string()};
    constexpr int kRounds = 3;
    constexpr int kProcesses = 2;
    for (int round = 0; round < kRounds; ++round) {
        std::vector<ProgramResult> results(kProcesses);
        std::vector<std::thread> runs;
        for (int p = 0; p < kProcesses; ++p) {
            const std::string out =
                (dir / ("r" + std::to_string(round) + "-" + std::to_string(p))).string();
            runs.emplace_back([&, p, out] {
                results[size_t(p)] = home.run(concat(concat({"improve"}, inputs), {"-d", out}));
            });
        }
        for (auto& t : runs) t.join();
        for (const auto& r : results) expectClean(r);
    }
    EXPECT_EQ(jobs(), kRounds * kProcesses * int(inputs.size()));
}

// ---------------------------------------------------------------------------
// Bad command lines

TEST(OptionsUsage, BadCommandLinesExitWith2AndChangeNothing) {
    ConfigHome home;
    store(home, {"Crop", "0"});
    const std::string hive = home.hiveText();
    TempDir dir;
    const std::string a = (dir / "a.qw3").string(), b = (dir / "b.qw3").string();
    const std::vector<std::pair<Strings, std::string>> cases = {
        {{"frob"}, "unknown options command 'frob'"},
        {{"--bogus"}, "unknown options command '--bogus'"},
        {{"set"}, "pairs of NAME VALUE"},
        {{"set", "Crop"}, "pairs of NAME VALUE"},
        {{"set", "Crop", "1", "Rotation"}, "pairs of NAME VALUE"},
        {{"load"}, "options load takes one file"},
        {{"save"}, "options save takes one file"},
        {{"load", a, b}, "options load takes one file"},
        {{"save", a, b}, "options save takes one file"},
        {{"--colors", "x"}, "--colors takes no arguments"},
    };
    for (const auto& [args, says] : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        ProgramResult r = home.run(concat({"options"}, args));
        expectExit(r, 2);
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("usage: quorvex options"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(home.hiveText(), hive);
        EXPECT_TRUE(folderListing(dir.path()).empty());
    }
    ProgramResult help = home.run({"options", "--help"});
    expectClean(help);
    for (const char* s : {"options set", "options load", "options save", "--colors"})
        EXPECT_NE(help.out.find(s), std::string::npos) << s;
}

}  // namespace
}  // namespace qv::test
