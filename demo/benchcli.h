#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace dravex {

// Exit codes of dravex-bench.
constexpr int kBenchDone = 0;
constexpr int kBenchFailed = 1;       // a well-formed request the bench could not carry out
constexpr int kBenchBadArguments = 2; // usage text on standard error

// The usage text that --help prints.
std::string benchUsage();

// dravex-bench's whole work on its arguments (without the program name). Arguments that start with a
// command work on defaultFolder; none is given when it is empty.
int runBenchCli(std::vector<std::string> arguments, const std::string &defaultFolder, std::ostream &out,
                std::ostream &err);

} // namespace dravex
