#include "settings/transfer.h"

#include <array>
#include <cstdio>

#include "platform/window_messages.h"
#include "settings/color_defaults.h"
#include "settings/compute_equals.h"
#include "settings/setting_table.h"
#include "settings/startup_corrections.h"

namespace qv {

namespace {

constexpr std::string_view kIdentity = "Quorvex";
constexpr std::string_view kStatistics = "Statistics";
constexpr std::string_view kWidths = "Options\\Width";
constexpr std::string_view kLineColors = "Options\\LineColor";
constexpr std::string_view kFillColors = "Options\\FillColor";

// The order in which loads and saves visit the settings; the first thirteen integers live under
// "Options", the others under "Preferences".
// clang-format off
constexpr std::array<std::string_view, 22> kIntOrder{
    "Crop", "Tilemode", "Paperlast", "LeaveMargin", "RemoveBackground", "WhiteBlack",
    "RemoveLines", "MakeBlack", "Lineoptions", "Filledoptions", "Widthoptions", "Outlinestoo",
    "Rotation",
    "IsMetric", "AskTilemode", "ReplaceCopyclip", "Tooltip", "PopupSaveas", "StartWithOptions",
    "AutoModify", "oPalette", "ForcedPalette",
};
constexpr std::array<std::string_view, 7> kRealOrder{
    "Margin", "FixedWidth", "Percentage", "PictureWidth", "PictureHeight", "WMFScale",
    "DrawingScale",
};
// clang-format on

template <typename Info, std::size_t N>
std::array<const Info*, N> resolve(const std::array<std::string_view, N>& names,
                                   const Info* (*find)(std::string_view)) {
    std::array<const Info*, N> infos{};
    for (std::size_t i = 0; i < N; ++i) infos[i] = find(names[i]);
    return infos;
}

const std::array<const IntSettingInfo*, kIntOrder.size()>& intOrder() {
    static const auto infos = resolve<IntSettingInfo>(kIntOrder, &findIntSetting);
    return infos;
}

const std::array<const RealSettingInfo*, kRealOrder.size()>& realOrder() {
    static const auto infos = resolve<RealSettingInfo>(kRealOrder, &findRealSetting);
    return infos;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

bool isReading(TransferMode mode) {
    return mode == TransferMode::ReadRegistry || mode == TransferMode::ReadFile;
}

bool isWriting(TransferMode mode) {
    return mode == TransferMode::WriteRegistry || mode == TransferMode::WriteFile;
}

std::string today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return settingsWrittenDate(local);
}

std::string colorName(int index) {
    char name[16];
    std::snprintf(name, sizeof name, "Color%d", index);
    return name;
}

}  // namespace

std::string settingsWrittenDate(const std::tm& date) {
    static constexpr std::array<const char*, 12> kMonths{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const int month = date.tm_mon < 0 ? 0 : date.tm_mon > 11 ? 11 : date.tm_mon;
    char text[32];
    std::snprintf(text, sizeof text, "%d-%s-%02d", date.tm_year + 1900,
                  kMonths[static_cast<std::size_t>(month)], date.tm_mday);
    return text;
}

// Reads run over one reading of the source, writes over one session that writes it once.
// Registry modes use the registry whatever `file` says.
bool SettingsTransfer::run(TransferMode mode, std::string_view file,
                           const std::function<bool(SettingsValues&)>& work) {
    const bool fileMode = mode == TransferMode::ReadFile || mode == TransferMode::WriteFile;
    const SettingsFile source = fileMode ? SettingsFile(file) : std::nullopt;
    if (isReading(mode)) {
        bool ok = false;
        store_.readSession(source, [&](SettingsValues& values) { ok = work(values); });
        return ok;
    }
    if (isWriting(mode)) return store_.writeSession(source, work);
    return false;
}

bool SettingsTransfer::TransferSettings(TransferMode mode, std::string_view file) {
    return run(mode, file, [&](SettingsValues& values) { return transferAll(values, mode); });
}

bool SettingsTransfer::TransferIntSettings(TransferMode mode, std::string_view fileOrName,
                                           std::int32_t value) {
    if (mode == TransferMode::SetByName) return transferInts(nullptr, mode, fileOrName, value);
    return run(mode, fileOrName,
               [&](SettingsValues& values) { return transferInts(&values, mode, {}, 0); });
}

bool SettingsTransfer::TransferRealSettings(TransferMode mode, std::string_view fileOrName,
                                            double value) {
    if (mode == TransferMode::SetByName) return transferReals(nullptr, mode, fileOrName, value);
    return run(mode, fileOrName,
               [&](SettingsValues& values) { return transferReals(&values, mode, {}, 0.0); });
}

bool SettingsTransfer::transferAll(SettingsValues& values, TransferMode mode) {
    if (isWriting(mode)) {
        // A source that cannot take the first value takes none.
        if (!values.WriteTextValue(kIdentity, "Program Type", program_.fileName)) return false;
        values.WriteTextValue(kIdentity, "Program Version", program_.version);
        values.WriteTextValue(kIdentity, "Settings written", today());
    }
    // Set by hand in a file: load the colours and nothing else.
    const bool colorOnly =
        mode == TransferMode::ReadFile && values.ReadIntValue(kIdentity, "ColorOnly", 0) != 0;
    if (!colorOnly) {
        transferInts(&values, mode, {}, 0);
        transferReals(&values, mode, {}, 0.0);
    }
    return transferColors(values, mode, colorOnly);
}

bool SettingsTransfer::transferInts(SettingsValues* values, TransferMode mode,
                                    std::string_view name, std::int32_t value) {
    for (const IntSettingInfo* info : intOrder()) {
        std::int32_t& field = settings_.*(info->member);
        const std::string_view key = keyName(info->key, program_.kind);
        if (mode == TransferMode::SetByName) {
            if (!sameName(info->name, name)) continue;
            const std::int32_t old = field;
            field = value;
            if (intAccepted(*info, field)) return true;
            field = old;
            return false;
        }
        if (isReading(mode)) {
            field =
                acceptedOrDefault(*info, values->ReadIntValue(key, info->name, info->defaultValue));
        } else if (!values->WriteIntValue(key, info->name, field)) {
            return false;
        }
    }
    if (mode == TransferMode::SetByName) return false;

    if (mode == TransferMode::ReadRegistry && settings_.ForcedPalette != -1) {
        settings_.oPalette = settings_.ForcedPalette;
        store_.ui().ShowInfo(0, "Warning: Palette will be forced to %d", settings_.ForcedPalette);
    }
    return true;
}

bool SettingsTransfer::transferReals(SettingsValues* values, TransferMode mode,
                                     std::string_view name, double value) {
    for (const RealSettingInfo* info : realOrder()) {
        double& field = settings_.*(info->member);
        const std::string_view key = keyName(info->key, program_.kind);
        if (mode == TransferMode::SetByName) {
            if (!sameName(info->name, name)) continue;
            if (!realValid(*info, value)) return false;
            field = value;
            return true;
        }
        if (isReading(mode)) {
            field =
                validOrDefault(*info, values->ReadRealValue(key, info->name, info->defaultValue));
        } else if (!values->WriteRealValue(key, info->name, field)) {
            return false;
        }
    }
    return mode != TransferMode::SetByName;
}

bool SettingsTransfer::transferColors(SettingsValues& values, TransferMode mode, bool colorOnly) {
    for (int i = 1; i < kColorCount; ++i) {
        ColorEntry& row = settings_.Colors[static_cast<std::size_t>(i)];
        const std::string name = colorName(i);
        if (isReading(mode)) {
            if (!colorOnly) {
                const double width = values.ReadRealValue(kWidths, name, kDefaultColorWidth);
                row.Width = width >= 0.0 ? width : kDefaultColorWidth;
            }
            const auto standard = static_cast<std::int32_t>(colors_.AciToRgb(i));
            row.LineColor = static_cast<ColorRef>(values.ReadIntValue(kLineColors, name, standard));
            row.FillColor = static_cast<ColorRef>(values.ReadIntValue(kFillColors, name, standard));
            continue;
        }
        if (!values.WriteRealValue(kWidths, name, row.Width) ||
            !values.WriteIntValue(kLineColors, name, static_cast<std::int32_t>(row.LineColor)) ||
            !values.WriteIntValue(kFillColors, name, static_cast<std::int32_t>(row.FillColor))) {
            return false;
        }
    }
    return true;
}

void SettingsTransfer::readStatistics(SettingsValues& values) {
    settings_.Jobs = values.ReadIntValue(kStatistics, "Jobs", 0);
    settings_.Since = values.ReadIntValue(kStatistics, "Since", 0);
    startStatisticsIfUnset(settings_);
    settings_.ShowSplash = values.ReadIntValue(program_.versionKey, "ShowSplash", 1);
}

bool SettingsTransfer::writeStatistics(SettingsValues& values) {
    // Since keeps only the low 32 bits of the time.
    const auto since = static_cast<std::int32_t>(static_cast<std::uint32_t>(settings_.Since));
    const bool jobs = values.WriteIntValue(kStatistics, "Jobs", settings_.Jobs);
    const bool started = values.WriteIntValue(kStatistics, "Since", since);
    const bool splash =
        values.WriteIntValue(program_.versionKey, "ShowSplash", settings_.ShowSplash);
    return jobs && started && splash;
}

void SettingsTransfer::LoadSettings() {
    ClipboardNotifyMessage = platform::RegisterWindowMessageW("Quorvex Clipboard");
    store_.setRoot(kSettingsRoot);
    store_.readSession(std::nullopt, [&](SettingsValues& values) {
        transferAll(values, TransferMode::ReadRegistry);
        ComputeEquals(settings_, colors_);
        applyStartupCorrections(settings_, program_.kind);
        readStatistics(values);
    });
}

bool SettingsTransfer::SaveSettings() {
    bool transferred = false;
    bool statistics = false;
    const bool written = store_.writeSession(std::nullopt, [&](SettingsValues& values) {
        transferred = transferAll(values, TransferMode::WriteRegistry);
        statistics = writeStatistics(values);
        return true;  // the statistics are written whatever the rest gave
    });
    return written && transferred && statistics;
}

bool SettingsTransfer::SetIntOption(std::string_view name, std::int32_t value) {
    return TransferIntSettings(TransferMode::SetByName, name, value);
}

bool SettingsTransfer::SetRealOption(std::string_view name, double value) {
    return TransferRealSettings(TransferMode::SetByName, name, value);
}

}  // namespace qv
