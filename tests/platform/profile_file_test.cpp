#include "platform/profile_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace qv::platform {
namespace {

namespace fs = std::filesystem;

void writeText(const fs::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << text;
    ASSERT_TRUE(out.good()) << p;
}

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The text with \n line ends in place of \r\n.
std::string withLf(std::string text) {
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    return text;
}

std::vector<std::string> filesIn(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

// A file with every kind of line a reader has to cope with.
const std::string kFile =
    "; Quorvex options\r\n"
    "Orphan=outside any section\r\n"
    "[Quorvex]\r\n"
    "Program Type=Qtray.exe\r\n"
    "ColorOnly = 1 \r\n"
    "\r\n"
    "[ Options ]  ; trailing words\r\n"
    "Crop=1\r\n"
    "  Margin  =  0,75  \r\n"
    "just some words\r\n"
    "=no key\r\n"
    "Rotation=90\r\n"
    "crop=0\r\n"
    "Quoted=\"  spaced  \"\r\n"
    "HalfQuoted=\"open\r\n"
    "Lone=\"\r\n"
    "Equation=a=b=c\r\n"
    "Empty=\r\n"
    "[broken\r\n"
    "AfterBroken=still Options\r\n"
    "\r\n"
    "[Options\\Width]\r\n"
    "Color1=0.010000\r\n"
    "[options]\r\n"
    "Crop=5\r\n"
    "Late=only in the second copy\r\n";

struct LookupCase {
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

class ProfileLookups : public ::testing::TestWithParam<LookupCase> {};

TEST_P(ProfileLookups, FindTheFirstKeyOfTheFirstSection) {
    const LookupCase& c = GetParam();
    ProfileDocument doc = ProfileDocument::fromText(kFile);
    EXPECT_EQ(doc.get(c.section, c.key), c.expected) << c.section << " / " << c.key;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileLookups,
    ::testing::Values(
        LookupCase{"Quorvex", "Program Type", "Qtray.exe"},
        LookupCase{"QUORVEX", "program type", "Qtray.exe"}, LookupCase{"Quorvex", "ColorOnly", "1"},
        LookupCase{"options", "CROP", "1"},  // the first of Crop and crop
        LookupCase{"Options", "Margin", "0,75"}, LookupCase{"Options", "Rotation", "90"},
        LookupCase{"Options", "Quoted", "  spaced  "},
        LookupCase{"Options", "HalfQuoted", "\"open"}, LookupCase{"Options", "Lone", "\""},
        LookupCase{"Options", "Equation", "a=b=c"}, LookupCase{"Options", "Empty", ""},
        LookupCase{"Options", "AfterBroken", "still Options"},
        LookupCase{"Options", "just some words", std::nullopt},
        LookupCase{"Options", "", std::nullopt},
        LookupCase{"Options", "Late", std::nullopt},  // second copy unseen
        LookupCase{"Options", "Color1", std::nullopt},
        LookupCase{"options\\width", "color1", "0.010000"}, LookupCase{"", "Orphan", std::nullopt},
        LookupCase{"broken", "AfterBroken", std::nullopt},
        LookupCase{"Preferences", "IsMetric", std::nullopt}));

TEST(ProfileDocument, WritesBackEveryLineItDidNotChange) {
    const std::string lf = withLf(kFile);
    const std::string texts[] = {
        kFile,  lf,           lf.substr(0, lf.size() - 1), "\xEF\xBB\xBF[A]\r\nk=v\r\n", "",
        "\n\n", "no line end"};
    for (const std::string& text : texts) {
        EXPECT_EQ(ProfileDocument::fromText(text).text(), text);
    }
    EXPECT_EQ(ProfileDocument::fromText("\xEF\xBB\xBF[A]\r\nk=v\r\n").get("A", "k"), "v");
}

struct SetCase {
    const char* what;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

class ProfileSets : public ::testing::TestWithParam<SetCase> {};

TEST_P(ProfileSets, FollowTheUpdateRules) {
    const SetCase& c = GetParam();
    ProfileDocument doc = ProfileDocument::fromText(c.before);
    doc.set(c.section, c.key, c.value);
    EXPECT_EQ(doc.text(), c.after);
    EXPECT_EQ(ProfileDocument::fromText(doc.text()).get(c.section, c.key), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileSets,
    ::testing::Values(
        SetCase{"replace_in_place", "[A]\r\nx=1\r\nCrop=1\r\ny=2\r\n", "a", "CROP", "0",
                "[A]\r\nx=1\r\nCrop=0\r\ny=2\r\n"},
        SetCase{"replace_spaced_and_quoted", "[A]\r\n  Crop  = \"1\" \r\n", "A", "Crop", "7",
                "[A]\r\nCrop=7\r\n"},
        SetCase{"replace_first_of_two", "[A]\r\nk=1\r\nk=2\r\n[a]\r\nk=3\r\n", "A", "k", "9",
                "[A]\r\nk=9\r\nk=2\r\n[a]\r\nk=3\r\n"},
        SetCase{"append_to_section_before_its_blank_lines", "[A]\r\nx=1\r\n\r\n\r\n[B]\r\ny=2\r\n",
                "A", "z", "3", "[A]\r\nx=1\r\nz=3\r\n\r\n\r\n[B]\r\ny=2\r\n"},
        SetCase{"append_after_last_key_not_after_garbage",
                "[A]\r\nx=1\r\n; note\r\nwords\r\ny=2\r\n; about B\r\n[B]\r\n", "A", "z", "3",
                "[A]\r\nx=1\r\n; note\r\nwords\r\ny=2\r\nz=3\r\n; about B\r\n[B]\r\n"},
        SetCase{"append_to_empty_section", "[A]\r\n\r\n[B]\r\n", "A", "k", "v",
                "[A]\r\nk=v\r\n\r\n[B]\r\n"},
        SetCase{"append_to_last_section", "[A]\r\nx=1\r\n", "A", "k", "v", "[A]\r\nx=1\r\nk=v\r\n"},
        SetCase{"append_section", "[A]\r\nx=1\r\n", "Options\\Width", "Color1", "0.010000",
                "[A]\r\nx=1\r\n\r\n[Options\\Width]\r\nColor1=0.010000\r\n"},
        SetCase{"append_section_after_blank", "[A]\r\nx=1\r\n\r\n", "B", "k", "v",
                "[A]\r\nx=1\r\n\r\n[B]\r\nk=v\r\n"},
        SetCase{"first_section_in_empty_text", "", "Quorvex", "Program Type", "Qtray.exe",
                "[Quorvex]\r\nProgram Type=Qtray.exe\r\n"},
        SetCase{"lf_file_keeps_lf", "[A]\nx=1\n", "B", "k", "v", "[A]\nx=1\n\n[B]\nk=v\n"},
        SetCase{"lf_file_append_key", "[A]\nx=1\n[B]\n", "A", "k", "v", "[A]\nx=1\nk=v\n[B]\n"},
        SetCase{"no_final_line_end_replace", "[A]\nx=1", "A", "x", "2", "[A]\nx=2"},
        SetCase{"no_final_line_end_append", "[A]\nx=1", "A", "k", "v", "[A]\nx=1\nk=v\n"},
        SetCase{"key_outside_sections_untouched", "k=1\r\n[A]\r\n", "A", "k", "2",
                "k=1\r\n[A]\r\nk=2\r\n"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(ProfileDocument, RefusesLineBreaksThatWouldMakeNewLines) {
    ProfileDocument doc;
    EXPECT_THROW(doc.set("A", "k", "1\r\n[B]"), std::invalid_argument);
    EXPECT_THROW(doc.set("A\nB", "k", "1"), std::invalid_argument);
    EXPECT_EQ(doc.text(), "");
}

// --- the profile functions over files ------------------------------------

class ProfileFile : public ::testing::Test {
  protected:
    test::TempDir dir;
    fs::path file = dir / "options.qw3";
};

TEST_F(ProfileFile, IntegersAreTheLeadingDecimalNumber) {
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"12", 12},
        {"  -7", -7},
        {"+5", 5},
        {"12abc", 12},
        {"3.75", 3},
        {"abc", 0},
        {"", 0},
        {"-", 0},
        {"0x10", 0},
        {"\"42\"", 42},
        {"16777215", 16777215},
        {"-2147483648", INT32_MIN},
        {"4294967295", -1},
        {"- 3", 0},
    };
    std::string text = "[S]\r\n";
    for (size_t i = 0; i < std::size(cases); ++i) {
        text += "k" + std::to_string(i) + "=" + cases[i].text + "\r\n";
    }
    writeText(file, text);
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(GetPrivateProfileIntW("s", "K" + std::to_string(i), 99, file), cases[i].expected)
            << cases[i].text;
    }
    EXPECT_EQ(GetPrivateProfileIntW("S", "missing", -1, file), -1);
    EXPECT_EQ(GetPrivateProfileIntW("Other", "k0", 7, file), 7);
    EXPECT_EQ(GetPrivateProfileIntW("S", "k0", 7, dir / "no such file"), 7);
}

TEST_F(ProfileFile, TextsAreCutToTheBuffer) {
    writeText(file,
              "[Plotter/Device/WidthTable]\ncolor1=0.0123456789\ncolor2=\"0.25\"\n"
              "color3=\xC3\xA4\xC3\xB6\xC3\xBC\n");
    struct Case {
        const char* key;
        const char* fallback;
        size_t buffer;
        std::string expected;
    };
    const Case cases[] = {
        {"color1", "0", 10, "0.0123456"},
        {"color1", "0", 100, "0.0123456789"},
        {"color1", "0", 2, "0"},
        {"color1", "0", 1, ""},
        {"color1", "0", 0, ""},
        {"color2", "0", 10, "0.25"},
        {"color9", "0", 10, "0"},
        {"color9", "default text", 5, "defa"},
        {"color3", "", 3, "\xC3\xA4\xC3\xB6"},  // characters, never half of one
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetPrivateProfileStringW("plotter/device/widthtable", c.key, c.fallback, c.buffer,
                                           file),
                  c.expected)
            << c.key << " in " << c.buffer;
    }
}

TEST_F(ProfileFile, WritesGrowANewFileInOrderWithTheFilesLineEnds) {
    ASSERT_TRUE(WritePrivateProfileStringW("Quorvex", "Program Type", "Qtray.exe", file));
    ASSERT_TRUE(WritePrivateProfileStringW("Options", "Crop", "1", file));
    ASSERT_TRUE(WritePrivateProfileStringW("Preferences", "IsMetric", "0", file));
    ASSERT_TRUE(WritePrivateProfileStringW("Options", "Margin", "0.500000", file));
    ASSERT_TRUE(WritePrivateProfileStringW("OPTIONS", "crop", "0", file));
    EXPECT_EQ(readText(file),
              "[Quorvex]\r\nProgram Type=Qtray.exe\r\n\r\n"
              "[Options]\r\nCrop=0\r\nMargin=0.500000\r\n\r\n"
              "[Preferences]\r\nIsMetric=0\r\n");
    EXPECT_EQ(filesIn(dir.path()), std::vector<std::string>{"options.qw3"});

    fs::path lf = dir / "lf.ini";
    writeText(lf, "; keep me\n[Quorvex]\nColorOnly=1\n");
    ASSERT_TRUE(WritePrivateProfileStringW("Quorvex", "Program Type", "Qtray.exe", lf));
    ASSERT_TRUE(WritePrivateProfileStringW("Options", "Crop", "1", lf));
    EXPECT_EQ(readText(lf),
              "; keep me\n[Quorvex]\nColorOnly=1\nProgram Type=Qtray.exe\n\n[Options]\nCrop=1\n");
    EXPECT_EQ(ProfileDocument::load(lf).get("Quorvex", "ColorOnly"), "1");
}

TEST_F(ProfileFile, ADocumentSavedWholeReadsBackTheSame) {
    ProfileDocument doc = ProfileDocument::load(file);  // no file: empty
    EXPECT_EQ(doc.text(), "");
    doc.set("Options\\LineColor", "Color7", "16777215");
    doc.set("Options\\FillColor", "Color7", "-1");
    ASSERT_TRUE(doc.save(file));
    ProfileDocument again = ProfileDocument::load(file);
    EXPECT_EQ(again.text(), doc.text());
    EXPECT_EQ(GetPrivateProfileIntW("Options\\FillColor", "Color7", 0, file), -1);
    EXPECT_EQ(GetPrivateProfileIntW("options\\linecolor", "color7", 0, file), 16777215);
}

TEST_F(ProfileFile, AFailedWriteLeavesEverythingAsItWas) {
    fs::create_directory(dir / "folder");
    fs::path readOnly = dir / "read-only.qw3";
    writeText(readOnly, "[Options]\r\nCrop=1\r\n");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    struct Case {
        fs::path path;
        int error;
    };
    const Case cases[] = {
        {dir / "missing" / "options.qw3", ENOENT},
        {dir / "folder", EISDIR},
        {readOnly, EACCES},
    };
    const auto before = filesIn(dir.path());
    for (const Case& c : cases) {
        errno = 0;
        EXPECT_FALSE(WritePrivateProfileStringW("Options", "Crop", "0", c.path)) << c.path;
        EXPECT_EQ(errno, c.error) << c.path;
        ProfileDocument doc;
        doc.set("Options", "Crop", "0");
        errno = 0;
        EXPECT_FALSE(doc.save(c.path)) << c.path;
        EXPECT_EQ(errno, c.error) << c.path;
    }
    EXPECT_EQ(filesIn(dir.path()), before);
    EXPECT_TRUE(filesIn(dir / "folder").empty());
    EXPECT_EQ(readText(readOnly), "[Options]\r\nCrop=1\r\n");

    errno = 0;
    EXPECT_FALSE(WritePrivateProfileStringW("Options", "Crop", "0\n[Evil]", file));
    EXPECT_EQ(errno, EINVAL);
    EXPECT_FALSE(fs::exists(file));
}

}  // namespace
}  // namespace qv::platform
