#include <algorithm>
#include <cstring>
#include <functional>

#include "engine/metafile/gdi.h"

namespace qv::mf {

namespace {

size_t kindIndex(ObjectKind k) { return size_t(k); }

void noteSelected(const GdiObjectPtr& obj, int delta) {
    if (obj && !obj->stock) obj->selectedIn += delta;
}

}  // namespace

Dc::Dc() {
    selected_[kindIndex(ObjectKind::Pen)] = GetStockObject(StockObject::BlackPen);
    selected_[kindIndex(ObjectKind::Brush)] = GetStockObject(StockObject::WhiteBrush);
    selected_[kindIndex(ObjectKind::Font)] = GetStockObject(StockObject::SystemFont);
}

Dc::~Dc() {
    for (auto& obj : selected_) noteSelected(obj, -1);
}

void Dc::setSelected(const GdiObjectPtr& obj) {
    auto& slot = selected_[kindIndex(obj->kind)];
    noteSelected(obj, +1);
    noteSelected(slot, -1);
    slot = obj;
}

GdiObjectPtr Dc::selectObject(const GdiObjectPtr& obj) {
    if (!obj) return nullptr;
    if (obj->kind == ObjectKind::Palette) {
        selectPalette(obj);
        return nullptr;
    }
    if (obj->kind == ObjectKind::Region) {
        selectClipRegion(obj);
        return nullptr;
    }
    GdiObjectPtr previous = selected_[kindIndex(obj->kind)];
    setSelected(obj);
    return previous;
}

void Dc::selectPalette(const GdiObjectPtr&) {}
void Dc::selectClipRegion(const GdiObjectPtr&) {}

const GdiObjectPtr& Dc::selected(ObjectKind kind) const {
    static const GdiObjectPtr none;
    return kindIndex(kind) < kSelectableKinds ? selected_[kindIndex(kind)] : none;
}

void Dc::setTextAlign(uint16_t align) {
    textAlign_ = align;
    uint8_t p[4];
    wrU32(p, align);  // recorded as a 32-bit value
    emit(uint16_t(Fn::SetTextAlign), p);
}

void Dc::setWindowExt(int16_t x, int16_t y) {
    windowExt_ = {x, y};
    uint8_t p[4];
    wrU16(p, uint16_t(y));
    wrU16(p + 2, uint16_t(x));
    emit(uint16_t(Fn::SetWindowExt), p);
}

void Dc::setWindowOrg(int16_t x, int16_t y) {
    windowOrg_ = {x, y};
    uint8_t p[4];
    wrU16(p, uint16_t(y));
    wrU16(p + 2, uint16_t(x));
    emit(uint16_t(Fn::SetWindowOrg), p);
}

void Dc::setMapMode(uint16_t mode) {
    mapMode_ = mode;
    uint8_t p[2];
    wrU16(p, mode);
    emit(uint16_t(Fn::SetMapMode), p);
}

void Dc::perform(uint16_t function, ByteSpan params) { emit(function, params); }

// ---- recording DC ----

RecordingDc::RecordingDc() { out_.resize(MetaHeader::kBytes); }

RecordingDc::~RecordingDc() { leaveObjects(); }

// The objects of the table no longer name this DC as one that holds them.
void RecordingDc::leaveObjects() {
    for (const auto& entry : slotsOf_) {
        const GdiObjectPtr& obj = table_[entry.second.front()];
        if (obj->stock) continue;
        auto& v = obj->recordedIn;
        v.erase(std::remove(v.begin(), v.end(), this), v.end());
    }
}

void RecordingDc::emit(uint16_t function, ByteSpan params) {
    const size_t padded = (params.size() + 1) & ~size_t(1);
    const uint32_t words = 3 + uint32_t(padded / 2);
    const size_t at = out_.size();
    out_.resize(at + 6 + padded);
    uint8_t* p = out_.data() + at;
    wrU32(p, words);
    wrU16(p + 4, function);
    if (!params.empty()) std::memcpy(p + 6, params.data(), params.size());
    if (padded != params.size()) p[6 + params.size()] = 0;
    maxRecord_ = std::max(maxRecord_, words);
    ++records_;
}

void RecordingDc::reserve(size_t bytes) { out_.reserve(bytes); }

int RecordingDc::slotOf(const GdiObject* obj) const {
    auto it = slotsOf_.find(obj);
    return it == slotsOf_.end() ? -1 : int(it->second.front());
}

size_t RecordingDc::addToTable(const GdiObjectPtr& obj) {
    size_t slot = table_.size();
    if (!free_.empty()) {
        std::pop_heap(free_.begin(), free_.end(), std::greater<>());
        slot = free_.back();
        free_.pop_back();
    } else {
        table_.emplace_back();
    }
    table_[slot] = obj;
    std::vector<size_t>& slots = slotsOf_[obj.get()];
    if (slots.empty() && !obj->stock) obj->recordedIn.push_back(this);
    slots.push_back(slot);
    ++inUse_;
    peak_ = std::max(peak_, inUse_);
    return slot;
}

void RecordingDc::freeSlot(size_t slot) {
    table_[slot].reset();
    free_.push_back(slot);
    std::push_heap(free_.begin(), free_.end(), std::greater<>());
    --inUse_;
}

GdiObjectPtr RecordingDc::selectObject(const GdiObjectPtr& obj) {
    if (!obj) return nullptr;
    if (obj->kind == ObjectKind::Palette || obj->kind == ObjectKind::Region)
        return Dc::selectObject(obj);
    int slot = slotOf(obj.get());
    if (slot < 0) {
        slot = int(addToTable(obj));
        emit(obj->createFunction, obj->createParams);
    }
    uint8_t p[2];
    wrU16(p, uint16_t(slot));
    emit(uint16_t(Fn::SelectObject), p);
    return Dc::selectObject(obj);
}

void RecordingDc::selectPalette(const GdiObjectPtr& palette) {
    // A palette is written when it is selected, in a slot of its own. Selected
    // again while its copy is still in the table, it is only selected: a
    // picture of one large palette and many selections would otherwise grow
    // by the whole palette per selection (an 8-byte record).
    int held = slotOf(palette.get());
    size_t slot = held >= 0 ? size_t(held) : addToTable(palette);
    if (held < 0) emit(palette->createFunction, palette->createParams);
    uint8_t p[2];
    wrU16(p, uint16_t(slot));
    emit(uint16_t(Fn::SelectPalette), p);
}

void RecordingDc::selectClipRegion(const GdiObjectPtr& region) {
    // The clip region is a copy: created, selected and deleted at once.
    size_t slot = addToTable(region);
    emit(region->createFunction, region->createParams);
    uint8_t p[2];
    wrU16(p, uint16_t(slot));
    emit(uint16_t(Fn::SelectObject), p);
    emit(uint16_t(Fn::DeleteObject), p);
    freeSlot(slot);
    auto it = slotsOf_.find(region.get());
    it->second.erase(std::find(it->second.begin(), it->second.end(), slot));
    if (it->second.empty()) {
        slotsOf_.erase(it);
        if (!region->stock) {
            auto& v = region->recordedIn;
            v.erase(std::find(v.begin(), v.end(), this));
        }
    }
}

void RecordingDc::forget(GdiObject& obj) {
    auto it = slotsOf_.find(&obj);
    if (it == slotsOf_.end()) return;
    std::vector<size_t> slots = std::move(it->second);
    slotsOf_.erase(it);
    std::sort(slots.begin(), slots.end());
    for (size_t slot : slots) {
        uint8_t p[2];
        wrU16(p, uint16_t(slot));
        emit(uint16_t(Fn::DeleteObject), p);
        freeSlot(slot);
    }
}

MetafileHandle RecordingDc::close() {
    putU32(out_, 3);
    putU16(out_, 0);
    MetaHeader h;
    h.sizeWords = uint32_t(out_.size() / 2);
    h.numObjects = uint16_t(std::min<size_t>(peak_, 0xFFFF));
    h.maxRecord = maxRecord_;
    h.write(out_.data());
    auto mf = std::make_unique<Metafile>(std::move(out_), records_);
    leaveObjects();
    table_.clear();
    slotsOf_.clear();
    free_.clear();
    out_.assign(MetaHeader::kBytes, 0);
    inUse_ = peak_ = records_ = 0;
    maxRecord_ = 3;
    return mf;
}

std::unique_ptr<RecordingDc> CreateMetaFileW() { return std::make_unique<RecordingDc>(); }

MetafileHandle CloseMetaFile(std::unique_ptr<RecordingDc> dc) {
    if (!dc) return nullptr;
    return dc->close();
}

}  // namespace qv::mf
