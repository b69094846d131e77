// Input: the text of a hive file. A hive that parses must give the same
// values after its text is parsed again; values set afterwards (drawn from
// the input) must read back, also from the written text.
#include <cctype>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/registry.h"

namespace {

using qv::platform::RegistryHive;
using qv::platform::RegType;
using qv::platform::RegValue;

std::string clean(std::string raw, bool keyPart) {
    std::string s;
    for (char c : raw) {
        if (c == '\r' || c == '\n' || c == '\0') continue;
        if (keyPart && (c == '\\' || c == '[' || c == ']')) continue;
        s += c;
    }
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.erase(0, 1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

std::string drawKeyPath(FuzzedDataProvider& in) {
    static const char* const kPaths[] = {"Software\\Talmund\\Quorvex\\Options", "software\\talmund\\quorvex\\options",
                                         "Software\\Talmund\\Quorvex\\Preferences", "Software\\Talmund\\Quorvex",
                                         "Software\\Other"};
    const size_t n = sizeof kPaths / sizeof kPaths[0];
    const size_t pick = in.ConsumeIntegralInRange<size_t>(0, n);
    if (pick < n) return kPaths[pick];
    std::string path = "Software";
    const int parts = in.ConsumeIntegralInRange<int>(1, 3);
    for (int i = 0; i < parts; ++i) {
        std::string part = clean(in.ConsumeRandomLengthString(16), true);
        path += "\\" + (part.empty() ? std::string("K") : part);
    }
    return path;
}

std::string drawName(FuzzedDataProvider& in) {
    static const char* const kNames[] = {"Crop", "crop", "Margin", "AutoModify", "Lineoptions", "Jobs"};
    const size_t n = sizeof kNames / sizeof kNames[0];
    const size_t pick = in.ConsumeIntegralInRange<size_t>(0, n);
    if (pick < n) return kNames[pick];
    std::string s = clean(in.ConsumeRandomLengthString(20), false);
    return s.empty() ? "v" : s;
}

RegValue drawValue(FuzzedDataProvider& in) {
    if (in.ConsumeBool()) return RegValue::fromDword(in.ConsumeIntegral<uint32_t>());
    std::string raw = in.ConsumeRandomLengthString(40), s;
    for (char c : raw)
        if (c != '\r' && c != '\n' && c != '\0') s += c;
    return RegValue::fromText(s);
}

std::string show(const std::optional<RegValue>& v) {
    if (!v) return "(none)";
    if (v->type == RegType::Dword) return "dword " + std::to_string(v->dword);
    return "sz '" + v->text + "'";
}

void expectSame(const RegistryHive& a, const RegistryHive& b, const std::string& key, const std::string& name,
                const char* where) {
    const auto va = a.get(key, name), vb = b.get(key, name);
    if (va != vb) qv::fuzz::fail(where, key + " / " + name + ": " + show(va) + " became " + show(vb));
    if (a.hasKey(key) != b.hasKey(key)) qv::fuzz::fail(where, "key " + key + " appeared or went");
}

bool sameNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t k = 0; k < a.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(a[k])) != std::tolower(static_cast<unsigned char>(b[k])))
            return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::optional<RegistryHive> hive = RegistryHive::parse(text);
    if (!hive) return 0;

    FuzzedDataProvider in(data, size);
    struct Probe {
        std::string key, name;
    };
    std::vector<Probe> probes;
    for (int i = in.ConsumeIntegralInRange<int>(1, 4); i > 0; --i) probes.push_back({drawKeyPath(in), drawName(in)});

    const std::string written = hive->text();
    std::optional<RegistryHive> again = RegistryHive::parse(written);
    if (!again) qv::fuzz::fail("the written text of a hive is not a hive");
    for (const Probe& p : probes) expectSame(*hive, *again, p.key, p.name, "after parsing the written text");

    struct Set {
        std::string key, name;
        RegValue value;
    };
    std::vector<Set> sets;
    for (int i = in.ConsumeIntegralInRange<int>(1, 3); i > 0; --i) {
        Set s{drawKeyPath(in), drawName(in), drawValue(in)};
        hive->set(s.key, s.name, s.value);
        if (hive->get(s.key, s.name) != s.value)
            qv::fuzz::fail("right after set()", s.key + " / " + s.name + ": " + show(hive->get(s.key, s.name)));
        if (!hive->hasKey(s.key)) qv::fuzz::fail("set() did not create the key", s.key);
        sets.push_back(std::move(s));
    }
    const std::string written2 = hive->text();
    std::optional<RegistryHive> third = RegistryHive::parse(written2);
    if (!third) qv::fuzz::fail("the hive is no longer a hive after set()");
    for (size_t i = 0; i < sets.size(); ++i) {
        // A later set() of the same key and name (any case) wins.
        bool overwritten = false;
        for (size_t j = i + 1; j < sets.size(); ++j) {
            if (sameNoCase(sets[j].key, sets[i].key) && sameNoCase(sets[j].name, sets[i].name)) overwritten = true;
        }
        if (overwritten) continue;
        if (third->get(sets[i].key, sets[i].name) != sets[i].value)
            qv::fuzz::fail("after parsing the written text", sets[i].key + " / " + sets[i].name + ": set " +
                                                                   show(sets[i].value) + ", read " +
                                                                   show(third->get(sets[i].key, sets[i].name)));
    }
    for (const Probe& p : probes) {
        bool touched = false;
        for (const Set& s : sets) touched |= sameNoCase(s.key, p.key);
        if (!touched) expectSame(*hive, *third, p.key, p.name, "after set() and parsing again");
    }
    return 0;
}
