#include "cli/improve_job.h"

#include <cstdio>
#include <exception>
#include <system_error>

#include "engine/engine.h"
#include "engine/render.h"

namespace qv::cli {

platform::MessageResult BufferingUserInterface::showMessage(const platform::MessageBox& box) {
    messages.push_back(box);
    switch (box.buttons) {
        case platform::MessageButtons::YesNo:
        case platform::MessageButtons::YesNoCancel:
            return platform::MessageResult::Yes;
        default:
            return platform::MessageResult::Ok;
    }
}

ImproveResult improveFile(const WmfSettings& base, const std::string& source,
                          const std::filesystem::path& target) {
    ImproveResult r;
    r.source = source;
    r.target = target;
    std::error_code ec;
    r.inputBytes = std::filesystem::file_size(source, ec);
    if (ec) r.inputBytes = 0;

    WmfSettings settings = base;
    BufferingUserInterface ui;
    try {
        Engine engine(settings, ui);
        r.ok = ImproveFile(engine, source, target, 0);
        r.outputSize = engine.state.OutputSize;
        r.outputScale = engine.state.OutputScale;
        r.stats = engine.state.Stats;
    } catch (const std::exception& e) {
        // Out of memory on a huge picture, most likely; the next file may fare better.
        r.ok = false;
        ui.ShowError(0, "Unable to improve %s:\n%s", source.c_str(), e.what());
    }
    if (!r.ok && ui.messages.empty()) ui.ShowError(0, "Unable to improve %s.", source.c_str());
    r.metric = settings.IsMetric != 0;
    r.messages = std::move(ui.messages);
    return r;
}

namespace {

std::string counted(int32_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string describeResult(const ImproveResult& r) {
    const RewriteStats& s = r.stats;
    std::string line = r.target.string() + ": ";
    if (r.outputScale > 0) {
        double w = r.outputSize.cx / r.outputScale, h = r.outputSize.cy / r.outputScale;
        if (r.metric) {
            w *= 2.54;
            h *= 2.54;
        }
        char size[80];
        std::snprintf(size, sizeof size, "%.2f x %.2f %s", w, h, r.metric ? "cm" : "in");
        line += size;
    } else {
        line += "no printed size";
    }
    line += "; " + counted(s.PensRewritten, "pen", "pens") + ", " +
            counted(s.FillsRewritten, "fill", "fills") + ", " +
            counted(s.ColorsRewritten, "colour", "colours") + " rewritten";
    line += "; " + counted(s.OutlinesRemoved, "outline", "outlines") + " removed";
    line += "; background ";
    line += s.BackgroundsRemoved > 0 ? "removed" : s.BackgroundsKept > 0 ? "kept" : "none";
    line += "; " + counted(s.BitmapsTurned, "bitmap", "bitmaps") + " turned";
    if (s.BitmapsNotTurned > 0) line += ", " + std::to_string(s.BitmapsNotTurned) + " not turned";
    line += "; " + std::to_string(s.RecordsIn) + " -> " + std::to_string(s.RecordsOut) + " records";
    return line;
}

std::string describeMessages(const ImproveResult& r) {
    std::string text;
    for (const auto& m : r.messages)
        text += "quorvex: " + r.source + ": " + m.caption + ": " + m.text + "\n";
    return text;
}

}  // namespace qv::cli
