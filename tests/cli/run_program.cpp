#include "cli/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "support/test_support.h"

namespace qv::test {

namespace {

struct Pipe {
    int read = -1;
    int write = -1;
    Pipe() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe2 failed");
        read = fds[0];
        write = fds[1];
    }
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    void closeRead() {
        if (read >= 0) ::close(read);
        read = -1;
    }
    void closeWrite() {
        if (write >= 0) ::close(write);
        write = -1;
    }
};

// Reads both pipes until both are at end of file, so that neither can fill up
// and block the child.
void drain(Pipe& out, Pipe& err, std::string& outText, std::string& errText) {
    char buf[65536];
    while (out.read >= 0 || err.read >= 0) {
        pollfd fds[2];
        nfds_t n = 0;
        if (out.read >= 0) fds[n++] = {out.read, POLLIN, 0};
        if (err.read >= 0) fds[n++] = {err.read, POLLIN, 0};
        if (::poll(fds, n, -1) < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("poll failed");
        }
        for (nfds_t i = 0; i < n; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            Pipe& p = fds[i].fd == out.read ? out : err;
            std::string& text = fds[i].fd == out.read ? outText : errText;
            ssize_t got = ::read(p.read, buf, sizeof buf);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                p.closeRead();
                continue;
            }
            text.append(buf, size_t(got));
        }
    }
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// The environment of this process; under the address sanitizer with the
// allocation limit added to its options.
std::vector<std::string> environmentFor(const RunOptions& options) {
    std::vector<std::string> env;
    std::string asan;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        if (entry.rfind("ASAN_OPTIONS=", 0) == 0)
            asan = entry.substr(13);
        else if (entry.rfind("XDG_CONFIG_HOME=", 0) != 0)
            env.push_back(entry);
    }
    const std::filesystem::path& config = options.configHome.empty() ? testConfigHome() : options.configHome;
    env.push_back("XDG_CONFIG_HOME=" + config.string());
    if (kSanitized && options.memoryLimit) {
        if (!asan.empty()) asan += ":";
        asan += "max_allocation_size_mb=" + std::to_string(options.memoryLimit >> 20);
    }
    if (!asan.empty()) env.push_back("ASAN_OPTIONS=" + asan);
    return env;
}

}  // namespace

const std::filesystem::path& testConfigHome() {
    // Created once per test process and removed when it ends.
    static const std::filesystem::path dir = [] {
        std::string tmpl = (std::filesystem::temp_directory_path() / "qvconfig-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        return std::filesystem::path(tmpl);
    }();
    static const struct Remover {
        ~Remover() {
            std::error_code ec;
            std::filesystem::remove_all(dir, ec);
        }
    } remover;
    return dir;
}

std::string ProgramResult::describe() const {
    std::string s =
        exited ? "exit " + std::to_string(exitCode) : "signal " + std::to_string(signal);
    s += "\n--- stdout ---\n" + out.substr(0, 4000);
    s += "\n--- stderr ---\n" + err.substr(0, 4000);
    return s;
}

ProgramResult runProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                         const RunOptions& options) {
    // Everything the child needs is prepared before fork.
    std::string file = program.string();
    std::vector<std::string> storage;
    storage.push_back(file);
    storage.insert(storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : storage) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = environmentFor(options);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    Pipe out, err;
    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        int in = ::open("/dev/null", O_RDONLY);
        if (in < 0 || ::dup2(in, 0) < 0 || ::dup2(out.write, 1) < 0 || ::dup2(err.write, 2) < 0)
            _exit(126);
        if (options.memoryLimit && !kSanitized) {
            rlimit lim{rlim_t(options.memoryLimit), rlim_t(options.memoryLimit)};
            if (::setrlimit(RLIMIT_AS, &lim) != 0) _exit(126);
        }
        ::execve(file.c_str(), argv.data(), envp.data());
        const char msg[] = "exec failed\n";
        ssize_t ignored = ::write(2, msg, sizeof msg - 1);
        (void)ignored;
        _exit(127);
    }
    out.closeWrite();
    err.closeWrite();

    ProgramResult r;
    drain(out, err, r.out, r.err);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error("waitpid failed");
    }
    if (WIFEXITED(status)) {
        r.exited = true;
        r.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        r.signal = WTERMSIG(status);
    }
    return r;
}

ProgramResult runQuorvex(const std::vector<std::string>& args, const RunOptions& options) {
    return runProgram(binPath("quorvex"), args, options);
}

}  // namespace qv::test
