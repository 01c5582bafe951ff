#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace dravex {

// Small pieces shared by the parsers of kernel and udev text.

std::vector<std::string_view> splitLines(std::string_view text);
// Fields separated by runs of blanks and tabs.
std::vector<std::string_view> splitBlanks(std::string_view line);
// Without the leading and trailing blanks, tabs and line ends that sysfs attributes carry.
std::string_view trimmed(std::string_view text);
// A whole decimal number, nothing else but surrounding white space.
std::optional<uint64_t> parseUnsigned(std::string_view text);
// The value of one hexadecimal digit, either case; -1 for any other character.
int hexValue(char c);
// "8:17" as sysfs dev files and mountinfo write it.
std::optional<std::pair<unsigned, unsigned>> parseMajorMinor(std::string_view text);

} // namespace dravex
