#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dravex {

// Splits a command line into arguments by the rules Windows programs parse theirs with: blanks and
// tabs separate, double quotes group, backslashes escape only before a double quote, and "" inside
// a quoted run is a literal quote. The first argument, the program, ends at the first blank, or at the
// closing quote when it starts with one, and keeps its backslashes. An empty text has no arguments.
std::vector<std::string> splitWindowsCommandLine(std::string_view text);

// The arguments of a command line as the program receives them on Windows, as one text: everything after
// the program and the blanks that follow it, blanks inside kept as they are.
std::string_view argumentsText(std::string_view commandLine);

} // namespace dravex
