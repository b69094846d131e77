#include "support/test_support.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace qv::test {

std::filesystem::path sourcePath(const std::string& relative) {
    return std::filesystem::path(QV_SOURCE_DIR) / relative;
}

std::filesystem::path binPath(const std::string& name) {
    return std::filesystem::path(QV_BIN_DIR) / name;
}

mf::Bytes readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + p.string());
    return mf::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::filesystem::path& p, const mf::Bytes& b) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    if (!out) throw std::runtime_error("cannot write " + p.string());
}

TempDir::TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "qvtest-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace qv::test
