#include "platform/clipboard.h"

#include <algorithm>
#include <cerrno>

#include "platform/names.h"

namespace qv::platform {

namespace {

// How many characters (not bytes) of UTF-8 text fit in `count`, as a byte
// length that does not split a character.
size_t utf8Prefix(const std::string& text, size_t count) {
    size_t at = 0;
    for (size_t chars = 0; at < text.size() && chars < count; ++chars) {
        ++at;
        while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
    }
    return at;
}

size_t utf8Length(const std::string& text) {
    size_t n = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

}  // namespace

GlobalBlock::GlobalBlock(uint32_t flags, size_t bytes)
    : flags_(flags), size_(bytes), bytes_(std::make_unique<std::byte[]>(bytes)) {}

void* GlobalBlock::lock() {
    if (size_ == 0) return nullptr;
    ++locks_;
    return bytes_.get();
}

bool GlobalBlock::unlock() {
    if (locks_ > 0) --locks_;
    return locks_ > 0;
}

GlobalHandle GlobalAlloc(uint32_t flags, size_t bytes) {
    return std::make_unique<GlobalBlock>(flags, bytes);
}

GlobalHandle makeMetafilePictBlock(uint32_t flags, mf::METAFILEPICT pict,
                                   mf::MetafileHandle picture) {
    GlobalHandle block = GlobalAlloc(flags, sizeof(mf::METAFILEPICT));
    pict.hMF = picture.get();
    *block->lockAs<mf::METAFILEPICT>() = pict;
    block->unlock();
    block->adoptMetafile(std::move(picture));
    return block;
}

uint32_t Clipboard::RegisterClipboardFormatW(const std::string& name) {
    if (name.empty()) {
        errno = EINVAL;
        return 0;
    }
    for (size_t i = 0; i < names_.size(); ++i)
        if (sameName(names_[i], name)) return kFirstRegisteredFormat + uint32_t(i);
    if (names_.size() >= 0x10000 - kFirstRegisteredFormat) {
        errno = ENOSPC;
        return 0;
    }
    names_.push_back(name);
    return kFirstRegisteredFormat + uint32_t(names_.size() - 1);
}

int Clipboard::GetClipboardFormatNameW(uint32_t format, std::string& name, int maxCount) const {
    if (format < kFirstRegisteredFormat || format - kFirstRegisteredFormat >= names_.size() ||
        maxCount < 1) {
        errno = EINVAL;
        return 0;
    }
    const std::string& full = names_[format - kFirstRegisteredFormat];
    size_t chars = std::min(utf8Length(full), size_t(maxCount - 1));
    name = full.substr(0, utf8Prefix(full, chars));
    return int(chars);
}

bool Clipboard::injectedFailure(ClipboardCall call) {
    auto it = faults_.find(call);
    if (it == faults_.end()) return false;
    errno = it->second.error;
    if (--it->second.times <= 0) faults_.erase(it);
    return true;
}

bool Clipboard::needOpen() const {
    if (open_) return true;
    errno = EACCES;
    return false;
}

const Clipboard::Entry* Clipboard::find(uint32_t format) const {
    for (const Entry& e : entries_)
        if (e.format == format) return &e;
    return nullptr;
}

void Clipboard::send(WindowId to, uint32_t msg, uint64_t wParam, int64_t lParam) {
    if (sink_ && to != 0) sink_->onClipboardMessage(to, msg, wParam, lParam);
}

bool Clipboard::OpenClipboard(WindowId owner) {
    if (open_ && openBy_ != owner) {
        errno = EBUSY;
        return false;
    }
    if (injectedFailure(ClipboardCall::Open)) return false;
    open_ = true;
    openBy_ = owner;
    return true;
}

bool Clipboard::CloseClipboard() {
    if (!needOpen() || injectedFailure(ClipboardCall::Close)) return false;
    open_ = false;
    openBy_ = 0;
    if (changed_) {
        // Every bit of state is settled before the viewers run: they may
        // open, read and even write the clipboard from their handlers.
        changed_ = false;
        send(viewer_, WM_DRAWCLIPBOARD, 0, 0);
    }
    return true;
}

bool Clipboard::EmptyClipboard() {
    if (!needOpen() || injectedFailure(ClipboardCall::Empty)) return false;
    entries_.clear();
    owner_ = openBy_;
    changed_ = true;
    ++sequence_;
    return true;
}

uint32_t Clipboard::EnumClipboardFormats(uint32_t format) const {
    if (!needOpen()) return 0;
    size_t next = 0;
    if (format != 0) {
        auto it = std::find_if(entries_.begin(), entries_.end(),
                               [format](const Entry& e) { return e.format == format; });
        next = it == entries_.end() ? entries_.size() : size_t(it - entries_.begin()) + 1;
    }
    if (next >= entries_.size()) {
        errno = 0;
        return 0;
    }
    return entries_[next].format;
}

int Clipboard::CountClipboardFormats() const {
    return int(entries_.size());
}

bool Clipboard::IsClipboardFormatAvailable(uint32_t format) const {
    return format != 0 && find(format) != nullptr;
}

GlobalBlock* Clipboard::GetClipboardData(uint32_t format) {
    if (!needOpen() || injectedFailure(ClipboardCall::GetData)) return nullptr;
    const Entry* e = find(format);
    if (!e || !e->data) {
        errno = ENODATA;
        return nullptr;
    }
    return e->data.get();
}

bool Clipboard::SetClipboardData(uint32_t format, GlobalHandle&& data) {
    if (!needOpen() || injectedFailure(ClipboardCall::SetData)) return false;
    if (format == 0) {
        errno = EINVAL;
        return false;
    }
    if (format == CF_METAFILEPICT && data) {
        // The clipboard must be able to keep the picture alive by itself.
        if (data->size() < sizeof(mf::METAFILEPICT)) {
            errno = EINVAL;
            return false;
        }
        const mf::METAFILEPICT* pict = data->lockAs<mf::METAFILEPICT>();
        const mf::Metafile* picture = pict->hMF;
        data->unlock();
        if (picture && picture != data->metafile()) {
            errno = EINVAL;
            return false;
        }
    }
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [format](const Entry& e) { return e.format == format; });
    if (it != entries_.end())
        it->data = std::move(data);
    else
        entries_.push_back(Entry{format, std::move(data)});
    changed_ = true;
    ++sequence_;
    return true;
}

WindowId Clipboard::SetClipboardViewer(WindowId viewer) {
    if (viewer == 0) {
        errno = EINVAL;
        return 0;
    }
    WindowId previous = viewer_;
    viewer_ = viewer;
    send(viewer, WM_DRAWCLIPBOARD, 0, 0);
    return previous;
}

bool Clipboard::ChangeClipboardChain(WindowId remove, WindowId next) {
    if (remove == 0) {
        errno = EINVAL;
        return false;
    }
    if (viewer_ == remove) viewer_ = next;
    send(viewer_, WM_CHANGECBCHAIN, remove, int64_t(next));
    return true;
}

void Clipboard::failNext(ClipboardCall call, int error, int times) {
    if (times <= 0) {
        faults_.erase(call);
        return;
    }
    faults_[call] = Fault{error, times};
}

}  // namespace qv::platform
