// Runs the files of quorvex improve on worker threads and hands the results
// back on the calling thread in input order: result i is reported once
// results 0..i are all done, so the output does not depend on the timing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "cli/improve_job.h"

namespace qv::cli {

struct RunCallbacks {
    // Does job i; runs on a worker thread.
    std::function<ImproveResult(size_t)> job;
    // Reports result i; runs on the calling thread, in order.
    std::function<void(ImproveResult&)> report;
    // Called on the calling thread now and then, and after every report, with
    // the number of finished jobs and their input bytes.
    std::function<void(size_t, uintmax_t)> tick;
};

// Runs `count` jobs on `threads` workers (at least one, at most one per job).
void runInOrder(size_t count, unsigned threads, const RunCallbacks& callbacks);

}  // namespace qv::cli
