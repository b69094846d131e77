#include "cli/settings_session.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "settings/setting_table.h"

namespace qv::cli {

SettingsSession::SettingsSession(platform::UserInterface& ui)
    : store(registry, ui), transfer(settings, colors, store, ProgramInfo::of(ProgramKind::CommandLine)) {}

namespace {

bool parseInteger(const std::string& text, int32_t& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end || errno || v < INT32_MIN || v > INT32_MAX) return false;
    out = int32_t(v);
    return true;
}

bool parseNumber(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return *end == 0 && std::isfinite(out);
}

}  // namespace

bool SettingsSession::setOption(const std::string& name, const std::string& value, std::string& error) {
    const IntSettingInfo* intInfo = findIntSetting(name);
    const RealSettingInfo* realInfo = findRealSetting(name);
    if ((!intInfo || intInfo->name == "ShowSplash") && !realInfo) {
        error = "there is no setting '" + name + "' (quorvex options lists them)";
        return false;
    }
    int32_t i = 0;
    double d = 0;
    const bool isInteger = parseInteger(value, i);
    if (isInteger && transfer.SetIntOption(name, i)) return true;
    if ((isInteger || parseNumber(value, d)) && realInfo) {
        if (isInteger) d = i;
        if (transfer.SetRealOption(name, d)) return true;
    }
    if (intInfo) {
        error = std::string(intInfo->name) + " takes " + acceptedText(*intInfo) + ", not '" + value + "'";
    } else {
        error = std::string(realInfo->name) + " takes a number " + validText(*realInfo) + ", not '" + value + "'";
    }
    return false;
}

std::string settingValueText(const WmfSettings& settings, const std::string& name) {
    char buf[64] = "";
    if (const IntSettingInfo* i = findIntSetting(name)) {
        std::snprintf(buf, sizeof buf, "%d", settings.*(i->member));
    } else if (const RealSettingInfo* r = findRealSetting(name)) {
        std::snprintf(buf, sizeof buf, "%f", settings.*(r->member));
    }
    return buf;
}

}  // namespace qv::cli
