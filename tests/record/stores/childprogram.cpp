#include "record/stores/childprogram.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace dravex::testing {

ChildProgram::ChildProgram(const std::vector<std::string> &arguments, const std::string &workingFolder) {
    // Our ends are closed on exec, so that a sibling started later holds none of them: a writer sees the
    // end of its input when we close it, and we see the end of its output when it exits.
    int input[2];
    int output[2];
    if (arguments.empty() || ::pipe2(input, O_CLOEXEC) != 0)
        return;
    if (::pipe2(output, O_CLOEXEC) != 0) {
        ::close(input[0]);
        ::close(input[1]);
        return;
    }
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    if (!workingFolder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0)
        m_pid = pid;
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    m_input = input[1];
    m_outputPipe = output[0];
}

ChildProgram::~ChildProgram() {
    finish();
}

void ChildProgram::closeInput() {
    if (m_input >= 0)
        ::close(m_input);
    m_input = -1;
}

std::optional<int> ChildProgram::finish() {
    closeInput();
    if (m_outputPipe >= 0) {
        char buffer[4096];
        ssize_t count = 0;
        while ((count = ::read(m_outputPipe, buffer, sizeof buffer)) > 0 || (count < 0 && errno == EINTR)) {
            if (count > 0)
                m_output.append(buffer, static_cast<size_t>(count));
        }
        ::close(m_outputPipe);
        m_outputPipe = -1;
    }
    if (m_pid > 0) {
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status))
            m_exitCode = WEXITSTATUS(status);
        m_pid = 0;
    }
    return m_exitCode;
}

std::optional<int> ChildProgram::run(const std::vector<std::string> &arguments,
                                     const std::string &workingFolder) {
    ChildProgram program(arguments, workingFolder);
    return program.finish();
}

} // namespace dravex::testing
