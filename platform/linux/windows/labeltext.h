#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace dravex {

// A volume label's bytes as UTF-8: kept when they already are UTF-8, otherwise read as CP936, the code
// page Windows writes Chinese FAT labels in. Nothing when they are neither.
std::optional<std::string> labelToUtf8(std::string_view bytes);

bool isValidUtf8(std::string_view bytes);

// The length of the UTF-8 character that bytes start with; 0 when they do not start with one.
size_t utf8CharacterLength(std::string_view bytes);

} // namespace dravex
