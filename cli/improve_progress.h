// The progress line of quorvex improve on a terminal:
// "improving: D/T files, X MB/s", rewritten in place on standard error.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace qv::cli {

class ProgressLine {
  public:
    // Shows nothing unless `enabled`.
    ProgressLine(bool enabled, size_t total, std::FILE* stream = stderr);
    ~ProgressLine() { clear(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Draws the line again with `done` files and `bytes` input bytes finished.
    void update(size_t done, uintmax_t bytes);
    // Takes the line away, so that other output starts on a clean line; the
    // next update draws it again.
    void clear();

  private:
    bool enabled_;
    size_t total_;
    std::FILE* stream_;
    size_t shown_ = 0;  // characters of the line on the screen
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Whether standard error is a terminal.
bool stderrIsTerminal();

}  // namespace qv::cli
