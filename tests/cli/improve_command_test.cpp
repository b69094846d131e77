// quorvex improve: where the results go, the report line of each file checked
// against the file written, settings for one run, parallel workers, damaged
// inputs and bad command lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "cli/cli_helpers.h"
#include "cli/run_program.h"
#include "cli/test_picture.h"
#include "cli/wmf_file.h"
#include "engine/metafile/records.h"
#include "support/test_support.h"

namespace qv::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

// One report line, taken apart.
struct Report {
    std::string path;
    double width = 0, height = 0;
    std::string unit;
    int pens = 0, fills = 0, colours = 0, outlines = 0;
    std::string background;
    int turned = 0, notTurned = 0;
    int recordsIn = 0, recordsOut = 0;
};

std::optional<Report> parseReport(const std::string& line) {
    static const std::regex re(
        R"((.+): (\d+\.\d\d) x (\d+\.\d\d) (in|cm); (\d+) pens?, (\d+) fills?, (\d+) colours? )"
        R"(rewritten; (\d+) outlines? removed; background (removed|kept|none); (\d+) bitmaps? )"
        R"(turned(?:, (\d+) not turned)?; (\d+) -> (\d+) records)");
    std::smatch m;
    if (!std::regex_match(line, m, re)) return std::nullopt;
    auto n = [&](size_t i) { return m[i].matched ? std::stoi(m[i].str()) : 0; };
    Report r;
    r.path = m[1].str();
    r.width = std::stod(m[2].str());
    r.height = std::stod(m[3].str());
    r.unit = m[4].str();
    r.pens = n(5);
    r.fills = n(6);
    r.colours = n(7);
    r.outlines = n(8);
    r.background = m[9].str();
    r.turned = n(10);
    r.notTurned = n(11);
    r.recordsIn = n(12);
    r.recordsOut = n(13);
    return r;
}

// The report lines of a run that must have succeeded with a clean standard error.
std::vector<Report> reportsOf(const ProgramResult& r) {
    std::vector<Report> reports;
    EXPECT_TRUE(r.exited && r.exitCode == 0) << r.describe();
    EXPECT_EQ(r.err, "");
    for (const auto& line : splitLines(r.out)) {
        std::optional<Report> rep = parseReport(line);
        EXPECT_TRUE(rep) << "not a report line: " << line;
        if (rep) reports.push_back(*rep);
    }
    return reports;
}

std::vector<fs::path> samples() {
    return wmfFilesIn("samples");
}

Strings withArgs(Strings args, const Strings& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

Strings improveArgs(const std::vector<fs::path>& files, const Strings& more) {
    Strings args{"improve"};
    for (const auto& f : files) args.push_back(f.string());
    return withArgs(args, more);
}

// The output's own facts: the placeable box, its Inch and its opening window extent.
struct OutputFacts {
    int cx = 0, cy = 0;
    int inch = 0;
    size_t records = 0;  // the end record included
};

OutputFacts factsOf(const fs::path& p) {
    const WmfFile f = readWmfFile(p);
    OutputFacts o;
    EXPECT_TRUE(f.placeable) << p;
    EXPECT_TRUE(f.eof) << p;
    EXPECT_EQ(f.left(), 0);
    EXPECT_EQ(f.top(), 0);
    EXPECT_EQ(f.storedChecksum(), placeableChecksum(f.bytes)) << p;
    o.cx = f.right();
    o.cy = f.bottom();
    o.inch = f.inch();
    o.records = f.records.size() + 1;
    auto ext = f.recordsOf(uint16_t(mf::Fn::SetWindowExt));
    EXPECT_FALSE(ext.empty()) << p;
    if (!ext.empty()) {
        // SETWINDOWEXT stores y before x.
        EXPECT_EQ(int16_t(ext[0].word(1)), o.cx) << p;
        EXPECT_EQ(int16_t(ext[0].word(0)), o.cy) << p;
    }
    return o;
}

void expectLoads(const fs::path& p) {
    ProgramResult r = runQuorvex({"info", p.string()});
    EXPECT_TRUE(r.exited && r.exitCode == 0) << p << ": " << r.describe();
    EXPECT_EQ(r.err, "") << p;
}

// The reported size is what the placeable header says, to the two decimals printed.
void expectSizeAgrees(const Report& rep, const OutputFacts& o) {
    ASSERT_GT(o.inch, 0);
    const double factor = rep.unit == "cm" ? 2.54 : 1.0;
    EXPECT_NEAR(rep.width, o.cx * factor / o.inch, 0.0051) << rep.path;
    EXPECT_NEAR(rep.height, o.cy * factor / o.inch, 0.0051) << rep.path;
}

TEST(ImproveCommand, WritesOneFileWithDashO) {
    TempDir dir;
    const fs::path in = sourcePath("samples/floorplan.wmf");
    const mf::Bytes before = readFile(in);
    const fs::path out = dir / "better.wmf";
    ProgramResult r = runQuorvex({"improve", in.string(), "-o", out.string()});
    std::vector<Report> reps = reportsOf(r);
    ASSERT_EQ(reps.size(), 1u) << r.out;
    EXPECT_EQ(reps[0].path, out.string());
    EXPECT_EQ(reps[0].unit, "in");
    EXPECT_EQ(reps[0].background, "removed");  // the samples have a background rectangle
    const OutputFacts o = factsOf(out);
    expectSizeAgrees(reps[0], o);
    EXPECT_EQ(size_t(reps[0].recordsIn), readWmfFile(in).records.size() + 1);
    EXPECT_EQ(size_t(reps[0].recordsOut), o.records);
    expectLoads(out);
    EXPECT_EQ(readFile(in), before) << "the input is left alone";
    EXPECT_EQ(folderListing(dir.path()), Strings{"better.wmf"});
}

TEST(ImproveCommand, WritesEveryFileIntoAFolderItCreatesInInputOrder) {
    TempDir dir;
    const fs::path outDir = dir / "new" / "folder";
    std::vector<fs::path> inputs = samples();
    inputs.push_back(sourcePath("tests/data/real/lo-raster.wmf"));
    inputs.push_back(sourcePath("tests/data/real/ink-lines.wmf"));
    ProgramResult r = runQuorvex(improveArgs(inputs, {"-d", outDir.string()}));
    std::vector<Report> reps = reportsOf(r);
    ASSERT_EQ(reps.size(), inputs.size()) << r.out;
    Strings expectedNames;
    for (size_t i = 0; i < inputs.size(); ++i) {
        SCOPED_TRACE(inputs[i].string());
        const fs::path out = outDir / inputs[i].filename();
        EXPECT_EQ(reps[i].path, out.string());
        const OutputFacts o = factsOf(out);
        expectSizeAgrees(reps[i], o);
        EXPECT_EQ(size_t(reps[i].recordsIn), readWmfFile(inputs[i]).records.size() + 1);
        EXPECT_EQ(size_t(reps[i].recordsOut), o.records);
        expectedNames.push_back(inputs[i].filename().string());
    }
    std::sort(expectedNames.begin(), expectedNames.end());
    EXPECT_EQ(folderListing(outDir), expectedNames);
}

TEST(ImproveCommand, InPlaceReplacesEachFileWithALoadableOne) {
    TempDir dir;
    std::vector<fs::path> copies;
    std::vector<mf::Bytes> originals;
    for (const auto& s : samples()) {
        copies.push_back(dir / s.filename().string());
        originals.push_back(readFile(s));
        writeFile(copies.back(), originals.back());
    }
    std::vector<Report> reps = reportsOf(runQuorvex(improveArgs(copies, {"--in-place"})));
    ASSERT_EQ(reps.size(), copies.size());
    for (size_t i = 0; i < copies.size(); ++i) {
        SCOPED_TRACE(copies[i].string());
        EXPECT_EQ(reps[i].path, copies[i].string());
        EXPECT_NE(readFile(copies[i]), originals[i]);
        expectSizeAgrees(reps[i], factsOf(copies[i]));
        expectLoads(copies[i]);
    }
    EXPECT_EQ(folderListing(dir.path()).size(), copies.size()) << "no temporary file is left";
}

TEST(ImproveCommand, DashOMayNameTheInputItself) {
    TempDir dir;
    const fs::path p = dir / "same.wmf";
    const mf::Bytes original = readFile(sourcePath("samples/bracket.wmf"));
    writeFile(p, original);
    std::vector<Report> reps = reportsOf(runQuorvex({"improve", p.string(), "-o", p.string()}));
    ASSERT_EQ(reps.size(), 1u);
    EXPECT_NE(readFile(p), original);
    expectLoads(p);
}

TEST(ImproveCommand, QuietPrintsNothingAndStillWrites) {
    TempDir dir;
    const fs::path out = dir / "q.wmf";
    ProgramResult r = runQuorvex(
        {"improve", sourcePath("samples/bracket.wmf").string(), "-q", "-o", out.string()});
    ASSERT_TRUE(r.exited) << r.describe();
    EXPECT_EQ(r.exitCode, 0) << r.describe();
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    expectLoads(out);
}

TEST(ImproveCommand, OneWorkerAndFourWorkersWriteTheSameBytesAndLines) {
    // The big picture first, so that with four workers the small ones finish
    // before it and must wait to be reported.
    std::vector<fs::path> inputs{sourcePath("tests/data/oracle/synth-1M.wmf")};
    for (const auto& p : samples()) inputs.push_back(p);
    for (const auto& p : wmfFilesIn("tests/data/real")) inputs.push_back(p);
    TempDir dir;
    auto run = [&](const std::string& jobs, const std::string& sub) {
        ProgramResult r = runQuorvex(
            improveArgs(inputs, {"-j", jobs, "-d", (dir / sub).string(), "--set", "Rotation=90"}));
        EXPECT_TRUE(r.exited && r.exitCode == 0) << r.describe();
        EXPECT_EQ(r.err, "");
        // The lines without the folder, which differs between the runs.
        Strings lines = splitLines(r.out);
        for (auto& l : lines) {
            const std::string prefix = (dir / sub).string() + "/";
            EXPECT_EQ(l.rfind(prefix, 0), 0u) << l;
            l.erase(0, prefix.size());
        }
        return lines;
    };
    const Strings one = run("1", "one");
    const Strings four = run("4", "four");
    ASSERT_EQ(one.size(), inputs.size());
    EXPECT_EQ(one, four);
    for (size_t i = 0; i < inputs.size(); ++i) {
        const std::string name = inputs[i].filename().string();
        EXPECT_EQ(one[i].rfind(name + ": ", 0), 0u) << "line " << i << " is " << one[i];
        EXPECT_TRUE(readFile(dir / "one" / name) == readFile(dir / "four" / name)) << name;
    }
}

// Settings for one run, each seen in what the output and the report say.
TEST(ImproveCommand, PrintedSizeFollowsUnitsRotationAndSizeSettings) {
    TempDir dir;
    const fs::path in = sourcePath("samples/bracket.wmf");
    auto improve = [&](const Strings& sets, const std::string& name) {
        Strings args{"improve", in.string(), "-o", (dir / name).string()};
        for (const auto& s : sets) args = withArgs(args, {"--set", s});
        std::vector<Report> reps = reportsOf(runQuorvex(args));
        EXPECT_EQ(reps.size(), 1u);
        return std::make_pair(reps.empty() ? Report{} : reps[0], factsOf(dir / name));
    };
    const auto [plain, plainOut] = improve({}, "plain.wmf");
    expectSizeAgrees(plain, plainOut);
    ASSERT_GT(plain.width, plain.height) << "the test wants a picture wider than high";

    // Centimetres: the same picture, the same file, the size times 2.54.
    const auto [metric, metricOut] = improve({"IsMetric=1"}, "metric.wmf");
    EXPECT_EQ(metric.unit, "cm");
    expectSizeAgrees(metric, metricOut);
    EXPECT_EQ(metricOut.cx, plainOut.cx);
    EXPECT_NEAR(metric.width, plain.width * 2.54, 0.02);

    // Turned a quarter: width and height change places, in the file and the line;
    // the setting's name is not case-sensitive.
    const auto [turned, turnedOut] = improve({"ROTATION=90"}, "turned.wmf");
    expectSizeAgrees(turned, turnedOut);
    EXPECT_EQ(turned.width, plain.height);
    EXPECT_EQ(turned.height, plain.width);
    EXPECT_EQ(turnedOut.cx, plainOut.cy);
    EXPECT_EQ(turnedOut.cy, plainOut.cx);

    // Half the percentage prints at half the size.
    const auto [half, halfOut] = improve({"Percentage=50"}, "half.wmf");
    expectSizeAgrees(half, halfOut);
    EXPECT_EQ(halfOut.inch, 2 * plainOut.inch);
    EXPECT_NEAR(half.width, plain.width / 2, 0.0051);

    // Fitted to a width of 4 inches, or 4 cm in metric.
    const auto [fitted, fittedOut] = improve({"Widthoptions=1", "PictureWidth=4"}, "fitted.wmf");
    expectSizeAgrees(fitted, fittedOut);
    EXPECT_EQ(fitted.width, 4.0);
    const auto [fittedCm, fittedCmOut] =
        improve({"widthoptions=1", "picturewidth=4", "ismetric=1"}, "fitted-cm.wmf");
    expectSizeAgrees(fittedCm, fittedCmOut);
    EXPECT_EQ(fittedCm.width, 4.0);
    EXPECT_EQ(fittedCm.unit, "cm");
}

struct WhatChanged {
    const char* file;
    Strings sets;
    std::string background;
    int turned;
};

TEST(ImproveCommand, ReportsTheBackgroundAndTurnedBitmaps) {
    const std::vector<WhatChanged> cases = {
        {"samples/siteplan.wmf", {}, "removed", 0},
        {"samples/siteplan.wmf", {"RemoveBackground=0"}, "kept", 0},
        {"tests/data/real/lo-raster.wmf", {}, "none", 0},
        {"tests/data/real/lo-raster.wmf", {"Rotation=90"}, "none", 1},
        {"tests/data/real/ink-raster.wmf", {"Rotation=180"}, "none", 1},
    };
    TempDir dir;
    for (const auto& c : cases) {
        Strings args{"improve", sourcePath(c.file).string(), "-o", (dir / "out.wmf").string()};
        for (const auto& s : c.sets) args = withArgs(args, {"--set", s});
        SCOPED_TRACE(testing::PrintToString(args));
        std::vector<Report> reps = reportsOf(runQuorvex(args));
        ASSERT_EQ(reps.size(), 1u);
        EXPECT_EQ(reps[0].background, c.background);
        EXPECT_EQ(reps[0].turned, c.turned);
        EXPECT_EQ(reps[0].notTurned, 0);
    }
}

TEST(ImproveCommand, PenSettingsReachThePens) {
    TempDir dir;
    const fs::path in = sourcePath("samples/floorplan.wmf");
    auto pensOf = [&](const Strings& sets) {
        Strings args{"improve", in.string(), "-o", (dir / "out.wmf").string()};
        for (const auto& s : sets) args = withArgs(args, {"--set", s});
        std::vector<Report> reps = reportsOf(runQuorvex(args));
        EXPECT_EQ(reps.size(), 1u);
        const WmfFile f = readWmfFile(dir / "out.wmf");
        std::vector<uint16_t> widths;
        for (const auto& p : f.recordsOf(uint16_t(mf::Fn::CreatePenIndirect)))
            widths.push_back(p.word(1));
        return std::make_pair(reps.empty() ? 0 : reps[0].pens, widths);
    };
    // A fixed width of 0.02 in at the sample's 1000 units per inch: 20 units.
    const auto [pens, widths] = pensOf({"Lineoptions=2", "FixedWidth=0.02"});
    ASSERT_FALSE(widths.empty());
    for (uint16_t w : widths) EXPECT_EQ(w, 20);
    EXPECT_GT(pens, 0);
    // The same width given in millimetres.
    const auto [pensMm, widthsMm] = pensOf({"Lineoptions=2", "IsMetric=1", "FixedWidth=0.508"});
    EXPECT_EQ(widthsMm, widths);
    EXPECT_EQ(pensMm, pens);
}

struct Refused {
    std::string set;
    std::string says;  // the setting and what it takes
};

TEST(ImproveCommand, RefusesSettingsItCannotTake) {
    const std::vector<Refused> cases = {
        {"Rotation=45", "Rotation takes 0, 90, 180, 270"},
        {"rotation=ninety", "Rotation takes 0, 90, 180, 270"},
        {"Crop=2", "Crop takes 0, 1"},
        {"Lineoptions=4", "Lineoptions takes 0..3"},
        {"oPalette=9", "oPalette takes 0..8"},
        {"Widthoptions=", "Widthoptions takes 0..3"},
        {"Lineoptions=1.5", "Lineoptions takes 0..3"},
        {"Percentage=0", "Percentage takes a number > 0"},
        {"FixedWidth=-0.1", "FixedWidth takes a number >= 0"},
        {"PictureWidth=wide", "PictureWidth takes a number > 0"},
        {"PictureWidth=nan", "PictureWidth takes a number > 0"},
        {"NoSuchSetting=1", "no such setting"},
        {"Colors=1", "no such setting"},
        {"Rotation", "NAME=VALUE"},
    };
    TempDir dir;
    const fs::path out = dir / "out.wmf";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.set);
        ProgramResult r = runQuorvex({"improve", sourcePath("samples/bracket.wmf").string(), "-o",
                                      out.string(), "--set", c.set});
        ASSERT_TRUE(r.exited) << r.describe();
        EXPECT_EQ(r.exitCode, 2) << r.describe();
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("usage: quorvex improve"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
    // An unknown name is answered with the names there are.
    ProgramResult r = runQuorvex({"improve", sourcePath("samples/bracket.wmf").string(), "-o",
                                  out.string(), "--set", "Rotate=90"});
    for (const char* name : {"Rotation", "Crop", "IsMetric", "Percentage", "FixedWidth"})
        EXPECT_NE(r.err.find(name), std::string::npos) << name << " in " << r.err;
    EXPECT_FALSE(fs::exists(out));
}

TEST(ImproveCommand, AFailedFileKeepsItsTargetAndTheOthersAreDone) {
    TempDir dir;
    const fs::path outDir = dir / "out";
    fs::create_directory(outDir);

    const fs::path missing = dir / "missing.wmf";
    const fs::path cut = dir / "cut.wmf";
    mf::Bytes cutBytes = TestPicture::sound().bytes();
    cutBytes.resize(30);
    writeFile(cut, cutBytes);
    const fs::path shortDib = dir / "short-dib.wmf";
    TestPicture damaged = TestPicture::sound();
    damaged.records[TestPicture::kStretchDib] = TestPicture::stretchDib(2, 2, 24, 8);
    writeFile(shortDib, damaged.bytes());
    const fs::path good1 = sourcePath("samples/bracket.wmf");
    const fs::path good2 = sourcePath("samples/titleblock.wmf");

    // Targets of the failing files exist already, with bytes the test knows.
    const mf::Bytes known{'k', 'e', 'e', 'p', ' ', 'm', 'e'};
    for (const auto* p : {&missing, &cut, &shortDib}) writeFile(outDir / p->filename(), known);

    const std::vector<fs::path> inputs{good1, missing, cut, shortDib, good2};
    for (const std::string jobs : {"1", "3"}) {
        SCOPED_TRACE("-j " + jobs);
        ProgramResult r = runQuorvex(improveArgs(inputs, {"-j", jobs, "-d", outDir.string()}));
        ASSERT_TRUE(r.exited) << r.describe();
        EXPECT_EQ(r.exitCode, 1) << r.describe();
        // Each failure is told on standard error with the file's name first.
        for (const auto* p : {&missing, &cut, &shortDib}) {
            EXPECT_NE(r.err.find("quorvex: " + p->string() + ": "), std::string::npos) << r.err;
            EXPECT_EQ(readFile(outDir / p->filename()), known) << *p;
        }
        EXPECT_NE(r.err.find("Unable to open " + missing.string()), std::string::npos) << r.err;
        // The good files are done and reported, in order; nothing for the others.
        Strings lines = splitLines(r.out);
        ASSERT_EQ(lines.size(), 2u) << r.out;
        EXPECT_EQ(lines[0].rfind((outDir / good1.filename()).string() + ": ", 0), 0u);
        EXPECT_EQ(lines[1].rfind((outDir / good2.filename()).string() + ": ", 0), 0u);
        expectLoads(outDir / good1.filename());
        expectLoads(outDir / good2.filename());
        EXPECT_EQ(folderListing(outDir).size(), 5u) << "no temporary file is left";
        fs::remove(outDir / good1.filename());
        fs::remove(outDir / good2.filename());
    }

    // With -o the same: the target keeps its bytes.
    const fs::path target = dir / "target.wmf";
    writeFile(target, known);
    ProgramResult r = runQuorvex({"improve", shortDib.string(), "-o", target.string()});
    EXPECT_EQ(r.exitCode, 1) << r.describe();
    EXPECT_NE(r.err.find("quorvex: " + shortDib.string() + ": "), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(readFile(target), known);
}

struct BadCall {
    Strings args;
    std::string says;
};

TEST(ImproveCommand, BadCommandLinesAreRefusedBeforeAnyWork) {
    TempDir dir;
    const std::string a = sourcePath("samples/bracket.wmf").string();
    const std::string b = sourcePath("samples/floorplan.wmf").string();
    // Two inputs with the same name in different folders.
    fs::create_directories(dir / "x");
    fs::create_directories(dir / "y");
    writeFile(dir / "x" / "p.wmf", readFile(a));
    writeFile(dir / "y" / "p.wmf", readFile(b));
    const std::string xp = (dir / "x" / "p.wmf").string(), yp = (dir / "y" / "p.wmf").string();
    const std::string outDir = (dir / "out").string(), out = (dir / "out.wmf").string();
    const std::vector<BadCall> cases = {
        {{"improve"}, "no file given"},
        {{"improve", a}, "-o OUT, -d DIR or --in-place"},
        {{"improve", a, b, "-j", "2"}, "-o OUT, -d DIR or --in-place"},
        {{"improve", a, b, "-o", out}, "exactly one file"},
        {{"improve", a, "-o", out, "-d", outDir}, "choose one of"},
        {{"improve", a, "--in-place", "-o", out}, "choose one of"},
        {{"improve", a, "-o"}, "-o needs"},
        {{"improve", xp, yp, "-d", outDir}, "would both be written to"},
        {{"improve", xp, (dir / "x" / "." / "p.wmf").string(), "--in-place"},
         "would both be written"},
        {{"improve", a, "-d", outDir, "-j", "0"}, "-j needs"},
        {{"improve", a, "-d", outDir, "-j", "-1"}, "-j needs"},
        {{"improve", a, "-d", outDir, "-j", "many"}, "-j needs"},
        {{"improve", a, "-d", outDir, "-j2x"}, "-j needs"},
        {{"improve", a, "-d", outDir, "-j"}, "-j needs"},
        {{"improve", a, "-d", outDir, "--fast"}, "unknown option '--fast'"},
    };
    const Strings before = folderListing(dir.path());
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        ProgramResult r = runQuorvex(c.args);
        ASSERT_TRUE(r.exited) << r.describe();
        EXPECT_EQ(r.exitCode, 2) << r.describe();
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("usage: quorvex improve"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(folderListing(dir.path()), before) << "nothing is written or created";
    }
    EXPECT_EQ(readFile(xp), readFile(a));
}

TEST(ImproveCommand, WorkerCountsThatAreAllowed) {
    TempDir dir;
    for (const Strings& jobs : {Strings{"-j", "1"}, Strings{"-j8"}, Strings{"--jobs", "64"}}) {
        SCOPED_TRACE(jobs[0]);
        std::vector<Report> reps = reportsOf(
            runQuorvex(improveArgs(samples(), withArgs(jobs, {"-d", (dir / jobs[0]).string()}))));
        EXPECT_EQ(reps.size(), samples().size());
    }
}

TEST(ImproveCommand, HelpDescribesTheCommand) {
    ProgramResult r = runQuorvex({"improve", "--help"});
    ASSERT_TRUE(r.exited) << r.describe();
    EXPECT_EQ(r.exitCode, 0);
    for (const char* s : {"usage: quorvex improve", "-o OUT", "-d DIR", "--in-place", "-j N",
                          "--set NAME=VALUE", "-q", "IsMetric", "Exit status"})
        EXPECT_NE(r.out.find(s), std::string::npos) << s;
    ProgramResult top = runQuorvex({"--help"});
    EXPECT_NE(top.out.find("improve FILE..."), std::string::npos) << top.out;
}

}  // namespace
}  // namespace qv::test
