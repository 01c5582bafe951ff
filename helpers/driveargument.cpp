#include "helpers/driveargument.h"

namespace dravex {

std::optional<char> parseDriveArgument(std::string_view text) {
    if (text.empty() || text.size() > 2 || (text.size() == 2 && text[1] != ':'))
        return std::nullopt;
    const char letter = text[0];
    if (letter >= 'a' && letter <= 'z')
        return static_cast<char>(letter - 'a' + 'A');
    if (letter >= 'A' && letter <= 'Z')
        return letter;
    return std::nullopt;
}

} // namespace dravex
