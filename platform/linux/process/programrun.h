#pragma once

#include <optional>
#include <string>
#include <vector>

namespace dravex {

// Runs arguments[0] with the given arguments and this process's environment, no shell, standard input on
// /dev/null and our standard output and error, and waits for it. A bare program name is looked up on PATH,
// then in /usr/sbin and /sbin, where Debian keeps the file-system tools. The exit code; nothing when the
// program could not be started or did not exit by itself.
std::optional<int> runProgram(const std::vector<std::string> &arguments);

} // namespace dravex
