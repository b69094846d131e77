// A small, sound placeable picture built record by record, which a test can
// damage in one place before writing it out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/metafile/bytes.h"

namespace qv::test {

struct TestPicture {
    // Placeable header.
    uint32_t key = 0x9AC6CDD7;
    int16_t left = 0, top = 0, right = 2000, bottom = 1000;
    uint16_t inch = 1000;
    // METAHEADER; the size and the largest record are counted unless set.
    uint16_t type = 1;
    uint16_t headerSize = 9;
    uint16_t objects = 1;
    std::optional<uint32_t> sizeWords;
    std::vector<mf::Bytes> records;  // before the end record
    bool endRecord = true;

    // Indices of the records of the sound picture.
    enum : size_t {
        kWindowOrg,
        kWindowExt,
        kPen,
        kSelectPen,
        kPolyline,
        kPolyPolygon,
        kExtText,
        kStretchDib,
        kRecordCount
    };

    // The sound picture: window, a pen, a polyline, two polygons, a line of
    // text and a 2 x 2 24-bit bitmap.
    static TestPicture sound();

    // The record of a STRETCHDIB of a bitmap with the given size and depth,
    // holding pixels for `pixelBytes` only.
    static mf::Bytes stretchDib(int32_t width, int32_t height, uint16_t bitCount,
                                size_t pixelBytes);

    mf::Bytes bytes() const;
    // File offset of record `index` (the end record is at index records.size()).
    size_t recordOffset(size_t index) const;
};

// Sets the size word of a record built by RecordBuilder.
void setRecordSize(mf::Bytes& record, uint32_t words);

}  // namespace qv::test
