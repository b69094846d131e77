// Writing files so that a failed write never destroys what was there.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
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

namespace testhooks {

// Failures for tests to put into writeFileAtomically: a full disk, a folder
// that refuses new files, a folder or file that goes away at the worst
// moment, without privileges and whoever runs the tests. While one is
// installed every call of writeFileAtomically meets it; with none installed
// the writer only looks at one pointer. An errno of 0 injects nothing.
struct FileFaults {
    int createError = 0;    // creating the temporary file fails (EACCES, EROFS, ENOENT, EDQUOT)
    int writeError = 0;     // writing fails (ENOSPC, EDQUOT, EIO) ...
    size_t writeAfter = 0;  // ... once this many bytes are written; the write before is short
    int fsyncError = 0;     // flushing the temporary file fails (ENOSPC, EIO)
    int renameError = 0;    // putting it in place fails (EACCES, EXDEV, EBUSY)
    // Runs after the target has been looked at and before the temporary file
    // is created, so a test can take the file or its folder away there.
    std::function<void()> beforeCreate;

    std::atomic<int> injected{0};  // failures injected so far
    std::atomic<int> calls{0};     // writes that met this object
};

// Installs `faults` for its own lifetime; installs nest, the innermost wins.
class ScopedFileFaults {
  public:
    explicit ScopedFileFaults(FileFaults& faults);
    ~ScopedFileFaults();
    ScopedFileFaults(const ScopedFileFaults&) = delete;
    ScopedFileFaults& operator=(const ScopedFileFaults&) = delete;

  private:
    FileFaults* previous_;
};

}  // namespace testhooks

}  // namespace qv::platform
