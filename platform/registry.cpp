// Registry: the hive file on disk, read tolerantly and updated under a lock.
//
// Writers take an exclusive flock() on "registry.reg.lock" beside the hive
// (the hive itself is replaced by a rename, so it cannot carry the lock),
// read the current file, change it and write it whole with
// writeFileAtomically(). Readers need no lock: they see either the old or the
// new file, never a mixture.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <span>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/system_error.h"

namespace qv::platform {

namespace fs = std::filesystem;

namespace {

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buf(size > 0 ? size_t(size) : 16384, '\0');
    struct passwd pw {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found &&
        found->pw_dir) {
        return found->pw_dir;
    }
    return {};
}


// Creates the missing folders of `dir`, each readable by its owner only.
bool makeFolders(const fs::path& dir) {
    if (dir.empty()) return true;
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        errno = ENOTDIR;
        return false;
    }
    if (dir.has_parent_path() && dir.parent_path() != dir && !makeFolders(dir.parent_path())) {
        return false;
    }
    return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

// An exclusive lock on the lock file beside the hive, held while it lives.
class HiveLock {
  public:
    explicit HiveLock(const fs::path& hive) {
        fs::path lockPath = hive;
        lockPath += ".lock";
        fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ < 0 && (errno == EROFS || errno == EACCES)) {
            // A lock file that we may not write still locks (flock needs no
            // write access), so the write itself tells what is wrong.
            int saved = errno;
            fd_ = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd_ < 0) errno = saved;
        }
        if (fd_ < 0) return;
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno == EINTR) continue;
            int saved = errno;
            ::close(fd_);
            fd_ = -1;
            errno = saved;
            return;
        }
    }
    ~HiveLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    HiveLock(const HiveLock&) = delete;
    HiveLock& operator=(const HiveLock&) = delete;
    bool held() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

// Renames `from` to `to` unless `to` exists.
bool renameNoReplace(const fs::path& from, const fs::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) return false;
    // File systems without the flag: a hard link refuses an existing name too.
    if (::link(from.c_str(), to.c_str()) != 0) return false;
    ::unlink(from.c_str());
    return true;
}

// Moves a damaged hive aside as "<name>.damaged-YYYYMMDD-HHMMSS", adding -2,
// -3, ... when that name is taken. Returns the new path, empty on failure.
fs::path moveAside(const fs::path& hive) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string base = hive.string() + ".damaged-" + stamp;
    for (int n = 1; n < 10000; ++n) {
        fs::path aside = n == 1 ? base : base + "-" + std::to_string(n);
        if (renameNoReplace(hive, aside)) return aside;
        if (errno != EEXIST) return {};
    }
    errno = EEXIST;
    return {};
}

// The hive as the file holds it. Nullopt (errno set) when the file cannot be
// read or a damaged file cannot be moved aside, so that no writer replaces
// it; `locked` says whether the caller holds the hive's lock.
std::optional<RegistryHive> loadHive(const fs::path& path, bool locked, std::string* problem) {
    std::string bytes;
    switch (readWholeFile(path, bytes)) {
        case ReadStatus::Missing:
            return RegistryHive();
        case ReadStatus::Failed: {
            int saved = errno;
            if (problem) *problem = "Unable to read " + path.string() + ":\n" + SystemErrorText();
            errno = saved;
            return std::nullopt;
        }
        case ReadStatus::Ok:
            break;
    }
    // A hive whose first write was cut short is empty, not damaged.
    if (bytes.empty()) return RegistryHive();
    if (auto hive = RegistryHive::parse(bytes)) return hive;

    if (!locked) {
        // Another process may be replacing the file right now: look again
        // under the lock before moving anything.
        HiveLock lock(path);
        if (lock.held()) return loadHive(path, true, problem);
    }
    fs::path aside = moveAside(path);
    if (aside.empty()) {
        int saved = errno;
        if (problem) {
            *problem = path.string() + " is not a registry hive and could not be moved aside:\n" +
                       SystemErrorText();
        }
        errno = saved;
        return std::nullopt;
    }
    if (problem) {
        *problem = path.string() + " is not a registry hive; it was moved to " + aside.string();
    }
    return RegistryHive();
}

}  // namespace

Registry::Registry(fs::path hiveFile) : path_(std::move(hiveFile)) {}

fs::path Registry::defaultHivePath() {
    fs::path config;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    // A relative XDG_CONFIG_HOME is not valid and is ignored.
    if (xdg && *xdg == '/') {
        config = xdg;
    } else {
        config = fs::path(homeFolder()) / ".config";
    }
    return config / "quorvex" / "registry.reg";
}

RegistryHive Registry::read(std::string* problem) const {
    if (problem) problem->clear();
    auto hive = loadHive(path_, false, problem);
    return hive ? std::move(*hive) : RegistryHive();
}

bool Registry::update(const std::function<bool(RegistryHive&)>& change,
                      std::string* problem) const {
    if (problem) problem->clear();
    auto fail = [&](const std::string& what) {
        int saved = errno;
        if (problem) *problem = what + " " + path_.string() + ":\n" + SystemErrorText();
        errno = saved;
        return false;
    };
    if (!makeFolders(path_.parent_path())) return fail("Unable to create the folder of");
    HiveLock lock(path_);
    if (!lock.held()) return fail("Unable to lock");

    auto hive = loadHive(path_, true, problem);
    if (!hive) return false;
    if (!change(*hive)) return true;

    // A new hive is for its owner's eyes only; writeFileAtomically keeps the
    // mode of the file it replaces.
    bool created = false;
    int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::fchmod(fd, 0600);
        ::close(fd);
        created = true;
    }
    std::string text = hive->text();
    std::span<const uint8_t> piece(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    const std::span<const uint8_t> pieces[] = {piece};
    if (!writeFileAtomically(path_, pieces)) {
        int saved = errno;
        if (created) ::unlink(path_.c_str());
        errno = saved;
        return fail("Unable to write");
    }
    return true;
}

}  // namespace qv::platform
