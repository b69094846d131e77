#include "engine/metafile/dump.h"

#include <cstdio>

#include "engine/metafile/dib.h"

namespace qv::mf {

namespace {

constexpr size_t kMaxListed = 16;  // points or advances shown before "+N more"

std::string fmt(const char* f, long long v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, f, v);
    return buf;
}

std::string quoted(ByteSpan text) {
    std::string s = "'";
    for (uint8_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != '\'' && c != '\\') {
            s.push_back(char(c));
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            s += buf;
        }
    }
    return s + "'";
}

void add(std::string& out, const std::string& item) {
    if (!out.empty()) out.push_back(' ');
    out += item;
}

std::string fieldValue(const FieldInfo& f, int32_t v) {
    switch (f.type) {
        case 'c': return fmt("0x%06llX", (long long)(uint32_t(v)));
        case 'x': return fmt("0x%08llX", (long long)(uint32_t(v)));
        default: return std::to_string(v);
    }
}

void fixedFields(std::string& out, const Record& r, const RecordInfo& info) {
    // Structures (pens, brushes) read in stored order; call parameters are
    // stored last-first, so they are shown the other way round.
    bool structure = info.function == uint16_t(Fn::CreatePenIndirect) ||
                     info.function == uint16_t(Fn::CreateBrushIndirect);
    for (int k = 0; k < info.fieldCount; ++k) {
        const FieldInfo& f = info.field[structure ? k : info.fieldCount - 1 - k];
        if (f.name == "widthY") continue;
        add(out, std::string(f.name) + "=" + fieldValue(f, r.field(f.name)));
    }
}

void pointList(std::string& out, const Record& r, size_t first, size_t count) {
    std::string pts;
    size_t shown = count < kMaxListed ? count : kMaxListed;
    for (size_t i = 0; i < shown && r.has(first + 2 * i, 2); ++i) {
        add(pts, "(" + std::to_string(r.i16(first + 2 * i)) + "," + std::to_string(r.i16(first + 2 * i + 1)) + ")");
    }
    if (count > shown) add(pts, "+" + std::to_string(count - shown) + " more");
    add(out, pts);
}

void dibFields(std::string& out, ByteSpan b) {
    std::string err;
    auto d = parseDib(b, &err);
    if (!d) {
        add(out, "dib=(" + err + ")");
        return;
    }
    add(out, "dib=" + std::to_string(d->width) + "x" + std::to_string(d->height) + "x" +
                 std::to_string(d->bitCount) + "bpp");
    if (d->compression) add(out, "compression=" + std::to_string(d->compression));
    add(out, "sizeImage=" + std::to_string(d->sizeImage));
}

void textOptions(std::string& out, uint16_t options) {
    std::string s = fmt("options=0x%04llX", options);
    if (options & 2) s += "(OPAQUE";
    if (options & 4) s += (options & 2) ? "|CLIPPED" : "(CLIPPED";
    if (options & 6) s += ")";
    add(out, s);
}

}  // namespace

std::string describeRecord(const Record& r) {
    const RecordInfo* info = r.info();
    if (!info) return "bytes=" + std::to_string(r.byteSize() - 6);
    std::string out;
    fixedFields(out, r, *info);
    ByteSpan p = r.params();
    switch (info->tail) {
        case Tail::None: break;
        case Tail::Points: {
            size_t n = r.u16(0);
            add(out, "n=" + std::to_string(n));
            pointList(out, r, 1, n);
            break;
        }
        case Tail::PolyPoints: {
            size_t polys = r.u16(0), total = 0;
            std::string counts;
            for (size_t i = 0; i < polys; ++i) {
                total += r.u16(1 + i);
                counts += (i ? "+" : "") + std::to_string(r.u16(1 + i));
            }
            add(out, "polygons=" + std::to_string(polys) + " points=" + counts);
            pointList(out, r, 1 + polys, total);
            break;
        }
        case Tail::TextOut: {
            size_t n = r.u16(0), w = (n + 1) / 2;
            add(out, "x=" + std::to_string(r.i16(2 + w)) + " y=" + std::to_string(r.i16(1 + w)));
            add(out, "len=" + std::to_string(n) + " text=" + quoted(p.subspan(2, std::min(n, p.size() - 2))));
            break;
        }
        case Tail::ExtTextOut: {
            size_t n = r.u16(2);
            uint16_t options = r.u16(3);
            add(out, "x=" + std::to_string(r.i16(1)) + " y=" + std::to_string(r.i16(0)));
            add(out, "len=" + std::to_string(n));
            textOptions(out, options);
            size_t textWord = 4;
            if (options & 6) {
                add(out, "rect=(" + std::to_string(r.i16(4)) + "," + std::to_string(r.i16(5)) + ")-(" +
                             std::to_string(r.i16(6)) + "," + std::to_string(r.i16(7)) + ")");
                textWord = 8;
            }
            size_t start = 2 * textWord;
            if (start <= p.size()) add(out, "text=" + quoted(p.subspan(start, std::min(n, p.size() - start))));
            size_t dxWord = textWord + (n + 1) / 2;
            if (n && r.paramWords() == dxWord + n) {
                std::string dx = "dx=[";
                for (size_t i = 0; i < n && i < kMaxListed; ++i) dx += (i ? "," : "") + std::to_string(r.i16(dxWord + i));
                if (n > kMaxListed) dx += ",+" + std::to_string(n - kMaxListed) + " more";
                add(out, dx + "]");
            }
            break;
        }
        case Tail::Font: {
            add(out, "height=" + std::to_string(r.i16(0)) + " width=" + std::to_string(r.i16(1)) +
                         " escapement=" + std::to_string(r.i16(2)) + " orientation=" + std::to_string(r.i16(3)) +
                         " weight=" + std::to_string(r.i16(4)));
            auto byte = [&](size_t off) { return off < p.size() ? int(p[off]) : 0; };
            add(out, "italic=" + std::to_string(byte(10)) + " charset=" + std::to_string(byte(13)));
            std::string face;
            for (size_t i = 18; i < p.size() && i < 50 && p[i]; ++i) face.push_back(char(p[i]));
            add(out, "face=" + quoted(ByteSpan(reinterpret_cast<const uint8_t*>(face.data()), face.size())));
            break;
        }
        case Tail::Palette:
            add(out, "start=" + std::to_string(r.u16(0)) + " entries=" + std::to_string(r.u16(1)));
            break;
        case Tail::Region:
            add(out, "scans=" + std::to_string(r.u16(5)) + " bounds=(" + std::to_string(r.i16(7)) + "," +
                         std::to_string(r.i16(8)) + ")-(" + std::to_string(r.i16(9)) + "," +
                         std::to_string(r.i16(10)) + ")");
            break;
        case Tail::Escape: {
            uint16_t f = r.u16(0);
            std::string s = fmt("function=0x%04llX", f);
            if (f == 0x000F) s += "(MFCOMMENT)";
            add(out, s + " bytes=" + std::to_string(r.u16(1)));
            if (f == 0x000F && p.size() >= 8) add(out, "id=" + quoted(p.subspan(4, 4)));
            break;
        }
        case Tail::DibOptional:
            if (r.sizeWords() == uint32_t(r.function() >> 8) + 3u) {
                add(out, "(no bitmap)");
                break;
            }
            [[fallthrough]];
        case Tail::Dib:
            if (info->fixedBytes <= p.size()) dibFields(out, p.subspan(info->fixedBytes));
            break;
        case Tail::Bitmap16:
        case Tail::Raw: add(out, "bytes=" + std::to_string(p.size())); break;
    }
    return out;
}

std::string dumpLine(const Record& r, size_t fileOffset) {
    char head[80];
    std::snprintf(head, sizeof head, "0x%08zX %6uw 0x%04X %-22s ", fileOffset, unsigned(r.sizeWords()),
                  unsigned(r.function()), recordName(r.function()).c_str());
    std::string line = head + describeRecord(r);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

}  // namespace qv::mf
