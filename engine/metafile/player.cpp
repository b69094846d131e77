#include "engine/metafile/gdi.h"

namespace qv::mf {

namespace {

ByteSpan firstBytes(const Record& r, size_t bytes) {
    ByteSpan p = r.params();
    return p.first(bytes < p.size() ? bytes : p.size());
}

// TEXTOUT is performed as the equivalent EXTTEXTOUT without options.
void playTextOut(Dc& dc, const Record& r) {
    size_t n = r.u16(0);
    size_t textWords = (n + 1) / 2;
    Bytes p;
    putI16(p, r.i16(1 + textWords));  // y
    putI16(p, r.i16(2 + textWords));  // x
    putU16(p, uint16_t(n));
    putU16(p, 0);
    ByteSpan text = r.params().subspan(2, n);
    p.insert(p.end(), text.begin(), text.end());
    dc.perform(uint16_t(Fn::ExtTextOut), p);
}

}  // namespace

bool PlayMetaFileRecord(Dc& dc, HandleTable& table, const Record& r, unsigned /*count*/) {
    const RecordInfo* info = r.info();
    if (!info) return false;  // functions we do not know are not performed
    const uint16_t fn = r.function();
    if (createsObject(fn)) {
        table.add(createObjectFromRecord(r));
        return true;
    }
    switch (Fn(fn)) {
        case Fn::Eof: return false;
        case Fn::SelectObject: {
            const GdiObjectPtr& obj = table.get(r.u16(0));
            if (!obj) return false;
            dc.selectObject(obj);
            return true;
        }
        case Fn::SelectPalette: {
            const GdiObjectPtr& obj = table.get(r.u16(0));
            if (!obj || obj->kind != ObjectKind::Palette) return false;
            dc.selectPalette(obj);
            return true;
        }
        case Fn::SelectClipRegion: {
            const GdiObjectPtr& obj = table.get(r.u16(0));
            if (obj && obj->kind == ObjectKind::Region) {
                dc.selectClipRegion(obj);
            } else {
                dc.perform(fn, firstBytes(r, info->fixedBytes));
            }
            return true;
        }
        case Fn::DeleteObject: {
            size_t slot = r.u16(0);
            GdiObjectPtr obj = table.get(slot);
            if (!obj) return false;
            DeleteObject(obj);
            table.clear(slot);
            return true;
        }
        case Fn::TextOut: playTextOut(dc, r); return true;
        case Fn::SetTextAlign: dc.setTextAlign(r.u16(0)); return true;
        case Fn::SetWindowExt: dc.setWindowExt(r.i16(1), r.i16(0)); return true;
        case Fn::SetWindowOrg: dc.setWindowOrg(r.i16(1), r.i16(0)); return true;
        case Fn::SetMapMode: dc.setMapMode(r.u16(0)); return true;
        default: break;
    }
    // Everything else is performed as it stands, at the size its fields need.
    switch (info->tail) {
        case Tail::None: dc.perform(fn, firstBytes(r, info->fixedBytes)); break;
        case Tail::Points: dc.perform(fn, firstBytes(r, 2 + 4 * size_t(r.u16(0)))); break;
        case Tail::PolyPoints: {
            size_t polys = r.u16(0), points = 0;
            for (size_t i = 0; i < polys; ++i) points += r.u16(1 + i);
            dc.perform(fn, firstBytes(r, 2 + 2 * polys + 4 * points));
            break;
        }
        default: dc.perform(fn, r.params()); break;
    }
    return true;
}

bool EnumMetaFile(Dc& dc, const Metafile& mf, EnumProc proc, void* context) {
    const Bytes& bits = mf.bits();
    MetaHeader h = mf.header();
    HandleTable table(h.numObjects);
    Bytes scratch;
    size_t off = MetaHeader::kBytes;
    // The picture was validated when it was built: every record fits.
    while (fits(bits.size(), off, 6)) {
        size_t bytes = size_t(rdU32(&bits[off])) * 2;
        if (rdU16(&bits[off + 4]) == 0 || bytes < 6 || !fits(bits.size(), off, bytes)) break;
        scratch.assign(bits.begin() + ptrdiff_t(off), bits.begin() + ptrdiff_t(off + bytes));
        Record rec(scratch.data(), scratch.size());
        if (proc(dc, table, rec, unsigned(table.size()), context) != 1) return false;
        off += bytes;
    }
    return true;
}

bool PlayMetaFile(Dc& dc, const Metafile& mf) {
    return EnumMetaFile(
        dc, mf,
        [](Dc& d, HandleTable& t, Record& r, unsigned n, void*) {
            PlayMetaFileRecord(d, t, r, n);
            return 1;
        },
        nullptr);
}

}  // namespace qv::mf
