#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace dravex {

// U+FFFD in UTF-8.
inline constexpr const char *kReplacementCharacter = "\xef\xbf\xbd";

// A volume label's bytes as UTF-8: kept when they already are UTF-8, otherwise read as CP936, the code
// page Windows writes Chinese FAT labels in, with one U+FFFD for every byte that is no part of a CP936
// character (a lead byte cut off at the end included). A stick with a label of stray bytes still shows.
std::string labelToUtf8(std::string_view bytes);

bool isValidUtf8(std::string_view bytes);

// The length of the UTF-8 character that bytes start with; 0 when they do not start with one.
size_t utf8CharacterLength(std::string_view bytes);

} // namespace dravex
