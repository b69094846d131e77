#include "settings/option_files.h"

#include <cmath>
#include <cstdio>

#include "platform/profile_file.h"
#include "platform/user_interface.h"
#include "settings/compute_equals.h"
#include "settings/parse_real.h"
#include "settings/settings_values.h"

namespace qv {

namespace {

constexpr std::string_view kWidthTable = "Plotter/Device/WidthTable";
constexpr std::string_view kPenTable = "Plotter/Device/PenTable";
// The plotter file's values are read into buffers of this many characters.
constexpr std::size_t kPlotterBufferChars = 10;

platform::FileDialogRequest saveRequest() {
    platform::FileDialogRequest request;
    request.save = true;
    request.defaultExtension = ".qw3";
    request.initialFileName = "Qwmfout.qw3";
    request.filter = "Quorvex QW3 file (*.QW3)|*.QW3|";
    request.hideReadOnly = true;
    request.confirmOverwrite = true;
    return request;
}

platform::FileDialogRequest openRequest() {
    platform::FileDialogRequest request;
    request.save = false;
    request.defaultExtension = "QW3";
    request.initialFileName = "Qwmfout.QW3";
    request.filter = "Quorvex QW3 file (*.QW3)|*.QW3|Autodesk R14 PC2 file (*.PC2)|*.PC2|";
    request.hideReadOnly = true;
    return request;
}

bool isOptionsFile(const std::string& path) {
    if (path.size() < 4) return false;
    std::string suffix = path.substr(path.size() - 4);
    for (char& c : suffix) {
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    }
    return suffix == ".QW3";
}

}  // namespace

bool OptionFiles::SaveOptionsFile(const std::optional<std::string>& path) {
    const std::optional<std::string> chosen = path ? path : dialogs_.ask(saveRequest());
    if (!chosen) return false;
    platform::WaitCursor wait(transfer_.store().ui());
    return transfer_.TransferSettings(TransferMode::WriteFile, *chosen);
}

bool OptionFiles::LoadOptionsFile(const std::optional<std::string>& path) {
    const std::optional<std::string> chosen = path ? path : dialogs_.ask(openRequest());
    if (!chosen) return false;
    platform::WaitCursor wait(transfer_.store().ui());
    ComputeEquals(transfer_.settings(), transfer_.colors());
    if (isOptionsFile(*chosen)) {
        transfer_.TransferSettings(TransferMode::ReadFile, *chosen);
    } else {
        importPlotterFile(*chosen);
    }
    return true;
}

// Pen widths (inches) and pen numbers of the primary rows; the pen number becomes a grey fill.
void OptionFiles::importPlotterFile(const std::string& path) {
    WmfSettings& settings = transfer_.settings();
    const ColorIndexSource& colors = transfer_.colors();
    const platform::ProfileDocument document = platform::ProfileDocument::load(path);
    for (int i = 1; i < kColorCount; ++i) {
        ColorEntry& row = settings.Colors[static_cast<std::size_t>(i)];
        if (row.Equals != i) continue;
        char key[16];
        std::snprintf(key, sizeof key, "color%d", i);

        double width =
            ParseReal(profileString(document, kWidthTable, key, "0", kPlotterBufferChars), 0.0);
        if (settings.IsMetric == 1) width = std::floor(width * 25400.0 + 0.5) / 1000.0;
        row.Width = width;
        row.LineColor = colors.AciToRgb(i);

        const std::string pen = profileString(document, kPenTable, key, "0", kPlotterBufferChars);
        int number = 0;
        if (std::sscanf(pen.c_str(), "%d", &number) != 1) number = 0;
        row.FillColor = greyColor(static_cast<std::uint32_t>(number) & 0xFFu);
    }
}

}  // namespace qv
