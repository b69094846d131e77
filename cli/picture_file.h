// Reading a WMF file as bytes, placeable or not, for the inspecting commands.
#pragma once

#include <optional>
#include <string>

#include "engine/metafile/bytes.h"
#include "engine/metafile/metafile.h"
#include "engine/placeable.h"

namespace qv::cli {

struct PictureFile {
    mf::Bytes bytes;                           // the whole file
    std::optional<PlaceableHeader> placeable;  // when the file starts with one
    size_t wmfOffset = 0;                      // where the METAHEADER starts
    mf::MetaHeader header;
    std::string error;
};

// Reads the file and its headers; false with `error` set when the file cannot
// be read or is too short to hold a metafile header.
bool readPictureFile(const std::string& path, PictureFile& out);

std::string describePlaceable(const PlaceableHeader& h);
std::string describeMetaHeader(const mf::MetaHeader& h);

}  // namespace qv::cli
