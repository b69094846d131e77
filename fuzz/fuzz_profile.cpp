// Input: the text of a profile file. Reading and writing it back must give
// the same text; values set afterwards (drawn from the input) must read back,
// also after the text is read again.
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "fuzz/fuzz_support.h"
#include "platform/profile_file.h"

namespace {

// The blanks a profile file trims around names and values (form feeds and
// vertical tabs too), so no value can keep them at its ends.
bool blank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

using qv::platform::ProfileDocument;

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

// A name as a program writes one: no line break, no surrounding blanks, and
// none of the characters that end it ('=' for keys, ']' for sections) or
// start another kind of line.
std::string drawName(FuzzedDataProvider& in, bool section) {
    static const char* const kNames[] = {"Options", "options", "Preferences", "Crop", "Margin", "AutoModify", "Width1"};
    const size_t n = sizeof kNames / sizeof kNames[0];
    const size_t pick = in.ConsumeIntegralInRange<size_t>(0, n);
    if (pick < n) return kNames[pick];
    std::string raw = in.ConsumeRandomLengthString(24), s;
    for (char c : raw) {
        if (c == '\r' || c == '\n' || c == '\0' || c == '=' || c == ']' || c == '[' || c == ';') continue;
        s += c;
    }
    (void)section;
    while (!s.empty() && blank(s.front())) s.erase(0, 1);
    while (!s.empty() && blank(s.back())) s.pop_back();
    return s.empty() ? "k" : s;
}

// A value: anything on one line without surrounding blanks.
std::string drawValue(FuzzedDataProvider& in) {
    std::string raw = in.ConsumeRandomLengthString(40), s;
    for (char c : raw)
        if (c != '\r' && c != '\n' && c != '\0') s += c;
    while (!s.empty() && blank(s.front())) s.erase(0, 1);
    while (!s.empty() && blank(s.back())) s.pop_back();
    return s;
}

// What reading a value gives back: one pair of surrounding double quotes goes.
std::string unquoted(const std::string& s) {
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
    return s;
}

void expectValue(const ProfileDocument& doc, const std::string& section, const std::string& key,
                 const std::string& value, const char* where) {
    const auto got = doc.get(section, key);
    if (!got) qv::fuzz::fail(where, "[" + section + "] " + key + " is missing");
    if (*got != value) qv::fuzz::fail(where, "[" + section + "] " + key + " = '" + *got + "', set '" + value + "'");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ProfileDocument doc = ProfileDocument::fromText(text);
    // Every line comes back as it was, line ends included.
    if (doc.text() != text) qv::fuzz::fail("the text changed on reading and writing it back");

    FuzzedDataProvider in(data, size);
    std::map<std::pair<std::string, std::string>, std::pair<std::pair<std::string, std::string>, std::string>> set;
    const int calls = in.ConsumeIntegralInRange<int>(1, 4);
    for (int i = 0; i < calls; ++i) {
        const std::string section = drawName(in, true);
        const std::string key = drawName(in, false);
        const std::string stored = drawValue(in);
        const std::string value = unquoted(stored);
        doc.set(section, key, stored);
        expectValue(doc, section, key, value, "right after set()");
        set[{lower(section), lower(key)}] = {{section, key}, value};
    }
    for (const auto& [id, entry] : set) expectValue(doc, entry.first.first, entry.first.second, entry.second, "after all set() calls");
    const std::string written = doc.text();
    const ProfileDocument again = ProfileDocument::fromText(written);
    if (again.text() != written) qv::fuzz::fail("the written text changed on reading it again");
    for (const auto& [id, entry] : set) {
        expectValue(again, entry.first.first, entry.first.second, entry.second, "after reading the text again");
        // Names compare without regard to case.
        expectValue(again, id.first, id.second, entry.second, "after reading the text again, lower case");
    }
    return 0;
}
