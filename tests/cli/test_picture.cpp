#include "cli/test_picture.h"

#include <algorithm>
#include <string_view>

#include "cli/wmf_file.h"
#include "engine/metafile/records.h"

namespace qv::test {

using mf::Fn;
using mf::RecordBuilder;

mf::Bytes TestPicture::stretchDib(int32_t width, int32_t height, uint16_t bitCount,
                                  size_t pixelBytes) {
    RecordBuilder b(uint16_t(Fn::StretchDib));
    b.u32(0x00CC0020).u16(0);                                  // SRCCOPY, DIB_RGB_COLORS
    b.i16(int16_t(height)).i16(int16_t(width)).i16(0).i16(0);  // source size and origin
    b.i16(200).i16(400).i16(700).i16(1500);                    // destination: height, width, y, x
    // BITMAPINFOHEADER
    b.u32(40).u32(uint32_t(width)).u32(uint32_t(height)).u16(1).u16(bitCount);
    b.u32(0).u32(0).u32(0).u32(0).u32(0).u32(0);
    mf::Bytes pixels(pixelBytes);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i * 37);
    b.bytes(pixels);
    return b.finish();
}

TestPicture TestPicture::sound() {
    TestPicture p;
    auto& r = p.records;
    r.push_back(RecordBuilder(uint16_t(Fn::SetWindowOrg)).i16(0).i16(0).finish());
    r.push_back(RecordBuilder(uint16_t(Fn::SetWindowExt)).i16(1000).i16(2000).finish());
    r.push_back(RecordBuilder(uint16_t(Fn::CreatePenIndirect))
                    .u16(0)
                    .i16(10)
                    .i16(0)
                    .u32(0x0000FF)
                    .finish());
    r.push_back(RecordBuilder(uint16_t(Fn::SelectObject)).u16(0).finish());
    r.push_back(RecordBuilder(uint16_t(Fn::Polyline))
                    .u16(3)
                    .i16(100)
                    .i16(100)
                    .i16(900)
                    .i16(150)
                    .i16(500)
                    .i16(800)
                    .finish());
    RecordBuilder pp(uint16_t(Fn::PolyPolygon));
    pp.u16(2).u16(3).u16(4);
    for (int16_t v : {1000, 100, 1200, 100, 1100, 300}) pp.i16(v);
    for (int16_t v : {1300, 400, 1600, 400, 1600, 600, 1300, 600}) pp.i16(v);
    r.push_back(pp.finish());
    r.push_back(RecordBuilder(uint16_t(Fn::ExtTextOut))
                    .i16(950)
                    .i16(200)
                    .u16(5)
                    .u16(0)
                    .text("Hello")
                    .finish());
    // 2 x 2 pixels of 24 bits: rows of 8 bytes.
    r.push_back(stretchDib(2, 2, 24, 16));
    return p;
}

mf::Bytes TestPicture::bytes() const {
    mf::Bytes out;
    mf::putU32(out, key);
    mf::putU16(out, 0);
    mf::putI16(out, left);
    mf::putI16(out, top);
    mf::putI16(out, right);
    mf::putI16(out, bottom);
    mf::putU16(out, inch);
    mf::putU32(out, 0);
    mf::putU16(out, placeableChecksum(out));

    mf::Bytes eof = RecordBuilder(uint16_t(Fn::Eof)).finish();
    size_t total = kMetaHeaderSize + (endRecord ? eof.size() : 0);
    uint32_t largest = endRecord ? 3 : 0;
    for (const auto& rec : records) {
        total += rec.size();
        largest = std::max<uint32_t>(largest, uint32_t(rec.size() / 2));
    }
    mf::putU16(out, type);
    mf::putU16(out, headerSize);
    mf::putU16(out, 0x0300);
    mf::putU32(out, sizeWords.value_or(uint32_t(total / 2)));
    mf::putU16(out, objects);
    mf::putU32(out, largest);
    mf::putU16(out, 0);
    for (const auto& rec : records) out.insert(out.end(), rec.begin(), rec.end());
    if (endRecord) out.insert(out.end(), eof.begin(), eof.end());
    return out;
}

size_t TestPicture::recordOffset(size_t index) const {
    size_t off = kPlaceableSize + kMetaHeaderSize;
    for (size_t i = 0; i < index && i < records.size(); ++i) off += records[i].size();
    return off;
}

void setRecordSize(mf::Bytes& record, uint32_t words) {
    mf::wrU32(record.data(), words);
}

}  // namespace qv::test
