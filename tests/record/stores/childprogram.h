#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace dravex::testing {

// A program started with an argument vector (no shell), its standard input a pipe we hold and its standard
// output collected; standard error stays ours. A group started with closeInput() left for later begins
// together when the writers among them wait for the end of their input.
class ChildProgram {
public:
    // arguments[0] is a path or a name looked up on PATH; workingFolder empty keeps ours.
    explicit ChildProgram(const std::vector<std::string> &arguments, const std::string &workingFolder = {});
    ~ChildProgram();
    ChildProgram(const ChildProgram &) = delete;
    ChildProgram &operator=(const ChildProgram &) = delete;

    bool started() const { return m_pid > 0; }
    void closeInput();
    // Waits for the program's end: its exit code (nothing when it did not start or was killed) and output.
    std::optional<int> finish();
    const std::string &output() const { return m_output; }

    // Starts, waits and gives the exit code; the output is dropped.
    static std::optional<int> run(const std::vector<std::string> &arguments,
                                  const std::string &workingFolder = {});

private:
    pid_t m_pid = -1;
    int m_input = -1;
    int m_outputPipe = -1;
    std::string m_output;
    std::optional<int> m_exitCode;
};

} // namespace dravex::testing
