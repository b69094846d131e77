// quorvex options: the stored settings, shown, set, loaded from and saved to
// option files.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "cli/cli.h"
#include "cli/settings_session.h"
#include "platform/system_error.h"
#include "settings/setting_table.h"

namespace qv::cli {

namespace {
constexpr const char* kUsage =
    "quorvex options [--colors] | options set NAME VALUE... | options load FILE | options save FILE";
constexpr const char* kHelp =
    "usage: quorvex options [--colors]\n"
    "       quorvex options set NAME VALUE [NAME VALUE]...\n"
    "       quorvex options load FILE\n"
    "       quorvex options save FILE\n"
    "\n"
    "The settings every Quorvex program loads at start (kept in\n"
    "$XDG_CONFIG_HOME/quorvex/registry.reg).\n"
    "\n"
    "  options           every setting, one line each: NAME VALUE, then its default and\n"
    "                    the values it accepts\n"
    "  options --colors  the colour table: for every colour index its line width, line\n"
    "                    colour and fill colour (0x00BBGGRR), and the lowest index of the\n"
    "                    same colour\n"
    "  options set       sets settings by name (without regard to case) and saves them; an\n"
    "                    integer value goes to an integer setting, else to a real one. If any\n"
    "                    value is refused nothing is saved.\n"
    "  options load      loads an option file (.qw3) and saves it as the stored settings; a\n"
    "                    file with another extension is imported as a plotter configuration\n"
    "                    (.pc2): its pen widths and pen numbers\n"
    "  options save      saves the stored settings to an option file; \".qw3\" is added to a\n"
    "                    name without it\n";

// Saves the record as the stored settings; on failure says where and why.
bool saveSettings(SettingsSession& s) {
    errno = 0;
    if (s.transfer.SaveSettings()) return true;
    const std::string why = platform::SystemErrorText();
    std::fprintf(stderr, "quorvex: the settings could not be saved to %s: %s\n",
                 s.registry.path().c_str(), why.c_str());
    return false;
}

int listSettings(SettingsSession& s) {
    for (const IntSettingInfo& i : intSettings()) {
        std::string name(i.name);
        std::printf("%s %s  (default %d; accepts %s)\n", name.c_str(), settingValueText(s.settings, name).c_str(),
                    i.defaultValue, acceptedText(i).c_str());
    }
    for (const RealSettingInfo& r : realSettings()) {
        std::string name(r.name);
        std::printf("%s %s  (default %f; accepts a number %s)\n", name.c_str(),
                    settingValueText(s.settings, name).c_str(), r.defaultValue, validText(r).c_str());
    }
    std::printf("Jobs %d\nSince %lld\n", s.settings.Jobs, static_cast<long long>(s.settings.Since));
    return kExitOk;
}

int listColors(SettingsSession& s) {
    const char* unit = s.settings.IsMetric ? "mm" : "in";
    for (int i = 1; i < 256; ++i) {
        const ColorEntry& c = s.settings.Colors[size_t(i)];
        std::printf("Color%d width=%f%s line=0x%08X fill=0x%08X equals=%d\n", i, c.Width, unit,
                    unsigned(c.LineColor), unsigned(c.FillColor), c.Equals);
    }
    return kExitOk;
}

int setSettings(SettingsSession& s, const Args& args) {
    if (args.size() < 3 || (args.size() - 1) % 2 != 0)
        return usageError("options set takes pairs of NAME VALUE", kUsage);
    for (size_t i = 1; i + 1 < args.size(); i += 2) {
        std::string error;
        if (!s.setOption(args[i], args[i + 1], error)) return usageError(error, kUsage);
    }
    if (!saveSettings(s)) return kExitFailed;
    for (size_t i = 1; i + 1 < args.size(); i += 2)
        std::printf("%s %s\n", args[i].c_str(), settingValueText(s.settings, args[i]).c_str());
    return kExitOk;
}

int loadFile(SettingsSession& s, const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        std::fprintf(stderr, "quorvex: %s: no such option file\n", path.c_str());
        return kExitFailed;
    }
    s.files.LoadOptionsFile(path);
    if (!saveSettings(s)) return kExitFailed;
    std::printf("loaded %s\n", path.c_str());
    return kExitOk;
}

// ".qw3" is added to a name that does not end in it (in any case).
std::string withOptionsExtension(const std::string& name) {
    if (name.size() >= 4) {
        std::string tail = name.substr(name.size() - 4);
        for (char& c : tail) c = char(std::toupper(static_cast<unsigned char>(c)));
        if (tail == ".QW3") return name;
    }
    return name + ".qw3";
}

int saveFile(SettingsSession& s, const std::string& name) {
    std::string path = withOptionsExtension(name);
    if (!s.files.SaveOptionsFile(path)) return kExitFailed;  // the message has been shown
    std::printf("saved %s\n", path.c_str());
    return kExitOk;
}

}  // namespace

int runOptions(const Args& args) {
    if (wantsHelp(args)) {
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    platform::StderrUserInterface ui;
    SettingsSession session(ui);
    session.load();
    if (args.empty()) return listSettings(session);
    const std::string& what = args[0];
    if (what == "--colors") {
        if (args.size() != 1) return usageError("--colors takes no arguments", kUsage);
        return listColors(session);
    }
    if (what == "set") return setSettings(session, args);
    if (what == "load" || what == "save") {
        if (args.size() != 2) return usageError("options " + what + " takes one file", kUsage);
        return what == "load" ? loadFile(session, args[1]) : saveFile(session, args[1]);
    }
    return usageError("unknown options command '" + what + "'", kUsage);
}

}  // namespace qv::cli
