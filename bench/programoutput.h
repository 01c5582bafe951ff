#pragma once

#include <optional>
#include <string>
#include <vector>

namespace dravex {

// Runs arguments[0], looked up on PATH, with the given arguments and no shell, and returns what it wrote
// to standard output; nothing when it could not start or did not exit with 0.
std::optional<std::string> programOutput(const std::vector<std::string> &arguments);

} // namespace dravex
