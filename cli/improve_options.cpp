#include "cli/improve_options.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <map>
#include <system_error>

#include "settings/setting_table.h"

namespace qv::cli {

namespace {

// A whole number in base 10, all of the text.
bool parseLong(const std::string& text, long long& value) {
    if (text.empty() || text.find_first_of(" \t\n") != std::string::npos) return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && end == text.c_str() + text.size();
}

bool parseReal(const std::string& text, double& value) {
    if (text.empty() || text.find_first_of(" \t\n") != std::string::npos) return false;
    errno = 0;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end == text.c_str() + text.size() && std::isfinite(value);
}

bool parseJobs(const std::string& text, unsigned& jobs, std::string& error) {
    long long n = 0;
    if (!parseLong(text, n) || n < 1 || n > INT_MAX) {
        error = "-j needs a number of worker threads of at least 1, not '" + text + "'";
        return false;
    }
    jobs = unsigned(n);
    return true;
}

bool setMode(ImproveOptions& o, OutputMode mode, std::string& error) {
    if (o.mode != OutputMode::None && o.mode != mode) {
        error = "choose one of -o OUT, -d DIR and --in-place";
        return false;
    }
    if (o.mode == mode) {
        error = mode == OutputMode::InPlace ? "--in-place is given twice"
                                            : "only one output may be given";
        return false;
    }
    o.mode = mode;
    return true;
}

std::string settingNames() {
    std::string names;
    for (const auto& s : intSettings()) names += (names.empty() ? "" : ", ") + std::string(s.name);
    for (const auto& s : realSettings()) names += ", " + std::string(s.name);
    return names;
}

// The key under which two paths name the same file, also when the file does
// not exist yet.
std::string sameFileKey(const std::filesystem::path& p) {
    std::error_code ec;
    std::filesystem::path abs = std::filesystem::absolute(p, ec);
    if (ec) return p.lexically_normal().string();
    std::filesystem::path canon = std::filesystem::weakly_canonical(abs, ec);
    return (ec ? abs.lexically_normal() : canon).string();
}

}  // namespace

bool parseImproveArgs(const Args& args, ImproveOptions& o, std::string& error) {
    bool filesOnly = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](const char* what) -> const std::string* {
            if (i + 1 >= args.size()) {
                error = a + " needs " + what;
                return nullptr;
            }
            return &args[++i];
        };
        if (filesOnly || a.size() < 2 || a[0] != '-') {
            o.files.push_back(a);
        } else if (a == "--") {
            filesOnly = true;
        } else if (a == "-o" || a == "--output") {
            const std::string* v = value("a file name");
            if (!v || !setMode(o, OutputMode::File, error)) return false;
            o.output = *v;
        } else if (a == "-d" || a == "--dir") {
            const std::string* v = value("a folder name");
            if (!v || !setMode(o, OutputMode::Folder, error)) return false;
            o.output = *v;
        } else if (a == "--in-place") {
            if (!setMode(o, OutputMode::InPlace, error)) return false;
        } else if (a == "-j" || a == "--jobs") {
            const std::string* v = value("a number of worker threads");
            if (!v || !parseJobs(*v, o.jobs, error)) return false;
        } else if (a.rfind("-j", 0) == 0 && a.size() > 2) {
            if (!parseJobs(a.substr(2), o.jobs, error)) return false;
        } else if (a == "--set") {
            const std::string* v = value("NAME=VALUE");
            if (!v) return false;
            size_t eq = v->find('=');
            if (eq == std::string::npos || eq == 0) {
                error = "--set needs NAME=VALUE, not '" + *v + "'";
                return false;
            }
            o.changes.push_back({v->substr(0, eq), v->substr(eq + 1)});
        } else if (a == "--options") {
            const std::string* v = value("an option file");
            if (!v) return false;
            if (!o.optionsFile.empty()) {
                error = "--options is given twice";
                return false;
            }
            o.optionsFile = *v;
        } else if (a == "-q" || a == "--quiet") {
            o.quiet = true;
        } else {
            error = "unknown option '" + a + "'";
            return false;
        }
    }
    if (o.files.empty()) {
        error = "no file given";
        return false;
    }
    if (o.mode == OutputMode::None) {
        error = "say where the results go: -o OUT, -d DIR or --in-place";
        return false;
    }
    if (o.mode == OutputMode::File && o.files.size() != 1) {
        error = "-o OUT takes exactly one file; use -d DIR for several";
        return false;
    }
    if (o.output.empty() && o.mode != OutputMode::InPlace) {
        error = "the output name is empty";
        return false;
    }
    return true;
}

bool applySetting(WmfSettings& settings, const SettingChange& c, std::string& error) {
    const IntSettingInfo* splash = findIntSetting("ShowSplash");
    if (const IntSettingInfo* info = findIntSetting(c.name); info && info != splash) {
        const std::string name(info->name);
        long long v = 0;
        if (!parseLong(c.value, v) || v < INT32_MIN || v > INT32_MAX ||
            !intAccepted(*info, int32_t(v))) {
            error =
                "--set " + c.name + "=" + c.value + ": " + name + " takes " + acceptedText(*info);
            return false;
        }
        settings.*(info->member) = int32_t(v);
        return true;
    }
    if (const RealSettingInfo* info = findRealSetting(c.name)) {
        const std::string name(info->name);
        double v = 0;
        if (!parseReal(c.value, v) || !realValid(*info, v)) {
            error = "--set " + c.name + "=" + c.value + ": " + name + " takes a number " +
                    validText(*info);
            return false;
        }
        settings.*(info->member) = v;
        return true;
    }
    error = "--set " + c.name + ": no such setting; the settings are " + settingNames();
    return false;
}

bool planTargets(const ImproveOptions& o, std::vector<std::filesystem::path>& targets,
                 std::string& error) {
    targets.clear();
    for (const auto& f : o.files) {
        switch (o.mode) {
            case OutputMode::File:
                targets.emplace_back(o.output);
                break;
            case OutputMode::Folder:
                targets.push_back(std::filesystem::path(o.output) /
                                  std::filesystem::path(f).filename());
                break;
            default:
                targets.emplace_back(f);
                break;
        }
        if (std::filesystem::path(f).filename().empty()) {
            error = "'" + f + "' is not a file name";
            return false;
        }
    }
    std::map<std::string, size_t> seen;
    for (size_t i = 0; i < targets.size(); ++i) {
        auto [it, fresh] = seen.emplace(sameFileKey(targets[i]), i);
        if (!fresh) {
            error = o.files[it->second] + " and " + o.files[i] + " would both be written to " +
                    targets[i].string();
            return false;
        }
    }
    return true;
}

}  // namespace qv::cli
