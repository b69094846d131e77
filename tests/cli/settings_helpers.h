// What the settings tests need around a run of quorvex: a settings folder of
// the test's own, and readers for what the programs write there and into
// option files, and for the listings of quorvex options.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_helpers.h"
#include "cli/run_program.h"
#include "support/test_support.h"

namespace qv::test {

inline std::string readText(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + p.string());
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeText(const std::filesystem::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) throw std::runtime_error("cannot write " + p.string());
}

inline bool sameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// A settings folder that only the programs of one test see.
class ConfigHome {
  public:
    ConfigHome() { options_.configHome = dir_.path(); }

    ProgramResult run(const std::vector<std::string>& args) const {
        return runQuorvex(args, options_);
    }
    std::filesystem::path folder() const { return dir_ / "quorvex"; }
    std::filesystem::path hivePath() const { return folder() / "registry.reg"; }
    bool hasHive() const { return std::filesystem::exists(hivePath()); }
    std::string hiveText() const { return hasHive() ? readText(hivePath()) : std::string(); }
    void writeHive(const std::string& text) const {
        std::filesystem::create_directories(folder());
        writeText(hivePath(), text);
    }

  private:
    TempDir dir_;
    RunOptions options_;
};

inline constexpr const char* kHiveHeader = "Windows Registry Editor Version 5.00";
inline constexpr const char* kQuorvexKey = "Software\\Talmund\\Quorvex";

// The text right of '=' of value `name` under key `keyPath` (below
// HKEY_CURRENT_USER) of a hive, e.g. `dword:0000005a` or `"2.000000"`.
inline std::optional<std::string> hiveValue(const std::string& hive, const std::string& keyPath,
                                            const std::string& name) {
    const std::string wantedKey = "[HKEY_CURRENT_USER\\" + keyPath + "]";
    bool inKey = false;
    for (const auto& raw : splitLines(hive)) {
        std::string line = raw;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '[') {
            inKey = sameNoCase(line, wantedKey);
            continue;
        }
        if (!inKey || line.size() < 2 || line[0] != '"') continue;
        const size_t close = line.find("\"=", 1);
        if (close == std::string::npos) continue;
        if (sameNoCase(line.substr(1, close - 1), name)) return line.substr(close + 2);
    }
    return std::nullopt;
}

// A value of the program's own key: hiveValue(hive, "Software\Talmund\Quorvex\" + subkey, name).
inline std::optional<std::string> storedValue(const std::string& hive, const std::string& subkey,
                                              const std::string& name) {
    return hiveValue(hive, std::string(kQuorvexKey) + "\\" + subkey, name);
}

// One section of an initialization file, its entries in file order.
struct IniSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;
};

inline std::vector<IniSection> parseIni(const std::string& text) {
    std::vector<IniSection> sections;
    for (const auto& raw : splitLines(text)) {
        std::string line = raw;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            sections.push_back({line.substr(1, line.size() - 2), {}});
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos || sections.empty()) continue;
        sections.back().entries.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return sections;
}

inline std::vector<std::string> sectionNames(const std::vector<IniSection>& sections) {
    std::vector<std::string> names;
    for (const auto& s : sections) names.push_back(s.name);
    return names;
}

inline const IniSection* findSection(const std::vector<IniSection>& sections,
                                     const std::string& name) {
    for (const auto& s : sections)
        if (sameNoCase(s.name, name)) return &s;
    return nullptr;
}

inline std::vector<std::string> keysOf(const IniSection& section) {
    std::vector<std::string> keys;
    for (const auto& e : section.entries) keys.push_back(e.first);
    return keys;
}

inline std::optional<std::string> iniValue(const std::vector<IniSection>& sections,
                                           const std::string& section, const std::string& key) {
    if (const IniSection* s = findSection(sections, section))
        for (const auto& e : s->entries)
            if (sameNoCase(e.first, key)) return e.second;
    return std::nullopt;
}

// One line "NAME VALUE  (default D; accepts A)" of quorvex options.
struct SettingLine {
    std::string value;
    std::string defaultValue;
    std::string accepts;
};

// The listing of quorvex options: every setting line by name, and the
// statistics lines "Jobs N" and "Since T". Any other line fails the test.
struct SettingsListing {
    std::map<std::string, SettingLine> settings;
    std::map<std::string, int> lineCount;  // how often each name was listed
    std::optional<long long> jobs;
    std::optional<long long> since;

    std::string value(const std::string& name) const {
        auto it = settings.find(name);
        return it == settings.end() ? "(not listed)" : it->second.value;
    }
};

inline SettingsListing parseListing(const std::string& out) {
    static const std::regex setting(R"((\S+) (\S+)  \(default (\S+); accepts (.+)\))");
    static const std::regex statistic(R"((Jobs|Since) (-?\d+))");
    SettingsListing listing;
    for (const auto& line : splitLines(out)) {
        std::smatch m;
        if (std::regex_match(line, m, statistic)) {
            (m[1] == "Jobs" ? listing.jobs : listing.since) = std::stoll(m[2].str());
        } else if (std::regex_match(line, m, setting)) {
            listing.settings[m[1].str()] = {m[2].str(), m[3].str(), m[4].str()};
            ++listing.lineCount[m[1].str()];
        } else {
            ADD_FAILURE() << "not a line of the settings listing: '" << line << "'";
        }
    }
    return listing;
}

// One line of quorvex options --colors.
struct ColorLine {
    int index = 0;
    std::string width;  // as printed, "0.010000"
    std::string unit;   // "in" or "mm"
    uint32_t line = 0;
    uint32_t fill = 0;
    int equals = 0;
};

inline std::vector<ColorLine> parseColors(const std::string& out) {
    static const std::regex re(
        R"(Color(\d+) width=(-?\d+\.\d+)(in|mm) line=0x([0-9A-F]{8}) fill=0x([0-9A-F]{8}) )"
        R"(equals=(\d+))");
    std::vector<ColorLine> rows;
    for (const auto& l : splitLines(out)) {
        std::smatch m;
        if (!std::regex_match(l, m, re)) {
            ADD_FAILURE() << "not a colour line: '" << l << "'";
            continue;
        }
        rows.push_back({std::stoi(m[1].str()), m[2].str(), m[3].str(),
                        uint32_t(std::stoul(m[4].str(), nullptr, 16)),
                        uint32_t(std::stoul(m[5].str(), nullptr, 16)), std::stoi(m[6].str())});
    }
    return rows;
}

// How often `what` occurs in `text`.
inline size_t countOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

}  // namespace qv::test
