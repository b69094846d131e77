#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>


#include <cerrno>
#include <string>

namespace qv::platform {

namespace {

bool writeAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) {
            errno = EIO;
            return false;
        }
        p += w;
        n -= size_t(w);
    }
    return true;
}

mode_t currentUmask() {
    mode_t m = ::umask(022);
    ::umask(m);
    return m;
}

}  // namespace

ReadStatus readWholeFile(const std::filesystem::path& path, std::string& out) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
    out.clear();
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            int saved = errno;
            ::close(fd);
            errno = saved;
            return ReadStatus::Failed;
        }
        if (n == 0) break;
        out.append(buf, size_t(n));
    }
    ::close(fd);
    return ReadStatus::Ok;
}

bool writeFileAtomically(const std::filesystem::path& path,
                         std::span<const std::span<const uint8_t>> pieces) {
    std::filesystem::path target = path;
    std::error_code ec;
    if (std::filesystem::is_symlink(target, ec)) {
        auto resolved = std::filesystem::canonical(target, ec);
        if (!ec) target = resolved;
    }
    struct stat st {};
    mode_t mode = 0666 & ~currentUmask();
    if (::stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            return false;
        }
        mode = st.st_mode & 07777;
    }
    std::filesystem::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    std::string tmpl = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return false;
    bool ok = true;
    for (auto piece : pieces) {
        if (!writeAll(fd, piece.data(), piece.size())) {
            ok = false;
            break;
        }
    }
    if (ok && ::fchmod(fd, mode) != 0) ok = false;
    if (ok && ::fsync(fd) != 0) ok = false;
    int saved = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && ::rename(tmpl.c_str(), target.c_str()) != 0) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(tmpl.c_str());
        errno = saved;
    }
    return ok;
}

}  // namespace qv::platform
