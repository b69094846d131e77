#include "engine/extent_pass.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>

#include "engine/metafile/gdi.h"
#include "engine/metafile/records.h"
#include "engine/metafile/text_measure.h"

namespace qv {

using namespace mf;

namespace {

constexpr uint16_t kEtoOpaque = 0x0002;
constexpr uint16_t kEtoClipped = 0x0004;
constexpr uint16_t kTaBaseline = 24;
constexpr uint16_t kTaBottom = 8;
constexpr uint16_t kTaCenter = 6;
constexpr uint16_t kTaRight = 2;

// Truncation toward zero, kept inside 32 bits (advance sums can exceed them).
int64_t truncClamped(double v) {
    if (!(v == v)) return 0;
    return int64_t(std::clamp(std::trunc(v), -2147483647.0, 2147483647.0));
}

int32_t clamp32(int64_t v) { return int32_t(std::clamp<int64_t>(v, -2147483647, 2147483647)); }

class ExtentPass final : public RecordVisitor {
public:
    ExtentPass(Engine& engine) : engine_(engine), s_(engine.state) {}

    HandleTable* table = nullptr;
    unsigned objects = 0;
    Dc throwAway;  // performs records for their objects only; never shown
    Dc reference;  // knows the current font, text alignment and window extent

    int onSaveDc(const Record& r) override {
        ++s_.SaveDepth;
        return perform(r);
    }
    int onRestoreDc(const Record& r) override {
        --s_.SaveDepth;  // one level, whatever the record asks for
        if (s_.SaveDepth == s_.BlockDepth) s_.SkipNested = false;
        return perform(r);
    }
    int onSetWindowOrg(const Record& r) override {
        if (r.field("x") != 0 || r.field("y") != 0) {
            s_.SkipNested = true;
            s_.BlockDepth = s_.SaveDepth - 1;
        }
        s_.FirstOrg = false;
        return perform(r);
    }
    int onSetWindowExt(const Record& r) override {
        if (s_.FirstExt) {
            s_.FirstWindowExt = {r.u16(1), r.u16(0)};
            s_.HasWindowExt = true;
        }
        performOnBoth(r);
        s_.FirstExt = false;
        return 1;
    }
    int onSelectObject(const Record& r) override { return performOnBoth(r); }
    int onSetTextAlign(const Record& r) override { return performOnBoth(r); }
    int onCreatePenIndirect(const Record& r) override {
        s_.LastPenColor = r.u32(3);
        return perform(r);
    }

    // Performed for their effect on objects and state; they draw nothing.
    int onRealizePalette(const Record& r) override { return perform(r); }
    int onCreatePalette(const Record& r) override { return perform(r); }
    int onSetBkMode(const Record& r) override { return perform(r); }
    int onSetMapMode(const Record& r) override { return perform(r); }
    int onSetRop2(const Record& r) override { return perform(r); }
    int onSetPolyFillMode(const Record& r) override { return perform(r); }
    int onSetStretchBltMode(const Record& r) override { return perform(r); }
    int onSetTextCharExtra(const Record& r) override { return perform(r); }
    int onSelectClipRegion(const Record& r) override { return perform(r); }
    int onDibCreatePatternBrush(const Record& r) override { return perform(r); }
    int onDeleteObject(const Record& r) override { return perform(r); }
    int onSetBkColor(const Record& r) override { return perform(r); }
    int onSetTextColor(const Record& r) override { return perform(r); }
    int onSelectPalette(const Record& r) override { return perform(r); }
    int onCreateFontIndirect(const Record& r) override { return perform(r); }
    int onCreateBrushIndirect(const Record& r) override { return perform(r); }
    int onExcludeClipRect(const Record& r) override { return perform(r); }
    int onIntersectClipRect(const Record& r) override { return perform(r); }
    int onPatBlt(const Record& r) override { return perform(r); }
    int onEscape(const Record& r) override { return perform(r); }
    // Objects the pass does not look at still take their slot, so that the
    // slots of later objects stay those the picture means.
    int onCreateRegion(const Record& r) override { return perform(r); }
    int onCreatePatternBrush(const Record& r) override { return perform(r); }

    int onLineTo(const Record& r) override { return point(r.field("x"), r.field("y")); }
    int onMoveTo(const Record& r) override { return point(r.field("x"), r.field("y")); }
    int onSetPixel(const Record& r) override { return point(r.field("x"), r.field("y")); }
    int onPolygon(const Record& r) override { return points(r, 1, r.u16(0)); }
    int onPolyline(const Record& r) override { return points(r, 1, r.u16(0)); }
    int onPolyPolygon(const Record& r) override {
        size_t polys = r.u16(0), total = 0;
        if (!r.has(1, polys)) return 1;
        for (size_t i = 0; i < polys; ++i) total += r.u16(1 + i);
        return points(r, 1 + polys, total);
    }
    int onEllipse(const Record& r) override { return corners(r); }
    int onRectangle(const Record& r) override {
        if (r.field("left") == 0 || r.field("top") == 0) return background();
        return corners(r);
    }
    int onArc(const Record& r) override {
        AddPoint(s_, r.field("xEnd"), r.field("yEnd"));
        AddPoint(s_, r.field("xStart"), r.field("yStart"));
        return corners(r);
    }
    int onExtTextOut(const Record& r) override { return textBox(r); }
    int onDibStretchBlt(const Record& r) override { return destination(r); }
    int onStretchDib(const Record& r) override { return destination(r); }

    // Records of pictures from drawing and office programs.
    int onTextOut(const Record& r) override;
    int onRoundRect(const Record& r) override { return corners(r); }
    int onPie(const Record& r) override { return onArc(r); }
    int onChord(const Record& r) override { return onArc(r); }
    int onDibBitBlt(const Record& r) override {
        // Both forms: the fields are read past the short form's reserved word.
        int32_t x = r.field("xDest"), y = r.field("yDest");
        AddPoint(s_, x, y);
        AddPoint(s_, x + r.field("width"), y + r.field("height"));
        return 1;
    }
    int onOffsetWindowOrg(const Record& r) override {
        // Moving the origin away opens a block, as a non-zero SETWINDOWORG does.
        if (r.field("x") != 0 || r.field("y") != 0) {
            s_.SkipNested = true;
            s_.BlockDepth = s_.SaveDepth - 1;
        }
        return perform(r);
    }

    // Everything else is neither performed nor counted.
    int onDefault(const Record&) override { return 1; }

private:
    int perform(const Record& r) {
        PlayMetaFileRecord(throwAway, *table, r, objects);
        return 1;
    }
    int performOnBoth(const Record& r) {
        PlayMetaFileRecord(throwAway, *table, r, objects);
        PlayMetaFileRecord(reference, *table, r, objects);
        return 1;
    }
    int point(int32_t x, int32_t y) {
        AddPoint(s_, x, y);
        return 1;
    }
    // `count` points starting at parameter word `first`; nothing when they
    // do not all fit in the record.
    int points(const Record& r, size_t first, size_t count) {
        if (!r.has(first, 2 * count)) return 1;
        const uint8_t* p = r.paramData() + 2 * first;
        for (size_t i = 0; i < count; ++i, p += 4) AddPoint(s_, rdI16(p), rdI16(p + 2));
        return 1;
    }
    int corners(const Record& r) {
        AddPoint(s_, r.field("right"), r.field("bottom"));
        AddPoint(s_, r.field("left"), r.field("top"));
        return 1;
    }
    int destination(const Record& r) {
        int32_t x = r.field("xDest"), y = r.field("yDest");
        AddPoint(s_, x, y);
        AddPoint(s_, x + r.field("destWidth"), y + r.field("destHeight"));
        return 1;
    }
    int background() {
        int& palette = engine_.settings.oPalette;
        uint32_t c = s_.LastPenColor;
        bool light = (c & 0xFF) > 128 || ((c >> 8) & 0xFF) > 128;
        if (light && (palette == 0 || palette == 2 || palette == 4 || palette == 6)) ++palette;
        s_.BackgroundColor = s_.LastPenColor;
        s_.BackgroundFound = true;
        return 1;
    }
    int textBox(const Record& r);
    // The box of `text` drawn at (x0, y0) with the reference DC's font and
    // alignment; `advanceSum`, when given, is the width instead of the measure.
    void addTextBox(int32_t x0, int32_t y0, std::string_view text,
                    std::optional<int64_t> advanceSum);

    Engine& engine_;
    EngineState& s_;
};

int ExtentPass::textBox(const Record& r) {
    if (s_.SkipNested || !r.has(0, 4)) return 1;
    const int32_t y0 = r.i16(0), x0 = r.i16(1);
    const size_t n = r.u16(2);
    const uint16_t options = r.u16(3);
    const size_t rectWords = (options & (kEtoClipped | kEtoOpaque)) ? 4 : 0;
    const size_t textWord = 4 + rectWords;
    const size_t textWords = (n + 1) / 2;
    if (!r.has(textWord, textWords)) return 1;
    std::string_view text(reinterpret_cast<const char*>(r.paramData() + 2 * textWord), n);

    // The advances count only when the record is exactly long enough to hold them.
    std::optional<int64_t> advanceSum;
    if (r.sizeWords() == 3 + textWord + textWords + n) {
        int64_t sum = 0;
        for (size_t i = 0; i < n; ++i) sum += r.u16(textWord + textWords + i);
        advanceSum = sum;
    }
    addTextBox(x0, y0, text, advanceSum);
    return 1;
}

// TEXTOUT (length, text padded to words, y, x) is measured as an EXTTEXTOUT
// without options and advances.
int ExtentPass::onTextOut(const Record& r) {
    if (s_.SkipNested || !r.has(0)) return 1;
    const size_t n = r.u16(0);
    const size_t textWords = (n + 1) / 2;
    if (!r.has(1 + textWords, 2)) return 1;
    std::string_view text(reinterpret_cast<const char*>(r.paramData() + 2), n);
    addTextBox(r.i16(2 + textWords), r.i16(1 + textWords), text, std::nullopt);
    return 1;
}

void ExtentPass::addTextBox(int32_t x0, int32_t y0, std::string_view text,
                            std::optional<int64_t> advanceSum) {
    const LogFont font = reference.selected(ObjectKind::Font)->font();
    TextExtent ext = GetTextExtentPoint32W(font, text);
    double cx = ext.cx, cy = ext.cy;
    if (advanceSum) cx = double(*advanceSum);
    const double ascent = GetTextMetricsW(font).ascent;
    const uint16_t align = reference.textAlign();
    const int angle = font.orientation != 0 ? font.orientation : font.escapement;
    const double theta = angle / 1800.0 * 3.14159265;
    const double sn = std::sin(theta), cs = std::cos(theta);

    int64_t x = x0, y = y0;
    switch (align & 0x18) {
        case kTaBaseline:
            x -= truncClamped(sn * ascent);
            y -= truncClamped(cs * ascent);
            break;
        case kTaBottom:
            x -= truncClamped(sn * cy);
            y -= truncClamped(cs * cy);
            break;
        default: break;
    }
    switch (align & 6) {
        case kTaCenter:
            x += truncClamped(cs * cx * -0.5);
            y += truncClamped(sn * cx * 0.5);
            break;
        case kTaRight:
            x -= truncClamped(cs * cx);
            y += truncClamped(sn * cx);
            break;
        default: break;
    }
    const int64_t a = truncClamped(cy * sn), b = truncClamped(cy * cs);
    const int64_t c = truncClamped(cx * cs), d = truncClamped(cx * sn);
    AddPoint(s_, clamp32(x), clamp32(y));
    AddPoint(s_, clamp32(x + a), clamp32(y + b));
    AddPoint(s_, clamp32(x + c), clamp32(y - d));
    AddPoint(s_, clamp32(x + a + c), clamp32(y + b - d));
}

}  // namespace

ExtentResult ComputeExtents(Engine& engine, const Metafile& picture, bool intelliCadPalette) {
    EngineState& s = engine.state;
    engine.settings.oPalette = intelliCadPalette ? 8 : engine.screenBitsPerPixel > 8 ? 4 : 6;
    s.WorkRect = {32767, 32767, -32767, -32767};
    s.SaveDepth = s.BlockDepth = 0;
    s.SkipNested = false;
    s.FirstExt = s.FirstOrg = true;
    s.FirstWindowExt = {};
    s.HasWindowExt = false;
    s.BackgroundFound = false;

    // The pass changes no record, so it walks the picture itself rather than copies.
    ExtentPass pass(engine);
    walkMetaFile(picture, [&](const Record& r, HandleTable& table) {
        pass.table = &table;
        pass.objects = unsigned(table.size());
        visitRecord(pass, r);
    });

    ExtentResult result;
    result.Extent = s.WorkRect;
    result.WindowExt = s.FirstWindowExt;
    result.HasWindowExt = s.HasWindowExt;
    return result;
}

Rect CropRect(const WmfSettings& settings, const Rect& extent, const Rect& frame) {
    if (!settings.Crop) return frame;
    Rect r = extent;
    if (settings.LeaveMargin) {
        // Kept within a range that cannot overflow; the result is clamped anyway.
        double hd = std::trunc((double(r.right) - r.left) * settings.Margin / 100.0);
        int64_t h = (hd == hd) ? int64_t(std::clamp(hd, -70000.0, 70000.0)) : 0;
        r.left = int32_t(std::max<int64_t>(r.left - h, 0));
        r.top = int32_t(std::max<int64_t>(r.top - h, 0));
        r.right = int32_t(std::min<int64_t>(r.right + h, 32760));
        r.bottom = int32_t(std::min<int64_t>(r.bottom + h, 32760));
    }
    return r;
}

}  // namespace qv
