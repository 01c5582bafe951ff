#pragma once

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace dravex {

// What a program run by a test did.
struct ProcessResult {
    int exitCode = -1; // -1 when it could not start or did not exit by itself
    std::string out;
    std::string err;
};

// Runs a program (a path, or a name on PATH) without a shell, with extra "NAME=value"
// environment entries, standard input on /dev/null, and collects its output.
inline ProcessResult runCaptured(const std::vector<std::string> &arguments,
                                 const std::vector<std::string> &environment = {}) {
    ProcessResult result;
    std::vector<std::string> envStrings = environment;
    for (char **entry = environ; *entry; ++entry)
        envStrings.emplace_back(*entry);
    std::vector<char *> env;
    for (std::string &entry : envStrings)
        env.push_back(entry.data());
    env.push_back(nullptr);
    std::vector<char *> argv;
    std::vector<std::string> copies = arguments;
    for (std::string &argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
        return result;
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
    ::posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
    pid_t child = 0;
    const int started = ::posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), env.data());
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    auto drain = [](int fd, std::string &into) {
        char buffer[4096];
        ssize_t count;
        while ((count = ::read(fd, buffer, sizeof buffer)) > 0 || (count < 0 && errno == EINTR))
            if (count > 0)
                into.append(buffer, static_cast<size_t>(count));
        ::close(fd);
    };
    // Small outputs: stdout first, then stderr, is enough for these programs.
    drain(outPipe[0], result.out);
    drain(errPipe[0], result.err);
    if (started != 0)
        return result;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        result.exitCode = WEXITSTATUS(status);
    return result;
}

} // namespace dravex
