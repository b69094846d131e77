#include "settings/option_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/file_dialog.h"
#include "platform/registry.h"
#include "platform/user_interface.h"
#include "settings/aci_palette.h"
#include "settings/color_defaults.h"
#include "settings/compute_equals.h"
#include "settings/program_info.h"
#include "settings/setting_table.h"
#include "support/test_support.h"

namespace qv {
namespace {

namespace fs = std::filesystem;

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

// The sections of a profile file in order, each with its keys in order and their values.
using Section = std::pair<std::string, std::vector<std::pair<std::string, std::string>>>;

std::vector<Section> sectionsOf(const std::string& text) {
    std::vector<Section> sections;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            sections.push_back({line.substr(1, line.size() - 2), {}});
        } else if (const auto eq = line.find('='); eq != std::string::npos && !sections.empty()) {
            sections.back().second.emplace_back(line.substr(0, eq), line.substr(eq + 1));
        }
    }
    return sections;
}

std::vector<std::string> keysOf(const Section& section) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : section.second) keys.push_back(key);
    return keys;
}

// A tray program's record with its registry in a temporary folder and scripted file dialogs.
class OptionFilesTest : public testing::Test {
  protected:
    OptionFilesTest() {
        resetColorDefaults(settings, colors);
        ComputeEquals(settings, colors);
    }

    test::TempDir dir;
    platform::Registry registry{dir / "registry.reg"};
    platform::RecordingUserInterface ui;
    SettingsStore store{registry, ui};
    WmfSettings settings;
    PaletteColorSource colors{settings};
    SettingsTransfer transfer{settings, colors, store, ProgramInfo::of(ProgramKind::Tray)};
    platform::ScriptedFileDialogs dialogs;
    OptionFiles files{transfer, dialogs};
};

// ---------------------------------------------------------------------------------------------
// Saving

TEST_F(OptionFilesTest, SaveAsksForAQw3FileAndWritesIt) {
    const fs::path file = dir / "chosen.qw3";
    dialogs.answers.push_back(file.string());
    files.SaveOptionsFile();

    ASSERT_EQ(dialogs.requests.size(), 1u);
    const platform::FileDialogRequest& r = dialogs.requests[0];
    EXPECT_TRUE(r.save);
    EXPECT_EQ(r.defaultExtension, ".qw3");
    EXPECT_EQ(r.initialFileName, "Qwmfout.qw3");
    EXPECT_EQ(r.filter, "Quorvex QW3 file (*.QW3)|*.QW3|");
    EXPECT_TRUE(r.hideReadOnly);
    EXPECT_TRUE(r.confirmOverwrite);

    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(ui.waitCursorShown, 1);
    EXPECT_EQ(ui.waitDepth, 0);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(fs::exists(dir / "registry.reg"));
}

TEST_F(OptionFilesTest, CancellingTheSaveDialogWritesNothing) {
    files.SaveOptionsFile();
    EXPECT_EQ(dialogs.requests.size(), 1u);
    EXPECT_TRUE(fs::is_empty(dir.path()));
    EXPECT_EQ(ui.waitCursorShown, 0);
}

TEST_F(OptionFilesTest, AGivenPathSkipsTheDialog) {
    const fs::path file = dir / "given.qw3";
    files.SaveOptionsFile(file.string());
    EXPECT_TRUE(dialogs.requests.empty());
    EXPECT_TRUE(fs::exists(file));
}

TEST_F(OptionFilesTest, ANewFileHoldsTheSectionsInTheirOrder) {
    const fs::path file = dir / "new.qw3";
    files.SaveOptionsFile(file.string());
    const std::vector<Section> sections = sectionsOf(readText(file));

    std::vector<std::string> names;
    for (const Section& s : sections) names.push_back(s.first);
    EXPECT_EQ(names,
              (std::vector<std::string>{"Quorvex", "Options", "Preferences", "Options\\Width",
                                        "Options\\LineColor", "Options\\FillColor"}));
    ASSERT_EQ(sections.size(), 6u);
    EXPECT_EQ(keysOf(sections[0]),
              (std::vector<std::string>{"Program Type", "Program Version", "Settings written"}));
    EXPECT_EQ(sections[0].second[0].second, "Qtray.exe");
    EXPECT_EQ(sections[0].second[1].second, "7,00,0,0");
    EXPECT_EQ(
        keysOf(sections[1]),
        (std::vector<std::string>{
            "Crop",         "Tilemode",     "Paperlast",     "LeaveMargin", "RemoveBackground",
            "WhiteBlack",   "RemoveLines",  "MakeBlack",     "Lineoptions", "Filledoptions",
            "Widthoptions", "Outlinestoo",  "Rotation",      "Margin",      "FixedWidth",
            "Percentage",   "PictureWidth", "PictureHeight", "WMFScale",    "DrawingScale"}));
    EXPECT_EQ(keysOf(sections[2]),
              (std::vector<std::string>{"IsMetric", "AskTilemode", "ReplaceCopyclip", "Tooltip",
                                        "PopupSaveas", "StartWithOptions", "AutoModify", "oPalette",
                                        "ForcedPalette"}));
    for (std::size_t s = 3; s < 6; ++s) {
        ASSERT_EQ(sections[s].second.size(), 255u) << sections[s].first;
        EXPECT_EQ(sections[s].second.front().first, "Color1");
        EXPECT_EQ(sections[s].second.back().first, "Color255");
    }

    using Pair = std::pair<std::string, std::string>;
    EXPECT_EQ(sections[1].second[0], (Pair{"Crop", "1"}));
    EXPECT_EQ(sections[1].second[13], (Pair{"Margin", "0.500000"}));
    EXPECT_EQ(sections[2].second[8], (Pair{"ForcedPalette", "-1"}));
    EXPECT_EQ(sections[3].second[0], (Pair{"Color1", "0.010000"}));
    EXPECT_EQ(sections[4].second[6], (Pair{"Color7", "16777215"}));
    EXPECT_EQ(sections[5].second[0], (Pair{"Color1", "255"}));
}

TEST_F(OptionFilesTest, SavingKeepsHandWrittenLines) {
    const fs::path file = dir / "kept.qw3";
    writeText(file,
              "; my plotter set\r\n"
              "[Quorvex]\r\n"
              "ColorOnly=1\r\n"
              "[Options]\r\n"
              "Crop=0\r\n"
              "Comment=written by hand\r\n"
              "not a pair\r\n"
              "[Mine]\r\n"
              "foo=bar\r\n");
    files.SaveOptionsFile(file.string());
    const std::string text = readText(file);
    for (const char* line : {"; my plotter set", "ColorOnly=1", "Comment=written by hand",
                             "not a pair", "[Mine]", "foo=bar", "Crop=1"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
    EXPECT_EQ(text.find("Crop=0"), std::string::npos);

    // So the file still loads colours only.
    settings.Crop = 0;
    settings.Colors[1].LineColor = 5;
    ASSERT_TRUE(files.LoadOptionsFile(file.string()));
    EXPECT_EQ(settings.Crop, 0);
    EXPECT_EQ(settings.Colors[1].LineColor, aciPaletteColor(1, 0));
}

struct UnwritableCase {
    const char* name;
    void (*prepare)(const fs::path& target);
    bool needsNonRoot;  // permissions that do not hold for the superuser
};

class UnwritablePaths : public OptionFilesTest,
                        public testing::WithParamInterface<UnwritableCase> {};

TEST_P(UnwritablePaths, OneMessageAndTheFileIsUntouched) {
    const fs::path target = dir / "place" / "set.qw3";
    if (GetParam().needsNonRoot && ::geteuid() == 0) GTEST_SKIP() << "running as root";
    fs::create_directories(target.parent_path());
    GetParam().prepare(target);
    const bool existed = fs::exists(target);
    const bool wasFolder = fs::is_directory(target);
    const std::string before = existed && !wasFolder ? readText(target) : std::string();

    files.SaveOptionsFile(target.string());

    ASSERT_EQ(ui.messages.size(), 1u);
    const std::string prefix = "Unable to write " + target.string() + ":\n";
    EXPECT_EQ(ui.messages[0].text.substr(0, prefix.size()), prefix);
    EXPECT_GT(ui.messages[0].text.size(), prefix.size());
    EXPECT_EQ(ui.messages[0].caption, "Quorvex error");
    EXPECT_EQ(fs::exists(target), existed);
    EXPECT_EQ(fs::is_directory(target), wasFolder);
    if (existed && !wasFolder) {
        EXPECT_EQ(readText(target), before);
    }
    if (wasFolder) {
        EXPECT_TRUE(fs::is_empty(target));
    }
    std::error_code ignored;  // lets the folder be removed after the read-only case
    fs::permissions(target.parent_path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    EXPECT_EQ(ui.waitDepth, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, UnwritablePaths,
    testing::Values(UnwritableCase{"MissingFolder",
                                   [](const fs::path& t) { fs::remove(t.parent_path()); }, false},
                    UnwritableCase{"Folder", [](const fs::path& t) { fs::create_directory(t); },
                                   false},
                    // Read-only for everybody, the superuser included.
                    UnwritableCase{"ReadOnlyFile",
                                   [](const fs::path& t) {
                                       writeText(t, "[Options]\r\nCrop=0\r\n");
                                       ::chmod(t.c_str(), 0444);
                                   },
                                   false},
                    UnwritableCase{"ReadOnlyFolder",
                                   [](const fs::path& t) {
                                       writeText(t, "[Options]\r\nCrop=0\r\n");
                                       ::chmod(t.parent_path().c_str(), 0555);
                                   },
                                   true},
                    // A file we cannot read must not be replaced by one holding only our values.
                    UnwritableCase{"UnreadableFile",
                                   [](const fs::path& t) {
                                       writeText(t, "[Options]\r\nCrop=0\r\n");
                                       ::chmod(t.c_str(), 0200);
                                   },
                                   true}),
    [](const testing::TestParamInfo<UnwritableCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------------------------
// Loading

TEST_F(OptionFilesTest, LoadAsksForAQw3OrPc2File) {
    EXPECT_FALSE(files.LoadOptionsFile());
    ASSERT_EQ(dialogs.requests.size(), 1u);
    const platform::FileDialogRequest& r = dialogs.requests[0];
    EXPECT_FALSE(r.save);
    EXPECT_EQ(r.defaultExtension, "QW3");
    EXPECT_EQ(r.initialFileName, "Qwmfout.QW3");
    EXPECT_EQ(r.filter, "Quorvex QW3 file (*.QW3)|*.QW3|Autodesk R14 PC2 file (*.PC2)|*.PC2|");
    EXPECT_TRUE(r.hideReadOnly);
    EXPECT_EQ(ui.waitCursorShown, 0);
}

TEST_F(OptionFilesTest, CancellingTheLoadDialogLeavesTheRecordAlone) {
    settings.Crop = 0;
    settings.Colors[3].Equals = 99;  // not even Equals is recomputed
    EXPECT_FALSE(files.LoadOptionsFile());
    EXPECT_EQ(settings.Crop, 0);
    EXPECT_EQ(settings.Colors[3].Equals, 99);
}

TEST_F(OptionFilesTest, SavedSetsLoadBack) {
    settings.Crop = 0;
    settings.Rotation = 270;
    settings.ForcedPalette = 2;
    settings.Margin = 1.25;
    settings.Colors[12].Width = 0.333333;
    settings.Colors[12].LineColor = 0xFFFFFFFF;
    settings.Colors[200].FillColor = 0x123456;
    const fs::path file = dir / "set.QW3";
    dialogs.answers.push_back(file.string());
    files.SaveOptionsFile();

    WmfSettings loaded;
    PaletteColorSource loadedColors(loaded);
    SettingsTransfer loader(loaded, loadedColors, store, ProgramInfo::of(ProgramKind::Tray));
    OptionFiles loaderFiles(loader, dialogs);
    dialogs.answers.push_back(file.string());
    ASSERT_TRUE(loaderFiles.LoadOptionsFile());
    EXPECT_EQ(loaded.Crop, 0);
    EXPECT_EQ(loaded.Rotation, 270);
    EXPECT_EQ(loaded.ForcedPalette, 2);
    EXPECT_EQ(loaded.Margin, 1.25);
    EXPECT_DOUBLE_EQ(loaded.Colors[12].Width, 0.333333);
    EXPECT_EQ(loaded.Colors[12].LineColor, 0xFFFFFFFFu);
    EXPECT_EQ(loaded.Colors[200].FillColor, 0x123456u);
    EXPECT_EQ(loaded.Colors[255].Equals, 7);  // computed before the load
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.waitCursorShown, 2);
    EXPECT_EQ(ui.waitDepth, 0);
}

TEST_F(OptionFilesTest, WhatTheFileLacksTakesItsDefault) {
    const fs::path file = dir / "crop.qw3";
    writeText(file, "[Options]\nCrop=0\n");
    settings.Rotation = 90;
    settings.IsMetric = 1;
    settings.Percentage = 50.0;
    settings.Colors[1].Width = 0.7;
    settings.Colors[1].LineColor = 3;
    settings.Colors[2].FillColor = 4;
    ASSERT_TRUE(files.LoadOptionsFile(file.string()));
    for (const IntSettingInfo& info : intSettings()) {
        if (info.key == SettingKey::Version) continue;
        EXPECT_EQ(settings.*(info.member), info.name == "Crop" ? 0 : info.defaultValue)
            << info.name;
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
}

TEST_F(OptionFilesTest, AnUnreadableQw3LoadsEveryDefault) {
    settings.Crop = 0;
    settings.Colors[5].Width = 2.0;
    ASSERT_TRUE(files.LoadOptionsFile((dir / "none.qw3").string()));
    EXPECT_EQ(settings.Crop, 1);
    EXPECT_EQ(settings.Colors[5].Width, 0.01);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(OptionFilesTest, ColorOnlyFilesChangeOnlyTheColours) {
    const fs::path file = dir / "colours.qw3";
    writeText(file,
              "[Quorvex]\nColorOnly=1\n"
              "[Options]\nCrop=0\nMargin=3.000000\n"
              "[Options\\Width]\nColor1=0.500000\n"
              "[Options\\LineColor]\nColor1=255\nColor2=-1\n"
              "[Options\\FillColor]\nColor3=65280\n");
    settings.Crop = 1;
    settings.Margin = 0.8;
    settings.Colors[1].Width = 0.3;
    settings.Colors[4].LineColor = 9;
    settings.Colors[4].FillColor = 9;
    ASSERT_TRUE(files.LoadOptionsFile(file.string()));
    EXPECT_EQ(settings.Crop, 1);
    EXPECT_EQ(settings.Margin, 0.8);
    EXPECT_EQ(settings.Colors[1].Width, 0.3);
    EXPECT_EQ(settings.Colors[1].LineColor, 255u);
    EXPECT_EQ(settings.Colors[2].LineColor, 0xFFFFFFFFu);
    EXPECT_EQ(settings.Colors[3].FillColor, 65280u);
    EXPECT_EQ(settings.Colors[4].LineColor, aciPaletteColor(4, 0));
    EXPECT_EQ(settings.Colors[4].FillColor, aciPaletteColor(4, 0));
}

TEST_F(OptionFilesTest, AFileLoadDoesNotAnnounceAForcedPalette) {
    const fs::path file = dir / "forced.qw3";
    writeText(file, "[Preferences]\nForcedPalette=3\noPalette=1\n");
    ASSERT_TRUE(files.LoadOptionsFile(file.string()));
    EXPECT_EQ(settings.ForcedPalette, 3);
    EXPECT_EQ(settings.oPalette, 1);
    EXPECT_TRUE(ui.messages.empty());
}

// ---------------------------------------------------------------------------------------------
// Which kind of file

struct KindCase {
    const char* fileName;
    bool optionsFile;
};

void PrintTo(const KindCase& c, std::ostream* os) {
    *os << c.fileName;
}

class FileKinds : public OptionFilesTest, public testing::WithParamInterface<KindCase> {};

TEST_P(FileKinds, TheLastFourCharactersDecide) {
    // Readable both ways: as an options file it sets Crop, as a plotter file colour 1's width.
    const fs::path file = dir / GetParam().fileName;
    writeText(file,
              "[Options]\nCrop=0\n"
              "[Plotter/Device/WidthTable]\ncolor1=0.5\n");
    ASSERT_TRUE(files.LoadOptionsFile(file.string()));
    if (GetParam().optionsFile) {
        EXPECT_EQ(settings.Crop, 0);
        EXPECT_EQ(settings.Colors[1].Width, 0.01);
    } else {
        EXPECT_EQ(settings.Crop, 1);
        EXPECT_EQ(settings.Colors[1].Width, 0.5);
    }
}

INSTANTIATE_TEST_SUITE_P(Names, FileKinds,
                         testing::Values(KindCase{"a.qw3", true}, KindCase{"B.QW3", true},
                                         KindCase{"c.Qw3", true}, KindCase{"x.qw3.pc2", false},
                                         KindCase{"d.pc2", false}, KindCase{"e.PC2", false},
                                         KindCase{"f.txt", false}, KindCase{"qw3", false},
                                         KindCase{"g.qw", false}));

TEST_F(OptionFilesTest, APathShorterThanFourCharactersIsAPlotterFile) {
    settings.Colors[1].Width = 0.7;
    ASSERT_TRUE(files.LoadOptionsFile("q3"));  // no such file: the plotter import's width 0
    EXPECT_EQ(settings.Colors[1].Width, 0.0);
}

// ---------------------------------------------------------------------------------------------
// Plotter file import

struct PlotterCase {
    const char* name;
    std::int32_t isMetric;
    const char* width;  // nullptr: no entry
    const char* pen;    // nullptr: no entry
    double expectedWidth;
    ColorRef expectedFill;
};

void PrintTo(const PlotterCase& c, std::ostream* os) {
    *os << c.name;
}

class PlotterRows : public OptionFilesTest, public testing::WithParamInterface<PlotterCase> {};

TEST_P(PlotterRows, WidthAndPenOfAPrimaryRow) {
    const PlotterCase& c = GetParam();
    std::string text = "[Plotter/Device/WidthTable]\r\n";
    if (c.width) text += std::string("color20=") + c.width + "\r\n";
    text += "[Plotter/Device/PenTable]\r\n";
    if (c.pen) text += std::string("color20=") + c.pen + "\r\n";
    const fs::path file = dir / "plotter.pc2";
    writeText(file, text);
    settings.IsMetric = c.isMetric;
    settings.Colors[20].LineColor = 1;
    ASSERT_TRUE(files.LoadOptionsFile(file.string()));
    EXPECT_DOUBLE_EQ(settings.Colors[20].Width, c.expectedWidth);
    EXPECT_EQ(settings.Colors[20].FillColor, c.expectedFill);
    EXPECT_EQ(settings.Colors[20].LineColor, aciPaletteColor(20, 0));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PlotterRows,
    testing::Values(PlotterCase{"MetricWidth", 1, "0.010", "7", 0.254, 0x070707},
                    PlotterCase{"InchWidth", 0, "0.010", "7", 0.01, 0x070707},
                    PlotterCase{"MetricRounding", 1, "0.0123456", "0", 0.314, 0},
                    PlotterCase{"CommaWidth", 0, "0,5", "1", 0.5, 0x010101},
                    PlotterCase{"PenLowByte", 0, "0.1", "300", 0.1, 0x2C2C2C},
                    PlotterCase{"NegativePen", 0, "0.1", "-1", 0.1, 0xFFFFFF},
                    PlotterCase{"PenNotANumber", 0, "0.1", "abc", 0.1, 0},
                    // Ten-character buffers: nine characters count.
                    PlotterCase{"LongWidth", 0, "0.12345678", "12345678901", 0.1234567,
                                greyColor(21)},
                    PlotterCase{"Missing", 1, nullptr, nullptr, 0.0, 0}),
    [](const testing::TestParamInfo<PlotterCase>& info) { return info.param.name; });

TEST_F(OptionFilesTest, PlotterImportTouchesOnlyPrimaryRowsAndTheirColours) {
    settings.oPalette = 4;
    ComputeEquals(settings, colors);
    ASSERT_EQ(settings.Colors[255].Equals, 7);
    settings.Crop = 0;
    settings.Colors[255] = ColorEntry{7, 0.9, 11, 12};
    const fs::path file = dir / "pens.pc2";
    writeText(file,
              "[Plotter/Device/WidthTable]\ncolor7=0.02\ncolor255=0.5\n"
              "[Plotter/Device/PenTable]\ncolor7=9\ncolor255=30\n");
    ASSERT_TRUE(files.LoadOptionsFile(file.string()));
    EXPECT_EQ(settings.Crop, 0);
    EXPECT_EQ(settings.Colors[7].Width, 0.02);
    EXPECT_EQ(settings.Colors[7].FillColor, greyColor(9));
    EXPECT_EQ(settings.Colors[255].Width, 0.9);
    EXPECT_EQ(settings.Colors[255].LineColor, 11u);
    EXPECT_EQ(settings.Colors[255].FillColor, 12u);
}

TEST_F(OptionFilesTest, PlotterImportComputesEqualsFirst) {
    for (ColorEntry& row : settings.Colors) row.Equals = 0;  // no row looks primary
    settings.Colors[1].Width = 0.7;
    ASSERT_TRUE(files.LoadOptionsFile((dir / "none.pc2").string()));
    EXPECT_EQ(settings.Colors[1].Equals, 1);
    EXPECT_EQ(settings.Colors[1].Width, 0.0);
}

TEST_F(OptionFilesTest, AnUnreadablePlotterFileGivesThinBlackFilledRows) {
    for (int i = 1; i < kColorCount; ++i) {
        settings.Colors[std::size_t(i)] =
            ColorEntry{settings.Colors[std::size_t(i)].Equals, 0.5, 1, 2};
    }
    ASSERT_TRUE(files.LoadOptionsFile((dir / "none.pc2").string()));
    int primaries = 0;
    for (int i = 1; i < kColorCount; ++i) {
        const ColorEntry& row = settings.Colors[std::size_t(i)];
        if (row.Equals != i) {
            EXPECT_EQ(row.Width, 0.5) << "row " << i;
            continue;
        }
        ++primaries;
        EXPECT_EQ(row.Width, 0.0) << "row " << i;
        EXPECT_EQ(row.LineColor, aciPaletteColor(i, 0)) << "row " << i;
        EXPECT_EQ(row.FillColor, 0u) << "row " << i;
    }
    EXPECT_GT(primaries, 100);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.waitCursorShown, 1);
}

}  // namespace
}  // namespace qv
