#include "cli/improve_runner.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace qv::cli {

void runInOrder(size_t count, unsigned threads, const RunCallbacks& cb) {
    if (count == 0) return;
    const size_t workers = std::clamp<size_t>(threads, 1, count);

    std::vector<std::optional<ImproveResult>> results(count);
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<size_t> next{0};
    size_t done = 0;
    uintmax_t doneBytes = 0;

    auto work = [&] {
        for (size_t i = next++; i < count; i = next++) {
            ImproveResult r = cb.job(i);
            std::lock_guard lock(mutex);
            doneBytes += r.inputBytes;
            ++done;
            results[i] = std::move(r);
            changed.notify_one();
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(workers);
    for (size_t t = 0; t < workers; ++t) pool.emplace_back(work);

    size_t reported = 0;
    while (reported < count) {
        std::vector<ImproveResult> ready;
        size_t doneNow = 0;
        uintmax_t bytesNow = 0;
        {
            std::unique_lock lock(mutex);
            changed.wait_for(lock, std::chrono::milliseconds(200),
                             [&] { return results[reported].has_value(); });
            for (size_t k = reported; k < count && results[k]; ++k) {
                ready.push_back(std::move(*results[k]));
                results[k].reset();
            }
            doneNow = done;
            bytesNow = doneBytes;
        }
        for (auto& r : ready) cb.report(r);
        reported += ready.size();
        cb.tick(doneNow, bytesNow);
    }
    for (auto& t : pool) t.join();
}

}  // namespace qv::cli
