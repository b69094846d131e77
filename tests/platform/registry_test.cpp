#include "platform/registry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace qv::platform {
namespace {

namespace fs = std::filesystem;

const std::string kOptions = "Software\\Talmund\\Quorvex\\Options";
const std::string kPrefs = "Software\\Talmund\\Quorvex\\Preferences";

void writeText(const fs::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << text;
    ASSERT_TRUE(out.good()) << p;
}

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

unsigned modeOf(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st.st_mode & 0777;
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

// "registry.reg.damaged-YYYYMMDD-HHMMSS", possibly followed by "-N".
bool isDamagedName(const std::string& name) {
    const std::string prefix = "registry.reg.damaged-";
    if (name.compare(0, prefix.size(), prefix) != 0) return false;
    std::string rest = name.substr(prefix.size());
    auto digits = [](const std::string& s) {
        return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return isdigit(c); });
    };
    if (rest.size() < 15 || rest[8] != '-') return false;
    if (!digits(rest.substr(0, 8)) || !digits(rest.substr(9, 6))) return false;
    return rest.size() == 15 || (rest[15] == '-' && digits(rest.substr(16)));
}

RegistryHive parsed(const std::string& text) {
    auto hive = RegistryHive::parse(text);
    EXPECT_TRUE(hive.has_value()) << text;
    return hive ? std::move(*hive) : RegistryHive();
}

// --- the hive text ----------------------------------------------------------

struct ValueCase {
    const char* what;
    RegValue value;
    const char* line;  // as written in the file
};

class HiveValues : public ::testing::TestWithParam<ValueCase> {};

TEST_P(HiveValues, AreWrittenInExportFormAndReadBack) {
    const ValueCase& c = GetParam();
    RegistryHive hive;
    hive.set(kOptions, "Value", c.value);
    std::string text = hive.text();
    EXPECT_NE(text.find(std::string("\r\n") + c.line + "\r\n"), std::string::npos) << text;
    RegistryHive again = parsed(text);
    EXPECT_EQ(again.get(kOptions, "Value"), c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HiveValues,
    ::testing::Values(
        ValueCase{"zero", RegValue::fromDword(0), "\"Value\"=dword:00000000"},
        ValueCase{"ten", RegValue::fromDword(10), "\"Value\"=dword:0000000a"},
        ValueCase{"minus one", RegValue::fromDword(uint32_t(int32_t(-1))),
                  "\"Value\"=dword:ffffffff"},
        ValueCase{"most negative", RegValue::fromDword(uint32_t(INT32_MIN)),
                  "\"Value\"=dword:80000000"},
        ValueCase{"colour", RegValue::fromDword(0x00FFFFFF), "\"Value\"=dword:00ffffff"},
        ValueCase{"real", RegValue::fromText("0.500000"), "\"Value\"=\"0.500000\""},
        ValueCase{"empty text", RegValue::fromText(""), "\"Value\"=\"\""},
        ValueCase{"backslashes", RegValue::fromText("C:\\Drawings\\a.wmf"),
                  "\"Value\"=\"C:\\\\Drawings\\\\a.wmf\""},
        ValueCase{"trailing backslash", RegValue::fromText("C:\\"), "\"Value\"=\"C:\\\\\""},
        ValueCase{"quotes", RegValue::fromText("say \"hi\""), "\"Value\"=\"say \\\"hi\\\"\""},
        ValueCase{"utf-8",
                  RegValue::fromText("Gr\xC3\xBC\xC3\x9F"
                                     "e \xE2\x82\xAC"),
                  "\"Value\"=\"Gr\xC3\xBC\xC3\x9F"
                  "e \xE2\x82\xAC\""},
        ValueCase{"dword-looking text", RegValue::fromText("dword:00000001"),
                  "\"Value\"=\"dword:00000001\""}),
    [](const auto& info) {
        std::string n = info.param.what;
        for (char& ch : n) {
            if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        }
        return n;
    });

// An export as the platform's registry editor writes it, with lines of every
// kind the hive must keep.
const std::string kExport =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; written by hand\r\n"
    "[HKEY_CURRENT_USER\\Software\\Talmund\\Quorvex\\Options]\r\n"
    "\"Crop\"=dword:00000001\r\n"
    "\"Margin\"=\"0,75\"\r\n"
    "@=\"default text\"\r\n"
    "\"Blob\"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
    "  16,17,18\r\n"
    "\"Path\"=hex(2):25,00,55,00,00,00\r\n"
    "\"Gone\"=-\r\n"
    "this line means nothing\r\n"
    "\"Percentage\"=dword:00000064\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Talmund\\Quorvex\\Options]\r\n"
    "\"Crop\"=dword:00000007\r\n"
    "\"Machine\"=\"only here\"\r\n"
    "\r\n"
    "[-HKEY_CURRENT_USER\\Software\\Talmund\\Old]\r\n"
    "\r\n"
    "[hkey_current_user\\software\\talmund\\quorvex\\PREFERENCES]\r\n"
    "\"IsMetric\"=dword:1\r\n"
    "\r\n";

struct LookupCase {
    std::string key;
    std::string name;
    std::optional<RegValue> expected;
};

class HiveLookups : public ::testing::TestWithParam<LookupCase> {};

TEST_P(HiveLookups, FindTheValuesOfTheCurrentUserOnly) {
    const LookupCase& c = GetParam();
    RegistryHive hive = parsed(kExport);
    EXPECT_EQ(hive.get(c.key, c.name), c.expected) << c.key << " / " << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HiveLookups,
    ::testing::Values(
        LookupCase{kOptions, "Crop", RegValue::fromDword(1)},
        LookupCase{kOptions, "crop", RegValue::fromDword(1)},
        LookupCase{"software\\TALMUND\\quorvex\\options", "MARGIN", RegValue::fromText("0,75")},
        LookupCase{kOptions, "", RegValue::fromText("default text")},
        LookupCase{kOptions, "Percentage", RegValue::fromDword(100)},
        // Other types and deleted values are no REG_DWORD or REG_SZ.
        LookupCase{kOptions, "Blob", std::nullopt}, LookupCase{kOptions, "Path", std::nullopt},
        LookupCase{kOptions, "Gone", std::nullopt}, LookupCase{kOptions, "Missing", std::nullopt},
        // Values under another root are not the current user's.
        LookupCase{kOptions, "Machine", std::nullopt},
        LookupCase{kPrefs, "IsMetric", RegValue::fromDword(1)},
        LookupCase{"Software\\Talmund\\Quorvex", "Crop", std::nullopt}));

TEST(RegistryHive, KeepsEveryLineOfAFileItDidNotChange) {
    for (std::string text : {kExport, std::string()}) {
        if (text.empty()) {
            // The same export with \n line ends and no line end at the close.
            text = withLf(kExport);
            text.erase(text.size() - 2);
        }
        RegistryHive hive = parsed(text);
        EXPECT_EQ(hive.text(), text);
    }
}

TEST(RegistryHive, ChangesOnlyWhatItSets) {
    RegistryHive hive = parsed(kExport);
    hive.set(kOptions, "MARGIN", RegValue::fromText("0.250000"));  // replaced in place
    hive.set(kOptions, "blob", RegValue::fromDword(2));            // other type replaced
    hive.set(kOptions, "Rotation", RegValue::fromDword(90));       // end of its block
    hive.set(kPrefs, "Tooltip", RegValue::fromDword(0));           // key spelt otherwise
    hive.set("Software\\Talmund\\Quorvex\\Statistics", "Jobs", RegValue::fromDword(3));
    hive.set("Software\\Talmund\\Quorvex\\Statistics", "Since", RegValue::fromDword(4));
    const std::string expected =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; written by hand\r\n"
        "[HKEY_CURRENT_USER\\Software\\Talmund\\Quorvex\\Options]\r\n"
        "\"Crop\"=dword:00000001\r\n"
        "\"Margin\"=\"0.250000\"\r\n"
        "@=\"default text\"\r\n"
        "\"Blob\"=dword:00000002\r\n"
        "\"Path\"=hex(2):25,00,55,00,00,00\r\n"
        "\"Gone\"=-\r\n"
        "this line means nothing\r\n"
        "\"Percentage\"=dword:00000064\r\n"
        "\"Rotation\"=dword:0000005a\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Talmund\\Quorvex\\Options]\r\n"
        "\"Crop\"=dword:00000007\r\n"
        "\"Machine\"=\"only here\"\r\n"
        "\r\n"
        "[-HKEY_CURRENT_USER\\Software\\Talmund\\Old]\r\n"
        "\r\n"
        "[hkey_current_user\\software\\talmund\\quorvex\\PREFERENCES]\r\n"
        "\"IsMetric\"=dword:1\r\n"
        "\"Tooltip\"=dword:00000000\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\Talmund\\Quorvex\\Statistics]\r\n"
        "\"Jobs\"=dword:00000003\r\n"
        "\"Since\"=dword:00000004\r\n";
    EXPECT_EQ(hive.text(), expected);
}

TEST(RegistryHive, AValueSetAfterAHexContinuationGoesBelowIt) {
    RegistryHive hive = parsed(
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"Bin\"=hex:01,\\\n  02,\\\n  "
        "03\n\n[HKEY_USERS\\X]\n");
    hive.set("K", "New", RegValue::fromText("n"));
    EXPECT_EQ(
        hive.text(),
        "REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n\"Bin\"=hex:01,\\\n  02,\\\n  03\n\"New\"=\"n\"\n\n"
        "[HKEY_USERS\\X]\n");
}

TEST(RegistryHive, AKeyListedTwiceGivesAndTakesItsLastValue) {
    RegistryHive hive = parsed(
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"A\"=dword:00000001\n\n"
        "[HKEY_CURRENT_USER\\K]\n\"A\"=dword:00000002\n");
    EXPECT_EQ(hive.get("K", "A"), RegValue::fromDword(2));
    hive.set("K", "A", RegValue::fromDword(3));
    hive.set("K", "B", RegValue::fromDword(4));
    EXPECT_EQ(
        hive.text(),
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"A\"=dword:00000001\n\n"
        "[HKEY_CURRENT_USER\\K]\n\"A\"=dword:00000003\n\"B\"=dword:00000004\n");
}

TEST(RegistryHive, KnowsKeysAndTheirParents) {
    RegistryHive hive = parsed(kExport);
    EXPECT_TRUE(hive.hasKey(kOptions));
    EXPECT_TRUE(hive.hasKey("SOFTWARE\\talmund\\Quorvex\\options\\"));
    EXPECT_TRUE(hive.hasKey("Software\\Talmund"));  // a parent of a listed key
    EXPECT_FALSE(hive.hasKey("Software\\Talm"));
    EXPECT_FALSE(hive.hasKey("Software\\Talmund\\Old"));  // removed, not listed
    EXPECT_FALSE(hive.hasKey(kOptions + "\\Width"));

    hive.createKey(kOptions + "\\Width");
    hive.createKey(kOptions + "\\width");  // already there
    EXPECT_TRUE(hive.hasKey(kOptions + "\\Width"));
    std::string text = hive.text();
    EXPECT_TRUE(text.ends_with(
        "dword:1\r\n\r\n[HKEY_CURRENT_USER\\Software\\Talmund\\Quorvex\\Options\\Width]\r\n"))
        << text;
}

TEST(RegistryHive, RefusesALineBreakInsideAValue) {
    RegistryHive hive;
    EXPECT_THROW(hive.set("K", "A", RegValue::fromText("two\nlines")), std::invalid_argument);
    EXPECT_FALSE(hive.hasKey("K"));
}

TEST(RegistryHive, ParsesOnlyTextsThatAreHives) {
    struct Case {
        std::string text;
        bool hive;
    };
    const Case cases[] = {
        {"Windows Registry Editor Version 5.00\r\n", true},
        {"Windows Registry Editor Version 5.00", true},
        {"REGEDIT4\n\n[HKEY_CURRENT_USER\\K]\n", true},
        {"\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n", true},
        {"", false},
        {"\r\n", false},
        {"[HKEY_CURRENT_USER\\K]\n\"A\"=dword:00000001\n", false},
        {"\nWindows Registry Editor Version 5.00\n", false},
        {"Windows Registry Editor Version 4.00\n", false},
        {std::string("Windows Registry Editor Version 5.00\n\x01\x00\x02\x03", 41), false},
        {std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RegistryHive::parse(c.text).has_value(), c.hive) << c.text;
    }
}

// UTF-16LE with a byte-order mark, as the registry editor exports.
std::string utf16le(const std::string& utf8) {
    std::string out = "\xFF\xFE";
    for (size_t i = 0; i < utf8.size();) {
        auto b = uint8_t(utf8[i]);
        uint32_t cp;
        int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
        cp = extra == 0 ? b : b & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) cp = cp << 6 | (uint8_t(utf8[i + k]) & 0x3F);
        i += size_t(extra) + 1;
        auto unit = [&](uint32_t u) {
            out += char(u & 0xFF);
            out += char(u >> 8);
        };
        if (cp >= 0x10000) {
            unit(0xD800 + ((cp - 0x10000) >> 10));
            unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return out;
}

TEST(RegistryHive, ReadsUtf16ExportsAsUtf8) {
    const std::string music =
        "Gr\xC3\xBC\xC3\x9F"
        "e \xE2\x82\xAC \xF0\x9D\x84\x9E";
    const std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\Talmund\\Quorvex\\Options]\r\n"
        "\"Name\"=\"" +
        music +
        "\"\r\n"
        "\"Crop\"=dword:00000001\r\n";
    auto hive = RegistryHive::parse(utf16le(text));
    ASSERT_TRUE(hive.has_value());
    EXPECT_EQ(hive->get(kOptions, "Name"), RegValue::fromText(music));
    EXPECT_EQ(hive->get(kOptions, "Crop"), RegValue::fromDword(1));
    EXPECT_EQ(hive->text(), text);
    // Without the mark, too.
    auto bare = RegistryHive::parse(utf16le(text).substr(2));
    ASSERT_TRUE(bare.has_value());
    EXPECT_EQ(bare->text(), text);
}

// --- the hive file -------------------------------------------------------

class RegistryFile : public ::testing::Test {
  protected:
    test::TempDir dir;
    fs::path folder = dir / "config" / "quorvex";
    fs::path hivePath = folder / "registry.reg";
    Registry registry{hivePath};

    bool setValue(const std::string& name, const RegValue& v, std::string* problem = nullptr) {
        return registry.update(
            [&](RegistryHive& h) {
                h.set(kOptions, name, v);
                return true;
            },
            problem);
    }

    std::vector<fs::path> damagedFiles() const {
        std::vector<fs::path> found;
        for (const auto& e : fs::directory_iterator(folder)) {
            if (e.path().filename().string().find(".damaged-") != std::string::npos) {
                found.push_back(e.path());
            }
        }
        std::sort(found.begin(), found.end());
        return found;
    }
};

TEST_F(RegistryFile, WithoutAFileTheHiveIsEmpty) {
    std::string problem = "stale";
    RegistryHive hive = registry.read(&problem);
    EXPECT_EQ(problem, "");
    EXPECT_FALSE(hive.hasKey(kOptions));
    EXPECT_FALSE(fs::exists(folder));  // reading creates nothing
}

TEST_F(RegistryFile, TheFirstUpdateCreatesAPrivateFolderAndFile) {
    std::string problem;
    ASSERT_TRUE(setValue("Crop", RegValue::fromDword(1), &problem)) << problem;
    EXPECT_EQ(problem, "");
    EXPECT_EQ(modeOf(dir / "config"), 0700u);
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(modeOf(hivePath), 0600u);
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"registry.reg", "registry.reg.lock"}));
    EXPECT_EQ(readText(hivePath),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Talmund\\Quorvex\\Options]\r\n"
              "\"Crop\"=dword:00000001\r\n");

    ASSERT_TRUE(setValue("Crop", RegValue::fromDword(0)));
    ASSERT_TRUE(setValue("Margin", RegValue::fromText("0.500000")));
    RegistryHive hive = registry.read();
    EXPECT_EQ(hive.get(kOptions, "Crop"), RegValue::fromDword(0));
    EXPECT_EQ(hive.get(kOptions, "Margin"), RegValue::fromText("0.500000"));
}

TEST_F(RegistryFile, AnUpdateThatChangesNothingWritesNothing) {
    EXPECT_TRUE(registry.update([](RegistryHive&) { return false; }));
    EXPECT_FALSE(fs::exists(hivePath));
    fs::create_directories(folder);
    writeText(hivePath, kExport);
    EXPECT_TRUE(registry.update([](RegistryHive& h) {
        h.set("K", "A", RegValue::fromDword(1));
        return false;
    }));
    EXPECT_EQ(readText(hivePath), kExport);
}

TEST_F(RegistryFile, AnUpdateKeepsTheLinesItDoesNotOwnAndWritesUtf8) {
    fs::create_directories(folder);
    writeText(hivePath, utf16le(kExport));
    ASSERT_TRUE(setValue("Crop", RegValue::fromDword(0)));
    std::string expected = kExport;
    expected.replace(expected.find("\"Crop\"=dword:00000001"), 21, "\"Crop\"=dword:00000000");
    EXPECT_EQ(readText(hivePath), expected);
}

TEST_F(RegistryFile, ADamagedHiveIsMovedAsideAndTheNextUpdateStartsEmpty) {
    fs::create_directories(folder);
    writeText(hivePath, "this is not a hive\n");
    std::string problem;
    RegistryHive hive = registry.read(&problem);
    EXPECT_FALSE(hive.hasKey(kOptions));
    auto damaged = damagedFiles();
    ASSERT_EQ(damaged.size(), 1u);
    EXPECT_TRUE(isDamagedName(damaged[0].filename().string())) << damaged[0];
    EXPECT_EQ(readText(damaged[0]), "this is not a hive\n");
    EXPECT_NE(problem.find(damaged[0].string()), std::string::npos) << problem;
    EXPECT_FALSE(fs::exists(hivePath));

    // A second damaged file, this time found by an update, never replaces
    // the first one.
    writeText(hivePath, std::string("\0\0\0\0", 4));
    problem.clear();
    ASSERT_TRUE(setValue("Crop", RegValue::fromDword(1), &problem));
    auto both = damagedFiles();
    ASSERT_EQ(both.size(), 2u);
    fs::path second = both[0] == damaged[0] ? both[1] : both[0];
    EXPECT_EQ(readText(damaged[0]), "this is not a hive\n");
    EXPECT_EQ(readText(second), std::string("\0\0\0\0", 4));
    EXPECT_NE(problem.find(second.string()), std::string::npos) << problem;

    RegistryHive fresh = registry.read(&problem);
    EXPECT_EQ(problem, "");
    EXPECT_EQ(fresh.get(kOptions, "Crop"), RegValue::fromDword(1));
    EXPECT_EQ(fresh.text(),
              "Windows Registry Editor Version 5.00\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\Talmund\\Quorvex\\Options]\r\n"
              "\"Crop\"=dword:00000001\r\n");
}

TEST_F(RegistryFile, ADamagedHiveTakesTheNextFreeNumberedName) {
    fs::create_directories(folder);
    // Take the plain name of this second and the next few, so the move has to
    // number its name whenever it happens within them.
    std::time_t now = std::time(nullptr);
    std::vector<fs::path> taken;
    for (int s = 0; s < 30; ++s) {
        std::time_t t = now + s;
        std::tm local{};
        ::localtime_r(&t, &local);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
        fs::path p = hivePath.string() + ".damaged-" + stamp;
        writeText(p, "older " + std::to_string(s));
        taken.push_back(p);
    }
    writeText(hivePath, "garbage");
    std::string problem;
    registry.read(&problem);
    auto damaged = damagedFiles();
    ASSERT_EQ(damaged.size(), taken.size() + 1);
    for (size_t s = 0; s < taken.size(); ++s) {
        EXPECT_EQ(readText(taken[s]), "older " + std::to_string(s));
    }
    auto moved = std::find_if(damaged.begin(), damaged.end(), [&](const fs::path& p) {
        return std::find(taken.begin(), taken.end(), p) == taken.end();
    });
    ASSERT_NE(moved, damaged.end());
    EXPECT_EQ(moved->string().substr(moved->string().size() - 2), "-2");
    EXPECT_EQ(readText(*moved), "garbage");
}

TEST_F(RegistryFile, AnEmptyFileIsAnEmptyHiveNotADamagedOne) {
    fs::create_directories(folder);
    writeText(hivePath, "");
    std::string problem;
    registry.read(&problem);
    EXPECT_EQ(problem, "");
    EXPECT_TRUE(damagedFiles().empty());
    EXPECT_TRUE(fs::exists(hivePath));
}

TEST_F(RegistryFile, AHiveThatCannotBeReadIsReportedAndNeverReplaced) {
    fs::create_directories(hivePath);  // a folder where the file should be
    std::string problem;
    RegistryHive hive = registry.read(&problem);
    EXPECT_FALSE(hive.hasKey(kOptions));
    EXPECT_NE(problem.find(hivePath.string()), std::string::npos) << problem;

    problem.clear();
    errno = 0;
    EXPECT_FALSE(setValue("Crop", RegValue::fromDword(1), &problem));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_NE(problem, "");
    EXPECT_TRUE(fs::is_directory(hivePath));
    EXPECT_TRUE(damagedFiles().empty());
}

TEST_F(RegistryFile, AFolderThatCannotBeCreatedFailsTheUpdate) {
    writeText(dir / "config", "a file, not a folder");
    errno = 0;
    std::string problem;
    EXPECT_FALSE(setValue("Crop", RegValue::fromDword(1), &problem));
    EXPECT_EQ(errno, ENOTDIR);
    EXPECT_NE(problem, "");
    EXPECT_EQ(readText(dir / "config"), "a file, not a folder");
}

TEST_F(RegistryFile, ProcessesUpdatingAtOnceKeepEachOthersValues) {
    constexpr int kChildren = 8;
    constexpr int kRounds = 15;
    std::vector<pid_t> children;
    for (int c = 0; c < kChildren; ++c) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            for (int r = 0; r < kRounds; ++r) {
                std::string name = "Child" + std::to_string(c) + "Round" + std::to_string(r);
                ok = ok && setValue(name, RegValue::fromDword(uint32_t(c * 1000 + r)));
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::string problem;
    RegistryHive hive = registry.read(&problem);
    EXPECT_EQ(problem, "");
    for (int c = 0; c < kChildren; ++c) {
        for (int r = 0; r < kRounds; ++r) {
            std::string name = "Child" + std::to_string(c) + "Round" + std::to_string(r);
            EXPECT_EQ(hive.get(kOptions, name), RegValue::fromDword(uint32_t(c * 1000 + r)))
                << name;
        }
    }
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"registry.reg", "registry.reg.lock"}));
}

// --- where the hive lives ------------------------------------------------

class HiveLocation : public ::testing::Test {
  protected:
    void SetUp() override {
        save("XDG_CONFIG_HOME");
        save("HOME");
    }
    void TearDown() override {
        for (auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

  private:
    void save(const std::string& name) {
        const char* v = std::getenv(name.c_str());
        saved_.emplace_back(name, v ? std::optional<std::string>(v) : std::nullopt);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(HiveLocation, FollowsTheConfigFolderOfTheUser) {
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_CONFIG_HOME", "/elsewhere/cfg", 1);
    EXPECT_EQ(Registry::defaultHivePath(), fs::path("/elsewhere/cfg/quorvex/registry.reg"));
    ::setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(Registry::defaultHivePath(), fs::path("/home/someone/.config/quorvex/registry.reg"));
    ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1);
    EXPECT_EQ(Registry::defaultHivePath(), fs::path("/home/someone/.config/quorvex/registry.reg"));
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(Registry::defaultHivePath(), fs::path("/home/someone/.config/quorvex/registry.reg"));
    EXPECT_EQ(Registry().path(), Registry::defaultHivePath());
}

TEST_F(HiveLocation, WithoutHomeTheUserDatabaseNamesTheHomeFolder) {
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("HOME");
    fs::path p = Registry::defaultHivePath();
    EXPECT_TRUE(p.is_absolute()) << p;
    EXPECT_EQ(p.parent_path().parent_path().filename(), ".config");
}

}  // namespace
}  // namespace qv::platform
