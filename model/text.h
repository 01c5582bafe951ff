#pragma once

#include <string>

namespace dravex {

// Cuts the text just before its first NUL character, if it holds one, and returns the result.
std::string &StripAtNul(std::string &text);

// The text without leading and trailing blanks (only the blank character, as the window system trims).
std::string trimBlanks(const std::string &text);

// Where the UTF-8 character starting at start ends: past its continuation bytes.
size_t characterEnd(const std::string &text, size_t start);

// The first count characters of a UTF-8 text (the whole text when it is shorter).
std::string firstCharacters(const std::string &text, size_t count);

} // namespace dravex
