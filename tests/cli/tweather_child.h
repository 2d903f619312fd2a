// Runs the real tweather program in a child process, as a user's shell would, with the
// limits a test needs (a file size limit standing in for a full disk, an address-space
// limit for memory running out) and the means to kill it part way.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tweather::test {

struct ChildLimits {
    rlim_t fileBytes = RLIM_INFINITY;     // RLIMIT_FSIZE; SIGXFSZ is ignored, so writes fail with EFBIG
    rlim_t addressBytes = RLIM_INFINITY;  // RLIMIT_AS
};

struct ChildResult {
    int exitCode = -1;  // -1 when a signal ended it
    int signal = 0;
    std::string out, err;
};

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Starts `tweather args...` with stdout and stderr going to `logBase`.out/.err.
inline pid_t startTweather(const std::vector<std::string>& args, const std::string& logBase,
                           const ChildLimits& limits = {}) {
    const std::string outLog = logBase + ".out", errLog = logBase + ".err";
    // Everything the child needs is made before the fork: it only calls what is safe there.
    std::string exe = TWEATHER_EXE;
    std::vector<std::string> copies = args;
    std::vector<char*> argv{exe.data()};
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid != 0) return pid;
    const int out = ::open(outLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(errLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(err, 2);
    ::signal(SIGXFSZ, SIG_IGN);
    // A fresh process group, so a signal meant for it reaches nothing else.
    ::setpgid(0, 0);
    struct rlimit fsize {
        limits.fileBytes, limits.fileBytes
    };
    struct rlimit as {
        limits.addressBytes, limits.addressBytes
    };
    if (limits.fileBytes != RLIM_INFINITY) ::setrlimit(RLIMIT_FSIZE, &fsize);
    if (limits.addressBytes != RLIM_INFINITY) ::setrlimit(RLIMIT_AS, &as);
    ::execv(exe.c_str(), argv.data());
    ::_exit(127);
}

inline ChildResult waitTweather(pid_t pid, const std::string& logBase) {
    ChildResult r;
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
    r.out = readAll(logBase + ".out");
    r.err = readAll(logBase + ".err");
    return r;
}

inline ChildResult runTweather(const std::vector<std::string>& args, const std::string& logBase,
                               const ChildLimits& limits = {}) {
    return waitTweather(startTweather(args, logBase, limits), logBase);
}

// Sends `signal` twice to a command that runs the host: the first presses its Escape key,
// the second ends it. Two signals sent back to back could merge into one pending signal,
// so the second waits until the child's stderr shows it took the first (at most 2 s).
inline void interruptTwice(pid_t pid, int signal, const std::string& logBase) {
    ::kill(pid, signal);
    for (int i = 0; i < 400 && readAll(logBase + ".err").find("interrupt again") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ::kill(pid, signal);
}

// The names in `dir` (not its sub-folders), sorted.
inline std::vector<std::string> namesIn(const std::filesystem::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Lines in `text`: a message is one line.
inline int lineCount(const std::string& text) {
    int n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

}  // namespace tweather::test
