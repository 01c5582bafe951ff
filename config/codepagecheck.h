#pragma once

#include "platform/codepage.h"

#include <string>

namespace dravex {

// The characters of a UTF-8 text that the code page cannot hold, each once, in the order they first
// occur; empty when the whole text survives the round trip through the code page.
std::string charactersOutsideCodePage(CodePage &codePage, const std::string &utf8);

} // namespace dravex
