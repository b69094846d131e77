// Small helpers shared by the command-line tests.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace qv::test {

std::vector<std::string> splitLines(const std::string& text);

// The *.wmf files of a folder below the source tree, sorted; names ending in
// `exclude` are left out when it is not empty.
std::vector<std::filesystem::path> wmfFilesIn(const std::string& relativeDir,
                                              const std::string& exclude = "");

// "0x00000028", as the record listing writes file offsets.
std::string offsetText(size_t offset);
// "0x28", as the messages write file offsets.
std::string shortHex(size_t value);

// A test name made of the file's stem: letters, digits and '_'.
std::string testNameOf(const std::filesystem::path& path);

// Names of the files in a folder, sorted.
std::vector<std::string> folderListing(const std::filesystem::path& dir);

}  // namespace qv::test
