#include "platform/linux/process/programrun.h"

#include "platform/linux/process/programsearch.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace dravex {

namespace {

std::optional<std::string> locateProgram(const std::string &name) {
    if (name.find('/') != std::string::npos)
        return name;
    // sbin is missing from an operator's PATH, but that is where mkfs.vfat and fatlabel live.
    return findProgram(name, std::getenv("PATH"), "/usr/sbin:/sbin");
}

} // namespace

std::optional<int> runProgram(const std::vector<std::string> &arguments) {
    if (arguments.empty() || arguments.front().empty())
        return std::nullopt;
    const auto program = locateProgram(arguments.front());
    if (!program)
        return std::nullopt;
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0)
        return std::nullopt;
    ::posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t child = 0;
    const int started = ::posix_spawn(&child, program->c_str(), &actions, nullptr, argv.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (started != 0)
        return std::nullopt;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            return std::nullopt;
    }
    if (!WIFEXITED(status))
        return std::nullopt;
    return WEXITSTATUS(status);
}

} // namespace dravex
