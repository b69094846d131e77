#include "cli/picture_file.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/system_error.h"

namespace qv::cli {

bool readPictureFile(const std::string& path, PictureFile& out) {
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        out.error = platform::SystemErrorText();
        return false;
    }
    out.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        out.error = platform::SystemErrorText();
        return false;
    }
    mf::ByteSpan b(out.bytes);
    if (b.size() >= 4 && mf::rdU32(b.data()) == kPlaceableKey) {
        if (b.size() < kPlaceableBytes) {
            out.error = "the placeable header is cut off (" + std::to_string(b.size()) + " bytes)";
            return false;
        }
        out.placeable = PlaceableHeader::read(b);
        out.wmfOffset = kPlaceableBytes;
    }
    if (b.size() < out.wmfOffset + mf::MetaHeader::kBytes) {
        out.error = "not a Windows metafile: the metafile header is cut off";
        return false;
    }
    out.header = mf::MetaHeader::read(b.subspan(out.wmfOffset));
    return true;
}

std::string describePlaceable(const PlaceableHeader& h) {
    char buf[200];
    uint16_t sum = PlaceableChecksum(h);
    std::snprintf(buf, sizeof buf, "placeable: bbox=(%d,%d)-(%d,%d) inch=%u checksum=0x%04X %s", h.left, h.top,
                  h.right, h.bottom, h.inch, h.checksum, h.checksum == sum ? "(correct)" : "(wrong)");
    std::string s = buf;
    if (h.checksum != sum) {
        std::snprintf(buf, sizeof buf, " should be 0x%04X", sum);
        s += buf;
    }
    return s;
}

std::string describeMetaHeader(const mf::MetaHeader& h) {
    char buf[200];
    std::snprintf(buf, sizeof buf,
                  "metaheader: type=%u headersize=%u version=0x%04X size=%u words objects=%u maxrecord=%u params=%u",
                  h.type, h.headerSize, h.version, h.sizeWords, h.numObjects, h.maxRecord, h.numParams);
    return buf;
}

}  // namespace qv::cli
