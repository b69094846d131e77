#include "settings/setting_table.h"

#include "settings/program_info.h"

#include <algorithm>

namespace qv {

namespace {

using S = WmfSettings;
using A = AcceptedSet;
constexpr SettingKey kOpt = SettingKey::Options;
constexpr SettingKey kPref = SettingKey::Preferences;

constexpr std::array kIntSettings{
    IntSettingInfo{"Lineoptions", 0, A::range(0, 3), kOpt, &S::Lineoptions},
    IntSettingInfo{"MakeBlack", 0, A::flag(), kOpt, &S::MakeBlack},
    IntSettingInfo{"Filledoptions", 0, A::range(0, 3), kOpt, &S::Filledoptions},
    IntSettingInfo{"Widthoptions", 0, A::range(0, 3), kOpt, &S::Widthoptions},
    IntSettingInfo{"Rotation", 0, A::list(0, 90, 180, 270), kOpt, &S::Rotation},
    IntSettingInfo{"Crop", 1, A::flag(), kOpt, &S::Crop},
    IntSettingInfo{"Tilemode", 1, A::flag(), kOpt, &S::Tilemode},
    IntSettingInfo{"Paperlast", 1, A::flag(), kOpt, &S::Paperlast},
    IntSettingInfo{"AskTilemode", 1, A::flag(), kPref, &S::AskTilemode},
    IntSettingInfo{"RemoveBackground", 1, A::flag(), kOpt, &S::RemoveBackground},
    IntSettingInfo{"WhiteBlack", 1, A::flag(), kOpt, &S::WhiteBlack},
    IntSettingInfo{"LeaveMargin", 1, A::flag(), kOpt, &S::LeaveMargin},
    IntSettingInfo{"ReplaceCopyclip", 0, A::flag(), kPref, &S::ReplaceCopyclip},
    IntSettingInfo{"Tooltip", 1, A::flag(), kPref, &S::Tooltip},
    IntSettingInfo{"PopupSaveas", 0, A::flag(), kPref, &S::PopupSaveas},
    IntSettingInfo{"StartWithOptions", 1, A::flag(), kPref, &S::StartWithOptions},
    IntSettingInfo{"Outlinestoo", 0, A::flag(), kOpt, &S::Outlinestoo},
    IntSettingInfo{"IsMetric", 0, A::flag(), kPref, &S::IsMetric},
    IntSettingInfo{"oPalette", 0, A::range(0, 8), kPref, &S::oPalette},
    IntSettingInfo{"ForcedPalette", -1, A::range(-1, 8), kPref, &S::ForcedPalette},
    IntSettingInfo{"RemoveLines", 0, A::flag(), kOpt, &S::RemoveLines},
    IntSettingInfo{"AutoModify", 1, A::range(0, 3), kPref, &S::AutoModify},
    IntSettingInfo{"ShowSplash", 1, A::any(), SettingKey::Version, &S::ShowSplash},
};

constexpr std::array kRealSettings{
    RealSettingInfo{"Margin", 0.5, RealTest::NonNegative, kOpt, &S::Margin},
    RealSettingInfo{"FixedWidth", 0.01, RealTest::NonNegative, kOpt, &S::FixedWidth},
    RealSettingInfo{"Percentage", 100.0, RealTest::Positive, kOpt, &S::Percentage},
    RealSettingInfo{"PictureWidth", 6.0, RealTest::Positive, kOpt, &S::PictureWidth},
    RealSettingInfo{"PictureHeight", 9.0, RealTest::Positive, kOpt, &S::PictureHeight},
    RealSettingInfo{"WMFScale", 1.0, RealTest::Positive, kOpt, &S::WMFScale},
    RealSettingInfo{"DrawingScale", 1.0, RealTest::Positive, kOpt, &S::DrawingScale},
};

bool sameName(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

template <typename Info, std::size_t N>
const Info* findByName(const std::array<Info, N>& table, std::string_view name) {
    auto it = std::find_if(table.begin(), table.end(),
                           [&](const Info& info) { return sameName(info.name, name); });
    return it == table.end() ? nullptr : &*it;
}

}  // namespace

std::string_view keyName(SettingKey key, ProgramKind program) {
    switch (key) {
        case SettingKey::Options:
            return "Options";
        case SettingKey::Preferences:
            return "Preferences";
        case SettingKey::Version:
            break;
    }
    return ProgramInfo::of(program).versionKey;
}

std::span<const IntSettingInfo> intSettings() {
    return kIntSettings;
}
std::span<const RealSettingInfo> realSettings() {
    return kRealSettings;
}

const IntSettingInfo* findIntSetting(std::string_view name) {
    return findByName(kIntSettings, name);
}

const RealSettingInfo* findRealSetting(std::string_view name) {
    return findByName(kRealSettings, name);
}

bool intAccepted(const IntSettingInfo& info, std::int32_t value) {
    const AcceptedSet& set = info.accepted;
    switch (set.kind) {
        case AcceptedSet::Kind::Any:
            return true;
        case AcceptedSet::Kind::Range:
            return value >= set.low && value <= set.high;
        case AcceptedSet::Kind::List:
            break;
    }
    const std::size_t count = std::min(set.count, set.values.size());
    return std::find(set.values.begin(), set.values.begin() + count, value) !=
           set.values.begin() + count;
}

bool realValid(const RealSettingInfo& info, double value) {
    // Written so that NaN, which compares false with everything, fails both tests.
    return info.test == RealTest::Positive ? value > 0.0 : value >= 0.0;
}

std::int32_t acceptedOrDefault(const IntSettingInfo& info, std::int32_t value) {
    return intAccepted(info, value) ? value : info.defaultValue;
}

double validOrDefault(const RealSettingInfo& info, double value) {
    return realValid(info, value) ? value : info.defaultValue;
}

std::string acceptedText(const IntSettingInfo& info) {
    const AcceptedSet& set = info.accepted;
    switch (set.kind) {
        case AcceptedSet::Kind::Any:
            return "any";
        case AcceptedSet::Kind::Range:
            return std::to_string(set.low) + ".." + std::to_string(set.high);
        case AcceptedSet::Kind::List:
            break;
    }
    std::string text;
    const std::size_t count = std::min(set.count, set.values.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) text += ", ";
        text += std::to_string(set.values[i]);
    }
    return text;
}

std::string validText(const RealSettingInfo& info) {
    return info.test == RealTest::Positive ? "> 0" : ">= 0";
}

}  // namespace qv
