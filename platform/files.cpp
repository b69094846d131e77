#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>

namespace qv::platform {

namespace {

using testhooks::FileFaults;

std::atomic<FileFaults*> installedFaults{nullptr};

// True, with errno set, when the installed faults make this step fail.
bool injected(FileFaults* faults, int error) {
    if (!faults || error == 0) return false;
    ++faults->injected;
    errno = error;
    return true;
}

// Writes all n bytes, counting them in `written`.
bool writeAll(int fd, const uint8_t* p, size_t n, size_t& written, FileFaults* faults) {
    while (n > 0) {
        size_t ask = n;
        if (faults && faults->writeError != 0) {
            if (written >= faults->writeAfter) return !injected(faults, faults->writeError);
            ask = std::min(ask, faults->writeAfter - written);
        }
        ssize_t w = ::write(fd, p, ask);
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
        written += size_t(w);
    }
    return true;
}

// The temporary file's name: hidden, beside the target, short enough for any
// target name the folder can hold.
std::string temporaryTemplate(const std::filesystem::path& dir, const std::string& name) {
    constexpr size_t kKeep = 200;  // of NAME_MAX (255), leaving room for ".", ".XXXXXX"
    return (dir / ("." + name.substr(0, kKeep) + ".XXXXXX")).string();
}

// Makes a rename in `dir` last across a crash. The file is in place already,
// so a failure here changes nothing for the caller.
void flushFolder(const std::filesystem::path& dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// The process's umask, read without changing it: setting and restoring it
// would race with another thread doing the same and could leave the wrong
// mask behind for good.
mode_t currentUmask() {
    std::string status;
    if (readWholeFile("/proc/self/status", status) == ReadStatus::Ok) {
        size_t at = status.find("\nUmask:");
        if (at != std::string::npos) {
            char* end = nullptr;
            unsigned long m = std::strtoul(status.c_str() + at + 7, &end, 8);
            if (end != status.c_str() + at + 7) return mode_t(m & 0777);
        }
    }
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
    FileFaults* faults = installedFaults.load(std::memory_order_acquire);
    if (faults) ++faults->calls;
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
    if (faults && faults->beforeCreate) faults->beforeCreate();
    if (injected(faults, faults ? faults->createError : 0)) return false;
    std::string tmpl = temporaryTemplate(dir, target.filename().string());
    int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = true;
    size_t written = 0;
    for (auto piece : pieces) {
        if (!writeAll(fd, piece.data(), piece.size(), written, faults)) {
            ok = false;
            break;
        }
    }
    if (ok && ::fchmod(fd, mode) != 0) ok = false;
    if (ok && (injected(faults, faults ? faults->fsyncError : 0) || ::fsync(fd) != 0)) ok = false;
    int saved = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && (injected(faults, faults ? faults->renameError : 0) ||
               ::rename(tmpl.c_str(), target.c_str()) != 0)) {
        ok = false;
        saved = errno;
    }
    if (!ok) {
        ::unlink(tmpl.c_str());
        errno = saved;
        return false;
    }
    flushFolder(dir);
    return true;
}

namespace testhooks {

ScopedFileFaults::ScopedFileFaults(FileFaults& faults)
    : previous_(installedFaults.exchange(&faults, std::memory_order_acq_rel)) {}

ScopedFileFaults::~ScopedFileFaults() {
    installedFaults.store(previous_, std::memory_order_release);
}

}  // namespace testhooks

}  // namespace qv::platform
