#include "engine/render.h"

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "engine/extent_pass.h"
#include "engine/metafile/metafilepict.h"
#include "engine/placeable.h"
#include "engine/rewrite_pass.h"
#include "platform/system_error.h"

namespace qv {

using namespace mf;

namespace {

constexpr double kSinglePrecisionMmPerInch = double(25.4f);
constexpr double kMinScale = 1;       // the Inch field is an integer of at least 1
constexpr double kMaxScale = 65535;   // and holds 16 bits
constexpr double kDefaultScale = 1440;

bool sound(double v) { return std::isfinite(v) && v > 0; }

}  // namespace

double OutputScaleFor(const WmfSettings& st, const CMetafile& pic, Size out, bool* clamped) {
    double scale = 0;
    switch (st.Widthoptions) {
        case 0: scale = pic.UnitsPerInch * 100 / st.Percentage; break;
        case 1: scale = out.cx / (st.IsMetric ? st.PictureWidth / 2.54 : st.PictureWidth); break;
        case 2: scale = out.cy / (st.IsMetric ? st.PictureHeight / 2.54 : st.PictureHeight); break;
        case 3: {
            double s = st.IsMetric ? st.WMFScale / kSinglePrecisionMmPerInch : st.WMFScale;
            scale = (pic.Frame.bottom - pic.Frame.top) / ((s / st.DrawingScale) * pic.ViewHeight);
            break;
        }
        default: break;
    }
    if (!sound(scale)) {
        // No size of its own to scale from (no view height, an empty picture):
        // the picture's own size, else a width of PictureWidth.
        scale = pic.UnitsPerInch;
        if (!sound(scale) && out.cx > 0) scale = out.cx / (st.IsMetric ? st.PictureWidth / 2.54 : st.PictureWidth);
        if (!sound(scale)) scale = kDefaultScale;
    }
    bool c = false;
    if (scale < kMinScale) {
        scale = kMinScale;
        c = true;
    } else if (scale >= kMaxScale + 1) {
        scale = kMaxScale;
        c = true;
    }
    if (clamped) *clamped = c;
    return scale;
}

Size Render(Engine& engine, CMetafile& picture, Dc& output) {
    EngineState& s = engine.state;
    const WmfSettings& st = engine.settings;
    // A picture with nothing drawn has no extent to crop to: it keeps its frame.
    const bool nothingDrawn = picture.Extent.left > picture.Extent.right || picture.Extent.top > picture.Extent.bottom;
    s.WorkRect = nothingDrawn ? picture.Frame : CropRect(st, picture.Extent, picture.Frame);
    // A clipboard picture may bring any 32-bit frame: the size is kept in range.
    auto span = [](int32_t lo, int32_t hi) {
        return int32_t(std::clamp<int64_t>(int64_t(hi) - lo, INT32_MIN, INT32_MAX));
    };
    Size out{span(s.WorkRect.left, s.WorkRect.right), span(s.WorkRect.top, s.WorkRect.bottom)};
    if (st.Rotation == 90 || st.Rotation == 270) std::swap(out.cx, out.cy);

    bool clamped = false;
    s.OutputScale = OutputScaleFor(st, picture, out, &clamped);
    if (clamped) {
        engine.ui.ShowInfo(0,
                           "The picture cannot be stored at the size asked for: a Windows metafile holds "
                           "1 to 65535 units per inch. It is written at %.4g x %.4g inches instead.",
                           out.cx / s.OutputScale, out.cy / s.OutputScale);
    }

    // The output is about as large as the source; a little room spares a reallocation.
    const size_t sourceBytes = picture.Handle->bits().size();
    output.reserve(sourceBytes + sourceBytes / 16 + 1024);
    output.setMapMode(uint16_t(MM_ANISOTROPIC));
    output.setWindowOrg(0, 0);
    output.setWindowExt(int16_t(out.cx), int16_t(out.cy));

    s.PolygonPending = false;
    s.HasSavedPolygon = false;
    s.SavedPolygon.clear();
    s.SaveDepth = s.BlockDepth = 0;
    s.SkipNested = false;
    s.OutputSize = out;
    s.FirstExt = s.FirstOrg = true;
    s.FirstExtent = s.CurrentExtent = {};
    s.Stats = {};
    s.Stats.RecordsIn = int32_t(picture.Handle->recordCount() + 1);

    runRewritePass(engine, output, *picture.Handle);
    ++engine.settings.Jobs;
    return out;
}

Size RenderPicture(Engine& engine, CMetafile& picture, Dc& output) {
    platform::WaitCursor wait(engine.ui);
    if (!picture.IsLoaded() || !picture.Handle) {
        engine.ui.ShowError(0, "Metafile not properly loaded.");
        return {0, 0};
    }
    return Render(engine, picture, output);
}

bool SaveToFile(Engine& engine, CMetafile& picture, const std::filesystem::path& path) {
    auto dc = CreateMetaFileW();
    Size size = RenderPicture(engine, picture, *dc);
    MetafileHandle handle = CloseMetaFile(std::move(dc));
    engine.state.Stats.RecordsOut = int32_t(handle->recordCount() + 1);
    // An empty picture (nothing was loaded) still gets a usable scale.
    double scale = picture.IsLoaded() ? engine.state.OutputScale : kDefaultScale;
    if (!WritePlaceableFile(engine, handle, size, scale, path)) {
        std::string why = platform::SystemErrorText();
        engine.ui.ShowError(0, "Unable to write %s:\n%s", path.string().c_str(), why.c_str());
        return false;
    }
    DeleteMetaFile(handle);
    return true;
}

bool ImproveFile(Engine& engine, const std::filesystem::path& source, const std::filesystem::path& target,
                 double viewHeight) {
    CMetafile picture;
    picture.LoadPlaceableFile(engine, source, viewHeight);
    if (!picture.IsLoaded()) {
        std::string why = picture.LoadError.empty() ? platform::SystemErrorText() : picture.LoadError;
        engine.ui.ShowError(0, "Unable to open %s:\n%s", source.string().c_str(), why.c_str());
        return false;
    }
    return SaveToFile(engine, picture, target);
}

}  // namespace qv
