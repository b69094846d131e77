// Running a built program as a user would: arguments passed as they are (no
// shell), standard input empty, standard output and standard error captured.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace qv::test {

struct ProgramResult {
    bool exited = false;  // ended through exit(), not killed by a signal
    int exitCode = -1;    // when exited
    int signal = 0;       // when killed
    std::string out;
    std::string err;

    // "exit 1" or "signal 11", with both outputs, for failure messages.
    std::string describe() const;
};

struct RunOptions {
    // When not 0: the child may not allocate more than this many bytes, so
    // that an attempt to allocate an absurd size fails instead of succeeding
    // lazily. A plain build limits the address space; a build with the address
    // sanitizer (which needs a huge address space) limits single allocations.
    size_t memoryLimit = 0;
    // The child's XDG_CONFIG_HOME, where it keeps its settings. Empty: a
    // folder of this test process's own, so no test ever reads or changes
    // the settings of the user running the tests.
    std::filesystem::path configHome;
};

// The settings folder the tests' programs use unless a test gives its own.
const std::filesystem::path& testConfigHome();

// Runs `program` with `args` and waits for it to end, however long it takes.
ProgramResult runProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const RunOptions& options = {});

// The same for the built quorvex.
ProgramResult runQuorvex(const std::vector<std::string>& args, const RunOptions& options = {});

}  // namespace qv::test
