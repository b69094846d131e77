#include "engine/rewrite_pass.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "engine/dib_rotate.h"
#include "engine/mapping.h"
#include "engine/metafile/dib.h"
#include "engine/metafile/records.h"

namespace qv {

using namespace mf;

namespace {

constexpr uint16_t kEtoOpaque = 0x0002;
constexpr uint16_t kEtoClipped = 0x0004;
// The metric unit divisor of the widths, as the single-precision 25.4 it has always been.
constexpr double kMmPerInch = double(25.4f);

enum class StyleKind { Color = 0, Brush = 1, Pen = 3 };

class RewritePass final : public RecordVisitor {
public:
    RewritePass(Engine& engine, Dc& out)
        : e_(engine), s_(engine.state), set_(engine.settings), out_(out), rotation_(engine.settings.Rotation) {}

    HandleTable* table = nullptr;
    unsigned objects = 0;

    int onSaveDc(const Record& r) override {
        ++s_.SaveDepth;
        return play(r);
    }
    int onRestoreDc(const Record& r) override {
        --s_.SaveDepth;
        if (s_.SaveDepth == s_.BlockDepth) s_.SkipNested = false;
        return play(r);
    }
    int onSetMapMode(const Record&) override { return 1; }  // the output keeps its own mapping mode
    int onSetWindowOrg(const Record& r) override {
        if (r.field("x") != 0 || r.field("y") != 0) s_.SkipNested = true;
        if (set_.Crop && !s_.FirstOrg) applyWindowOrgRule(s_, rotation_, r);
        play(r);
        s_.FirstOrg = false;
        return 1;
    }
    int onSetWindowExt(const Record& r) override {
        applyWindowExtRule(s_, rotation_, set_.Crop != 0, r);
        play(r);
        s_.FirstExt = false;
        return 1;
    }
    int onSetViewportOrg(const Record& r) override { return set_.Crop ? 1 : play(r); }
    int onSetViewportExt(const Record& r) override { return set_.Crop ? 1 : play(r); }

    int onSetBkColor(const Record& r) override { return rewriteStyle(r, StyleKind::Color); }
    int onSetTextColor(const Record& r) override { return rewriteStyle(r, StyleKind::Color); }
    int onSetPixel(const Record& r) override {
        map(r, 3, 2);  // colour (2 words), y, x
        return rewriteStyle(r, StyleKind::Color);
    }
    int onCreatePenIndirect(const Record& r) override { return rewriteStyle(r, StyleKind::Pen); }
    int onCreateBrushIndirect(const Record& r) override { return rewriteStyle(r, StyleKind::Brush); }
    int onCreateFontIndirect(const Record& r) override {
        applyFontRule(rotation_, r);
        return play(r);
    }

    int onLineTo(const Record& r) override { return mapAndPlay(r, 1, 0); }
    int onMoveTo(const Record& r) override { return mapAndPlay(r, 1, 0); }
    int onPolygon(const Record& r) override;
    int onPolyline(const Record& r) override;
    int onPolyPolygon(const Record& r) override {
        size_t polys = r.u16(0), total = 0;
        if (r.has(1, polys)) {
            for (size_t i = 0; i < polys; ++i) total += r.u16(1 + i);
            mapPoints(r, 1 + polys, total);
        }
        return play(r);
    }
    int onExcludeClipRect(const Record& r) override { return corners(r); }
    int onIntersectClipRect(const Record& r) override { return corners(r); }
    int onEllipse(const Record& r) override { return corners(r); }
    int onRectangle(const Record& r) override {
        if (r.field("left") == 0 && r.field("top") == 0) return background(r);
        return corners(r);
    }
    int onArc(const Record& r) override {
        // yEnd, xEnd, yStart, xStart, bottom, right, top, left
        map(r, 1, 0);
        map(r, 3, 2);
        map(r, 5, 4);
        map(r, 7, 6);
        return play(r);
    }
    int onExtTextOut(const Record& r) override {
        map(r, 1, 0);
        if (r.u16(3) & (kEtoClipped | kEtoOpaque)) {
            map(r, 4, 5);
            map(r, 6, 7);
        }
        return play(r);
    }
    int onPatBlt(const Record& r) override;
    int onDibStretchBlt(const Record& r) override { return bitmap(r, BitmapRecord::DibStretchBlt); }
    int onStretchDib(const Record& r) override { return bitmap(r, BitmapRecord::StretchDib); }

    // Records of pictures from drawing and office programs.
    int onTextOut(const Record& r) override {
        // length, text padded to words, y, x
        const size_t textWords = (size_t(r.u16(0)) + 1) / 2;
        return mapAndPlay(r, 2 + textWords, 1 + textWords);
    }
    int onRoundRect(const Record& r) override {
        // ellipse height, ellipse width, bottom, right, top, left
        map(r, 5, 4);
        map(r, 3, 2);
        if (rotation_ == 90 || rotation_ == 270) {
            const int16_t h = r.i16(0), w = r.i16(1);
            r.setI16(0, w);
            r.setI16(1, h);
        }
        return play(r);
    }
    int onPie(const Record& r) override { return onArc(r); }
    int onChord(const Record& r) override { return onArc(r); }
    int onDibBitBlt(const Record& r) override { return bitmap(r, BitmapRecord::DibBitBlt); }
    int onOffsetWindowOrg(const Record& r) override { return turnOffset(r); }
    int onOffsetViewportOrg(const Record& r) override { return turnOffset(r); }
    int onCreateRegion(const Record& r) override;
    int onSelectClipRegion(const Record& r) override { return selectRegion(r); }
    int onSelectObject(const Record& r) override { return selectRegion(r); }
    int onEscape(const Record& r) override;

    int onDefault(const Record& r) override { return play(r); }

private:
    int play(const Record& r) {
        PlayMetaFileRecord(out_, *table, r, objects);
        return 1;
    }
    void map(const Record& r, size_t xWord, size_t yWord) {
        mapRecordPoint(s_.WorkRect, rotation_, r, xWord, yWord);
    }
    int mapAndPlay(const Record& r, size_t xWord, size_t yWord) {
        map(r, xWord, yWord);
        return play(r);
    }
    void mapPoints(const Record& r, size_t first, size_t count) {
        if (!r.has(first, 2 * count)) return;
        mapPointArray(s_.WorkRect, rotation_, r.paramData() + 2 * first, count);
    }
    int corners(const Record& r) {
        // bottom, right, top, left
        map(r, 3, 2);
        map(r, 1, 0);
        return play(r);
    }
    int rewriteStyle(const Record& r, StyleKind kind);
    int background(const Record& r);
    enum class BitmapRecord { DibStretchBlt, StretchDib, DibBitBlt };
    int bitmap(const Record& r, BitmapRecord kind);
    // OFFSETWINDOWORG, OFFSETVIEWPORTORG (y, x): the offset turns with the picture.
    int turnOffset(const Record& r) {
        Point16 d = turnVector(rotation_, r.i16(1), r.i16(0));
        r.setI16(1, d.x);
        r.setI16(0, d.y);
        return play(r);
    }
    // A selection of a region that could not be mapped is left out.
    int selectRegion(const Record& r);

    // Points of a POLYGON or POLYLINE as they stand in the source.
    static bool samePoint(ByteSpan a, size_t i, ByteSpan b, size_t j) {
        return std::memcmp(a.data() + 2 + 4 * i, b.data() + 2 + 4 * j, 4) == 0;
    }

    Engine& e_;
    EngineState& s_;
    const WmfSettings& set_;
    Dc& out_;
    const int rotation_;
    // Regions whose CREATEREGION could not be mapped: they keep their slot,
    // but are never selected as the clip.
    std::vector<std::weak_ptr<GdiObject>> unmappedRegions_;
};

int RewritePass::rewriteStyle(const Record& r, StyleKind kind) {
    if (s_.SkipNested) return play(r);
    // The COLORREF: at parameter byte 0 of the colour records and SETPIXEL,
    // 2 of brushes, 6 of pens.
    const size_t colorByte = kind == StyleKind::Color ? 0 : kind == StyleKind::Brush ? 2 : 6;
    if (r.paramWords() * 2 < colorByte + 4) return play(r);
    // The record is the pass's own copy of the source record: rewritten in place.
    const Record& c = r;
    uint8_t* colorAt = c.paramData() + colorByte;
    uint32_t color = rdU32(colorAt) & 0x00FFFFFF;  // a palette entry is matched by its RGB
    const uint32_t original = rdU32(colorAt);

    switch (kind) {
        case StyleKind::Color: {
            if (set_.Lineoptions == 3) {
                int i = MatchAci(e_, color);
                if (i > 0) color = set_.Colors[size_t(i)].LineColor;
            }
            color = set_.MakeBlack ? 0 : WhiteToBlack(set_, color);
            if (color != original) ++s_.Stats.ColorsRewritten;
            break;
        }
        case StyleKind::Pen: {
            const uint32_t widthBefore = rdU32(c.paramData() + 2);
            auto widthFor = [&](double w) {
                if (set_.IsMetric) w /= kMmPerInch;
                double units = std::trunc(w * s_.OutputScale + 0.5);
                if (!(units >= 0)) units = 0;
                return uint32_t(std::min(units, 32767.0));  // the pen's width point holds 16 bits
            };
            bool setWidth = false;
            uint32_t width = 0;
            if (set_.Lineoptions == 2) {
                width = widthFor(set_.FixedWidth);
                setWidth = true;
            } else if (set_.Lineoptions == 3) {
                int i = MatchAci(e_, color);
                if (i > 0) {
                    width = widthFor(set_.Colors[size_t(i)].Width);
                    color = set_.Colors[size_t(i)].LineColor;
                    setWidth = true;
                }
            }
            if (setWidth) wrU32(c.paramData() + 2, width);  // x = width, y = 0
            color = set_.MakeBlack ? 0 : WhiteToBlack(set_, color);
            if (color != original || rdU32(c.paramData() + 2) != widthBefore) ++s_.Stats.PensRewritten;
            break;
        }
        case StyleKind::Brush: {
            switch (set_.Filledoptions) {
                case 0: color = WhiteToBlack(set_, color); break;
                case 2: color = 0; break;
                case 3: {
                    int i = MatchAci(e_, color);
                    if (i > 0) color = set_.Colors[size_t(i)].FillColor;
                    color = WhiteToBlack(set_, color);
                    break;
                }
                default: break;  // brushes left as they are, but for the flags byte
            }
            if (color != original) ++s_.Stats.FillsRewritten;
            break;
        }
    }
    wrU32(colorAt, color);
    return play(c);
}

int RewritePass::background(const Record& r) {
    if (set_.RemoveBackground) {
        ++s_.Stats.BackgroundsRemoved;
        return 1;
    }
    ++s_.Stats.BackgroundsKept;
    // Stretched over the whole output, unmapped, with its own pen and brush.
    r.setI16(0, int16_t(s_.OutputSize.cy));
    r.setI16(1, int16_t(s_.OutputSize.cx));
    r.setI16(2, 0);
    r.setI16(3, 0);
    GdiObjectPtr pen = CreatePen(0, 0, s_.BackgroundColor);
    GdiObjectPtr brush = CreateSolidBrush(s_.BackgroundColor);
    GdiObjectPtr oldPen = out_.selectObject(pen);
    GdiObjectPtr oldBrush = out_.selectObject(brush);
    play(r);
    out_.selectObject(oldPen);
    out_.selectObject(oldBrush);
    DeleteObject(pen);
    DeleteObject(brush);
    return 1;
}

int RewritePass::onPolygon(const Record& r) {
    const size_t n = r.u16(0);
    ByteSpan src = r.params();
    if (s_.HasSavedPolygon && s_.PolygonPending) {
        ByteSpan saved(s_.SavedPolygon);
        const size_t m = getU16(saved, 0);
        bool retrace = n == m + 1 && r.has(1, 2 * n) && saved.size() >= 2 + 4 * m;
        for (size_t i = 0; retrace && i < m; ++i) retrace = samePoint(src, i, saved, i);
        if (retrace && samePoint(src, n - 1, src, 0)) {
            s_.HasSavedPolygon = false;
            s_.SavedPolygon.clear();
            ++s_.Stats.OutlinesRemoved;
            return 1;
        }
    }
    s_.HasSavedPolygon = false;
    s_.SavedPolygon.clear();
    if (set_.RemoveLines && (set_.Filledoptions || set_.MakeBlack || set_.Lineoptions) && r.has(1, 2 * n)) {
        s_.SavedPolygon.assign(src.begin(), src.begin() + ptrdiff_t(2 + 4 * n));
        s_.HasSavedPolygon = true;
        s_.PolygonPending = true;
    }
    mapPoints(r, 1, n);
    return play(r);
}

int RewritePass::onPolyline(const Record& r) {
    const size_t n = r.u16(0);
    ByteSpan src = r.params();
    bool leaveOut = false;
    if (s_.PolygonPending && s_.HasSavedPolygon && n >= 1 && r.has(1, 2 * n)) {
        ByteSpan saved(s_.SavedPolygon);
        if (getU16(saved, 0) >= 1 && samePoint(src, n - 1, src, 0) &&
            (samePoint(src, 0, saved, 0) || (n >= 2 && samePoint(src, 1, saved, 0))))
            leaveOut = true;
    }
    s_.PolygonPending = false;
    if (leaveOut) {
        ++s_.Stats.OutlinesRemoved;
        return 1;
    }
    mapPoints(r, 1, n);
    return play(r);
}

int RewritePass::onPatBlt(const Record& r) {
    // rop (2 words), height, width, y, x
    int32_t h = r.i16(2), w = r.i16(3);
    Point16 c = mapCentre(s_.WorkRect, rotation_, r.i16(5), r.i16(4), w, h);
    if (rotation_ == 90 || rotation_ == 270) std::swap(w, h);
    Point16 p = placeFromCentre(c, w, h);
    r.setI16(2, int16_t(h));
    r.setI16(3, int16_t(w));
    r.setI16(4, p.y);
    r.setI16(5, p.x);
    return play(r);
}

int RewritePass::bitmap(const Record& r, BitmapRecord kind) {
    const RecordInfo& info = *r.info();
    const bool stretchDib = kind == BitmapRecord::StretchDib;
    // DIBBITBLT has one size, that of both its source and its destination.
    const bool sourceSize = kind != BitmapRecord::DibBitBlt;
    const bool noBitmap = !stretchDib && r.sizeWords() == uint32_t(r.function() >> 8) + 3u;
    // Word positions of the fields (the short form has a reserved word before the destination).
    const size_t base = stretchDib ? 3 : 2;  // first word after rop (and usage)
    const size_t srcH = base, srcW = base + 1;
    // destHeight, destWidth, yDest, xDest: after the source size (if any) and origin
    const size_t dest = base + (sourceSize ? 4 : 2) + (noBitmap ? 1 : 0);
    int32_t dh = r.i16(dest), dw = r.i16(dest + 1);
    Point16 c = mapCentre(s_.WorkRect, rotation_, r.i16(dest + 3), r.i16(dest + 2), dw, dh);

    bool turned = false;
    Bytes rebuilt;
    if (rotation_ == 90 || rotation_ == 180 || rotation_ == 270) {
        if (noBitmap) {
            turned = true;  // the source is the DC itself: only the rectangle turns
        } else {
            ByteSpan dib = r.params().subspan(info.fixedBytes);
            uint16_t usage = stretchDib ? r.u16(2) : 0;
            bool compressed = getU32(dib, 0) >= 40 && getU32(dib, 16) != 0 && getU32(dib, 16) != 3;
            if (!(stretchDib && compressed)) {
                if (auto t = RotateDib(dib, usage, rotation_)) {
                    rebuilt.assign(r.data(), r.data() + 6 + info.fixedBytes);
                    rebuilt.insert(rebuilt.end(), t->begin(), t->end());
                    if (rebuilt.size() & 1) rebuilt.push_back(0);
                    wrU32(rebuilt.data(), uint32_t(rebuilt.size() / 2));
                    turned = true;
                    ++s_.Stats.BitmapsTurned;
                }
            }
            if (!turned) ++s_.Stats.BitmapsNotTurned;
        }
    }
    Record out = rebuilt.empty() ? r : Record(rebuilt.data(), rebuilt.size());
    if (turned && (rotation_ == 90 || rotation_ == 270)) std::swap(dw, dh);
    if (turned && sourceSize && (rotation_ == 90 || rotation_ == 270)) {
        int16_t sh = out.i16(srcH), sw = out.i16(srcW);
        out.setI16(srcH, sw);
        out.setI16(srcW, sh);
    }
    Point16 p = placeFromCentre(c, dw, dh);
    out.setI16(dest, int16_t(dh));
    out.setI16(dest + 1, int16_t(dw));
    out.setI16(dest + 2, p.y);
    out.setI16(dest + 3, p.x);
    return play(out);
}

int RewritePass::onCreateRegion(const Record& r) {
    std::optional<Bytes> mapped = mapRegion(s_.WorkRect, rotation_, r.params());
    if (!mapped) {
        // Played as it is, so that the slots of later objects stay those the
        // picture means; the slot it lands in is the lowest empty one.
        const size_t slot = table->nextSlot();
        play(r);
        if (const GdiObjectPtr& obj = table->get(slot)) unmappedRegions_.push_back(obj);
        return 1;
    }
    Bytes rec(6);
    rec.insert(rec.end(), mapped->begin(), mapped->end());
    if (rec.size() & 1) rec.push_back(0);
    wrU32(rec.data(), uint32_t(rec.size() / 2));
    wrU16(rec.data() + 4, r.function());
    return play(Record(rec.data(), rec.size()));
}

int RewritePass::selectRegion(const Record& r) {
    const GdiObjectPtr& obj = table->get(r.u16(0));
    if (obj && obj->kind == ObjectKind::Region) {
        for (const auto& w : unmappedRegions_) {
            if (w.lock() == obj) {
                ++s_.Stats.ClipsLeftOut;
                return 1;
            }
        }
    }
    return play(r);
}

int RewritePass::onEscape(const Record& r) {
    // MFCOMMENT escapes that carry an enhanced-metafile copy of the picture
    // ("WMFC" comments) would show the picture unturned and uncropped to the
    // programs that prefer that copy: they are left out. Other escapes stay.
    constexpr uint16_t kMfComment = 0x000F;
    static constexpr uint8_t kEmbeddedCopyId[4] = {'W', 'M', 'F', 'C'};
    if (r.u16(0) == kMfComment && r.u16(1) >= 4 && r.has(2, 2) &&
        std::memcmp(r.paramData() + 4, kEmbeddedCopyId, 4) == 0) {
        ++s_.Stats.EmbeddedCopiesDropped;
        return 1;
    }
    return play(r);
}

int rewriteProc(Dc&, HandleTable& table, Record& r, unsigned count, void* context) {
    auto* pass = static_cast<RewritePass*>(context);
    pass->table = &table;
    pass->objects = count;
    return visitRecord(*pass, r);
}

}  // namespace

int MatchAci(Engine& engine, uint32_t c) {
    WmfSettings& s = engine.settings;
    if (s.ForcedPalette >= 0) s.oPalette = s.ForcedPalette;
    for (int i = 0; i < 256; ++i)
        if (engine.colors->AciToRgb(i) == c) return i == 0 ? 7 : i;
    return -1;
}

uint32_t WhiteToBlack(const WmfSettings& s, uint32_t c) {
    return (s.WhiteBlack && s.RemoveBackground && c == 0xFFFFFF) ? 0 : c;
}

void runRewritePass(Engine& engine, Dc& output, const Metafile& picture) {
    RewritePass pass(engine, output);
    EnumMetaFile(output, picture, rewriteProc, &pass);
}

}  // namespace qv
