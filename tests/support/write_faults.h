// Failures for the tests of the program's writers: the faults injected into
// writeFileAtomically, a picture of a file and its folder to compare before
// and after, and a small tmpfs that can really be filled or made read-only.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"

namespace qv::test {

// One fault injected through the files seam, and the errno it must end in.
struct InjectedFault {
    const char* name;
    int error;
    void (*arm)(platform::testhooks::FileFaults& faults);
};

inline void PrintTo(const InjectedFault& f, std::ostream* os) {
    *os << f.name;
}

// Every way the seam can fail a write whose target and folder stay in place.
inline const std::vector<InjectedFault>& injectedFaults() {
    using platform::testhooks::FileFaults;
    static const std::vector<InjectedFault> faults = {
        {"DiskFullAtTheFirstByte", ENOSPC, [](FileFaults& f) { f.writeError = ENOSPC; }},
        {"DiskFullAfterAShortWrite", ENOSPC,
         [](FileFaults& f) {
             f.writeError = ENOSPC;
             f.writeAfter = 13;  // inside the first piece of every writer
         }},
        {"QuotaExceededHalfWay", EDQUOT,
         [](FileFaults& f) {
             f.writeError = EDQUOT;
             f.writeAfter = 40;
         }},
        {"DiskFullWhileFlushing", ENOSPC, [](FileFaults& f) { f.fsyncError = ENOSPC; }},
        {"DeviceErrorWhileFlushing", EIO, [](FileFaults& f) { f.fsyncError = EIO; }},
        {"FolderRefusesNewFiles", EACCES, [](FileFaults& f) { f.createError = EACCES; }},
        {"ReadOnlyFileSystem", EROFS, [](FileFaults& f) { f.createError = EROFS; }},
        {"QuotaExceededForNewFiles", EDQUOT, [](FileFaults& f) { f.createError = EDQUOT; }},
        {"FolderGoneWhenCreating", ENOENT, [](FileFaults& f) { f.createError = ENOENT; }},
        {"RenameRefused", EBUSY, [](FileFaults& f) { f.renameError = EBUSY; }},
    };
    return faults;
}

inline std::string injectedFaultName(const ::testing::TestParamInfo<InjectedFault>& info) {
    return info.param.name;
}

// "Unable to write PATH:\nREASON", the message of every writer.
inline std::string unableToWrite(const std::filesystem::path& path, int error) {
    return "Unable to write " + path.string() + ":\n" + std::strerror(error);
}

// What a path holds: absent, a folder, or a file with its bytes and mode.
struct PathState {
    bool exists = false;
    bool folder = false;
    std::string bytes;
    unsigned mode = 0;

    static PathState of(const std::filesystem::path& p) {
        PathState s;
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0) return s;
        s.exists = true;
        s.folder = S_ISDIR(st.st_mode);
        s.mode = st.st_mode & 07777;
        if (!s.folder) {
            std::ifstream in(p, std::ios::binary);
            s.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        return s;
    }
    bool operator==(const PathState&) const = default;
};

inline void PrintTo(const PathState& s, std::ostream* os) {
    if (!s.exists) {
        *os << "(absent)";
    } else if (s.folder) {
        *os << "(folder, mode " << std::oct << s.mode << std::dec << ")";
    } else {
        *os << "(" << s.bytes.size() << " bytes, mode " << std::oct << s.mode << std::dec << ")";
    }
}

// The names in a folder, hidden ones included (empty when it is gone).
inline std::set<std::string> namesIn(const std::filesystem::path& dir) {
    std::set<std::string> names;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(dir, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        names.insert(it->path().filename().string());
    }
    return names;
}

// A tmpfs of a few pages mounted on `dir` for its lifetime, when the tests
// may mount one (the superuser with the right capabilities); else why not.
class SmallTmpfs {
  public:
    explicit SmallTmpfs(const std::filesystem::path& dir) : dir_(dir) {
        std::filesystem::create_directories(dir_);
        if (::mount("tmpfs", dir_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0755") ==
            0) {
            mounted_ = true;
        } else {
            why_ = std::string("no tmpfs can be mounted here: ") + std::strerror(errno);
        }
    }
    ~SmallTmpfs() {
        if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
    }
    SmallTmpfs(const SmallTmpfs&) = delete;
    SmallTmpfs& operator=(const SmallTmpfs&) = delete;

    bool mounted() const { return mounted_; }
    const std::string& whyNot() const { return why_; }
    const std::filesystem::path& path() const { return dir_; }

    // Fills every free block with one file, so that the next write finds the
    // disk full. False when the disk did not end up full.
    bool fill() {
        const std::filesystem::path filler = dir_ / "filler";
        int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        const std::vector<char> block(4096, 'f');
        int error = 0;
        for (;;) {
            ssize_t n = ::write(fd, block.data(), block.size());
            if (n < 0) {
                if (errno == EINTR) continue;
                error = errno;
                break;
            }
            if (n < ssize_t(block.size())) continue;  // the last bytes; the next write fails
        }
        ::close(fd);
        return error == ENOSPC;
    }

    // The whole file system becomes read-only, for the superuser too.
    bool makeReadOnly() {
        return ::mount("tmpfs", dir_.c_str(), "tmpfs",
                       MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, "size=64k") == 0;
    }

  private:
    std::filesystem::path dir_;
    bool mounted_ = false;
    std::string why_;
};

}  // namespace qv::test
