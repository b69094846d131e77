#include "cli/improve_progress.h"

#include <unistd.h>

#include <algorithm>
#include <string>

namespace qv::cli {

ProgressLine::ProgressLine(bool enabled, size_t total, std::FILE* stream)
    : enabled_(enabled), total_(total), stream_(stream) {}

void ProgressLine::update(size_t done, uintmax_t bytes) {
    if (!enabled_) return;
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    double rate = seconds > 0 ? double(bytes) / 1e6 / seconds : 0;
    char line[120];
    int n =
        std::snprintf(line, sizeof line, "improving: %zu/%zu files, %.1f MB/s", done, total_, rate);
    if (n < 0) return;
    size_t len = std::min(size_t(n), sizeof line - 1);
    // Spaces over what is left of a longer line before.
    std::string text = "\r" + std::string(line, len);
    if (shown_ > len) text += std::string(shown_ - len, ' ') + "\r" + std::string(line, len);
    std::fputs(text.c_str(), stream_);
    std::fflush(stream_);
    shown_ = len;
}

void ProgressLine::clear() {
    if (!enabled_ || shown_ == 0) return;
    std::string text = "\r" + std::string(shown_, ' ') + "\r";
    std::fputs(text.c_str(), stream_);
    std::fflush(stream_);
    shown_ = 0;
}

bool stderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

}  // namespace qv::cli
