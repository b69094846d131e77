// Timing and peak-memory measurement shared by the benchmarks.
#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>

#include "bench/bench.h"

namespace qv::bench {

namespace {

double now() {
    using Clock = std::chrono::steady_clock;
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

// One "Vm...:   1234 kB" line of /proc/self/status, in KiB; -1 when missing.
long long statusKiB(const char* key) {
    std::FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long long value = -1;
    const size_t keyLength = std::strlen(key);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, key, keyLength) == 0 && line[keyLength] == ':') {
            if (std::sscanf(line + keyLength + 1, "%lld", &value) != 1) value = -1;
            break;
        }
    }
    std::fclose(f);
    return value;
}

// Sets the high-water mark of resident memory back to what is resident now.
bool resetHighWaterMark() {
    std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (!f) return false;
    bool written = std::fputs("5", f) >= 0;
    return std::fclose(f) == 0 && written;
}

long long maxRssKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

bool highWaterMarkResets() {
    static const bool resets = resetHighWaterMark() && statusKiB("VmHWM") >= 0;
    return resets;
}

}  // namespace

// Runs `run` again and again and returns the best time of one run in seconds; `prepare`
// (when given) runs untimed before each run. Repeats until the runs took at least 0.5 s
// and there were at least 3 of them, but stops once they took 3 s; with `quick`, 0.05 s,
// 2 runs and 0.5 s.
double bestSeconds(const std::function<void()>& prepare, const std::function<void()>& run,
                   bool quick, int& runs) {
    const double minTotal = quick ? 0.05 : 0.5;
    const double maxTotal = quick ? 0.5 : 3.0;
    const int minRuns = quick ? 2 : 3;
    double best = std::numeric_limits<double>::infinity();
    double total = 0;
    runs = 0;
    while (true) {
        if (prepare) prepare();
        const double start = now();
        run();
        const double t = now() - start;
        ++runs;
        total += t;
        best = std::min(best, t);
        if (total >= maxTotal || (total >= minTotal && runs >= minRuns)) break;
    }
    return best;
}

// How peakBytesDuring measures, for the report.
const char* peakMemoryMethod() {
    return highWaterMarkResets()
               ? "VmHWM of /proc/self/status (reset through /proc/self/clear_refs before each "
                 "measurement) less VmRSS before it; freed heap is given back to the system "
                 "first, so reused memory counts again"
               : "growth of getrusage ru_maxrss (the kernel cannot reset the high-water mark "
                 "here: a lower bound, 0 unless the process reaches a new peak)";
}

// The most resident memory above what was resident before, in bytes, while `fn` ran once.
long long peakBytesDuring(const std::function<void()>& fn) {
    malloc_trim(0);
    if (highWaterMarkResets() && resetHighWaterMark()) {
        const long long before = statusKiB("VmRSS");
        fn();
        const long long peak = statusKiB("VmHWM");
        return before < 0 || peak < 0 ? -1 : std::max(0LL, peak - before) * 1024;
    }
    const long long before = maxRssKiB();
    fn();
    return std::max(0LL, maxRssKiB() - before) * 1024;
}

}  // namespace qv::bench
