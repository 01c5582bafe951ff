#pragma once

#include <optional>
#include <string>
#include <vector>

namespace dravex {

// Starts arguments[0] (a path) with the given arguments and this process's environment, detached:
// in a session of its own, never a child of ours (so never a zombie of ours), standard input and
// output on /dev/null and no other descriptor of ours open. Returns once the program runs, with its
// process id; nothing when it could not be started.
// environment holds "NAME=VALUE" entries set for the program on top of ours.
std::optional<long> startDetached(const std::vector<std::string> &arguments,
                                  const std::vector<std::string> &environment = {});

} // namespace dravex
