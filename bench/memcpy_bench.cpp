// The memory-copy bound: how fast this machine copies a buffer too large for its caches.
// A pass that reads a picture once cannot beat it by much, so the other benchmarks print
// their throughput as a fraction of it, measured in the same run.
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "bench/bench.h"

namespace qv::bench {

namespace {

constexpr std::size_t kDefaultMiB = 60;
constexpr int kDefaultCopies = 10;
constexpr int kQuickCopies = 4;

constexpr const char* kHelp =
    "usage: qv_bench memcpy [--quick] [--mib N] [--copies N]\n"
    "\n"
    "Copies a buffer of N MiB (default 60, more than the caches hold) with memcpy as many\n"
    "times (default 10, 4 with --quick; both buffers touched first) and prints the best and\n"
    "the median rate in MB/s (10^6 bytes of the buffer per second).\n";

// Keeps the copies observable so that none of them can be left out.
volatile unsigned copyCheck = 0;

struct CopyRates {
    double best = 0;    // bytes per second
    double median = 0;  // bytes per second
    double bestSeconds = 0;
};

// False when the buffers cannot be had.
bool measureCopies(std::size_t bytes, int copies, CopyRates& rates) {
    std::unique_ptr<unsigned char[]> src(new (std::nothrow) unsigned char[bytes]);
    std::unique_ptr<unsigned char[]> dst(new (std::nothrow) unsigned char[bytes]);
    if (!src || !dst) return false;
    for (std::size_t i = 0; i < bytes; ++i) src[i] = static_cast<unsigned char>(i);
    std::memset(dst.get(), 0, bytes);

    std::vector<double> times;
    unsigned check = 0;
    for (int i = 0; i < copies; ++i) {
        const auto start = std::chrono::steady_clock::now();
        std::memcpy(dst.get(), src.get(), bytes);
        times.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        check += dst[std::size_t(i) * 4099 % bytes];
        src[std::size_t(i) * 7919 % bytes] ^= 1;
    }
    copyCheck = copyCheck + check;
    std::sort(times.begin(), times.end());
    rates.bestSeconds = times.front();
    rates.best = double(bytes) / times.front();
    rates.median = double(bytes) / times[times.size() / 2];
    return true;
}

// Measures and prints one line; the best rate in bytes per second, 0 on failure.
double reportCopyBound(std::size_t mib, int copies) {
    CopyRates rates;
    if (!measureCopies(mib << 20, copies, rates)) {
        std::fprintf(stderr, "qv_bench: no memory for two buffers of %zu MiB\n", mib);
        return 0;
    }
    std::printf(
        "memory-copy bound: memcpy of %zu MiB, best of %d: %.3f ms = %.0f MB/s "
        "(median %.0f MB/s)\n",
        mib, copies, rates.bestSeconds * 1e3, rates.best / 1e6, rates.median / 1e6);
    return rates.best;
}

bool parseCount(const std::string& text, long max, long& value) {
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && value >= 1 && value <= max;
}

}  // namespace

double reportDefaultCopyBound(bool quick) {
    return reportCopyBound(kDefaultMiB, quick ? kQuickCopies : kDefaultCopies);
}

int runMemcpy(const Args& args) {
    long mib = kDefaultMiB;
    long copies = 0;
    bool quick = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-h" || a == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (a == "--quick") {
            quick = true;
        } else if ((a == "--mib" || a == "--copies") && i + 1 < args.size()) {
            long& target = a == "--mib" ? mib : copies;
            if (!parseCount(args[++i], a == "--mib" ? 65536 : 100000, target)) {
                std::fprintf(stderr, "qv_bench memcpy: bad value for %s: %s\n", a.c_str(),
                             args[i].c_str());
                return 2;
            }
        } else {
            std::fprintf(stderr, "qv_bench memcpy: unknown argument %s\n%s", a.c_str(), kHelp);
            return 2;
        }
    }
    if (copies == 0) copies = quick ? kQuickCopies : kDefaultCopies;
    return reportCopyBound(std::size_t(mib), int(copies)) > 0 ? 0 : 1;
}

}  // namespace qv::bench
