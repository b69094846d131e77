// What the stores, the command line and SetIntOption/SetRealOption need to know about each
// scalar setting: its stored name, default, accepted values, key and field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "settings/program_kind.h"
#include "settings/wmf_settings.h"

namespace qv {

// Registry subkey and option-file section that holds a setting. Version is the program's own
// version subkey.
enum class SettingKey { Options, Preferences, Version };

// "Options", "Preferences", or the version subkey of the given program.
std::string_view keyName(SettingKey key, ProgramKind program);

// The values an integer setting keeps when loaded or set.
struct AcceptedSet {
    enum class Kind { Any, Range, List };

    Kind kind = Kind::Any;
    std::int32_t low = 0;                  // Range: first accepted value
    std::int32_t high = 0;                 // Range: last accepted value
    std::array<std::int32_t, 4> values{};  // List: the accepted values, count of them used
    std::size_t count = 0;

    static constexpr AcceptedSet any() { return {}; }
    static constexpr AcceptedSet range(std::int32_t first, std::int32_t last) {
        return {Kind::Range, first, last, {}, 0};
    }
    static constexpr AcceptedSet flag() { return {Kind::List, 0, 0, {0, 1}, 2}; }
    static constexpr AcceptedSet list(std::int32_t a, std::int32_t b, std::int32_t c,
                                      std::int32_t d) {
        return {Kind::List, 0, 0, {a, b, c, d}, 4};
    }
};

struct IntSettingInfo {
    std::string_view name;
    std::int32_t defaultValue;
    AcceptedSet accepted;
    SettingKey key;
    std::int32_t WmfSettings::*member;
};

// The test a real setting must pass. NaN passes neither.
enum class RealTest { NonNegative, Positive };

struct RealSettingInfo {
    std::string_view name;
    double defaultValue;
    RealTest test;
    SettingKey key;
    double WmfSettings::*member;
};

// All integer settings (ShowSplash last) and all real settings, each in record order.
std::span<const IntSettingInfo> intSettings();
std::span<const RealSettingInfo> realSettings();

// Lookup by stored name, without regard to case; nullptr when there is no such setting.
const IntSettingInfo* findIntSetting(std::string_view name);
const RealSettingInfo* findRealSetting(std::string_view name);

bool intAccepted(const IntSettingInfo& info, std::int32_t value);
bool realValid(const RealSettingInfo& info, double value);

// What a load keeps: the value when it is accepted (valid), else the setting's default.
std::int32_t acceptedOrDefault(const IntSettingInfo& info, std::int32_t value);
double validOrDefault(const RealSettingInfo& info, double value);

// The accepted set as text: "0..3", "0, 1", "0, 90, 180, 270" or "any".
std::string acceptedText(const IntSettingInfo& info);
// The validity test as text: ">= 0" or "> 0".
std::string validText(const RealSettingInfo& info);

}  // namespace qv
