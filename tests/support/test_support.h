// Helpers shared by the tests: files of the source tree, temporary folders.
#pragma once

#include <filesystem>
#include <string>

#include "engine/metafile/bytes.h"

namespace qv::test {

// A path below the source tree ("tests/data/lo-lines.wmf").
std::filesystem::path sourcePath(const std::string& relative);
// A path of the built programs ("quorvex").
std::filesystem::path binPath(const std::string& name);
mf::Bytes readFile(const std::filesystem::path& p);
void writeFile(const std::filesystem::path& p, const mf::Bytes& b);

// A fresh temporary folder, removed with everything in it when destroyed.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

}  // namespace qv::test
