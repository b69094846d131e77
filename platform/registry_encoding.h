// The character encodings a registry export file may come in.
#pragma once

#include <optional>
#include <string>

namespace qv::platform {

// The file's text as UTF-8: a UTF-8 byte-order mark is dropped, UTF-16 text
// (little-endian with or without its mark, big-endian with its mark) is
// converted, anything else is taken as it is. Nullopt when the text holds a
// zero character, as binary data does.
std::optional<std::string> decodeHiveText(const std::string& bytes);

}  // namespace qv::platform
