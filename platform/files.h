// Writing files so that a failed write never destroys what was there.
#pragma once

#include <filesystem>
#include <span>
#include <cstdint>
#include <string>

namespace qv::platform {

// Writes the pieces, one after the other, to a temporary file beside `path`
// and renames it over `path` only when every byte is written and flushed.
// A link is followed: the file it points to is replaced. The new file keeps
// the mode of the file it replaces (a new one gets 0666 less the umask).
// On failure returns false with errno set, `path` is untouched and no
// temporary file is left behind.
bool writeFileAtomically(const std::filesystem::path& path,
                         std::span<const std::span<const uint8_t>> pieces);

enum class ReadStatus { Ok, Missing, Failed };

// Reads a whole file; Missing when it does not exist, Failed (errno set) when
// it cannot be read.
ReadStatus readWholeFile(const std::filesystem::path& path, std::string& out);

}  // namespace qv::platform
