#include "platform/linux/process/detachedprocess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace dravex {

namespace {

// What the forked processes tell the parent through the report pipe.
struct Report {
    int32_t kind;  // kStarted or kFailed
    int32_t value; // process id or errno
};
constexpr int32_t kStarted = 1;
constexpr int32_t kFailed = 2;

// Everything the forked processes use is prepared before fork: after it only async-signal-safe calls.
struct Launch {
    const char *program;
    char *const *argv;
    char *const *envp;
    int devNull;
    int reportFd;
    int highestFd;
    sigset_t emptyMask;
};

void sendReport(int fd, int32_t kind, int32_t value) {
    const Report report{kind, value};
    // Smaller than PIPE_BUF, so written whole or not at all.
    while (::write(fd, &report, sizeof report) < 0 && errno == EINTR) {
    }
}

void closeDescriptorsFrom(int first, int last, int highestFd) {
    if (first > last)
        return;
    if (::close_range(static_cast<unsigned>(first), static_cast<unsigned>(last), 0) == 0)
        return;
    // Kernels before 5.9 lack close_range.
    for (int fd = first; fd <= last && fd <= highestFd; ++fd)
        ::close(fd);
}

[[noreturn]] void runProgram(const Launch &launch) {
    ::dup2(launch.devNull, STDIN_FILENO);
    ::dup2(launch.devNull, STDOUT_FILENO);
    ::dup2(launch.devNull, STDERR_FILENO);
    closeDescriptorsFrom(3, launch.reportFd - 1, launch.highestFd);
    closeDescriptorsFrom(launch.reportFd + 1, INT32_MAX, launch.highestFd);
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    ::sigaction(SIGPIPE, &defaultAction, nullptr);
    ::execve(launch.program, launch.argv, launch.envp);
    sendReport(launch.reportFd, kFailed, errno);
    ::_exit(127);
}

// The intermediate process: it starts the program and exits at once, so the program is adopted by
// init instead of waiting to be reaped by us.
[[noreturn]] void runIntermediate(const Launch &launch) {
    ::setsid();
    ::sigprocmask(SIG_SETMASK, &launch.emptyMask, nullptr);
    const pid_t child = ::fork();
    if (child < 0) {
        sendReport(launch.reportFd, kFailed, errno);
        ::_exit(1);
    }
    if (child == 0)
        runProgram(launch);
    sendReport(launch.reportFd, kStarted, child);
    ::_exit(0);
}

// A tool started with a standard stream closed gets its next descriptors numbered 0 to 2; the program's
// standard streams are put there, so the pipe and /dev/null must live above them.
bool moveAboveStandardStreams(int &fd) {
    if (fd > STDERR_FILENO)
        return true;
    const int moved = ::fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    ::close(fd);
    fd = moved;
    return moved >= 0;
}

int highestDescriptor() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > 65536)
        return 65535;
    return static_cast<int>(limit.rlim_cur) - 1;
}

} // namespace

std::optional<long> startDetached(const std::vector<std::string> &arguments,
                                  const std::vector<std::string> &environment) {
    if (arguments.empty() || arguments.front().empty())
        return std::nullopt;
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    // Ours, with the given variables in place of any of the same name.
    std::vector<char *> envp;
    for (char **variable = environ; *variable; ++variable) {
        const std::string_view entry(*variable);
        const std::string_view name = entry.substr(0, entry.find('='));
        const bool replaced =
            std::any_of(environment.begin(), environment.end(), [&](const std::string &given) {
                return given.compare(0, name.size() + 1, std::string(name) + "=") == 0;
            });
        if (!replaced)
            envp.push_back(*variable);
    }
    for (const std::string &variable : environment)
        envp.push_back(const_cast<char *>(variable.c_str()));
    envp.push_back(nullptr);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return std::nullopt;
    int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    const bool placed = moveAboveStandardStreams(report[0]) & moveAboveStandardStreams(report[1]) &
                        (devNull >= 0 && moveAboveStandardStreams(devNull));
    if (!placed) {
        for (const int fd : {report[0], report[1], devNull})
            if (fd >= 0)
                ::close(fd);
        return std::nullopt;
    }
    Launch launch{argv[0], argv.data(), envp.data(), devNull, report[1], highestDescriptor(), {}};
    sigemptyset(&launch.emptyMask);

    const pid_t intermediate = ::fork();
    if (intermediate == 0)
        runIntermediate(launch);
    ::close(report[1]);
    ::close(devNull);
    if (intermediate < 0) {
        ::close(report[0]);
        return std::nullopt;
    }
    while (::waitpid(intermediate, nullptr, 0) < 0 && errno == EINTR) {
    }

    // The pipe closes when the program has executed (close-on-exec) or given up.
    std::optional<long> started;
    bool failed = false;
    Report message{};
    size_t filled = 0;
    while (true) {
        const ssize_t count =
            ::read(report[0], reinterpret_cast<char *>(&message) + filled, sizeof message - filled);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        filled += static_cast<size_t>(count);
        if (filled < sizeof message)
            continue;
        filled = 0;
        if (message.kind == kStarted && message.value > 0)
            started = message.value;
        else
            failed = true;
    }
    ::close(report[0]);
    if (failed)
        return std::nullopt;
    return started;
}

} // namespace dravex
