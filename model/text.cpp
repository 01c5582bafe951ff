#include "model/text.h"

namespace dravex {

std::string &StripAtNul(std::string &text) {
    const auto nul = text.find('\0');
    if (nul != std::string::npos)
        text.erase(nul);
    return text;
}

std::string trimBlanks(const std::string &text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

size_t characterEnd(const std::string &text, size_t start) {
    size_t end = start + 1;
    // Continuation bytes belong to the character before them.
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        ++end;
    return end;
}

std::string firstCharacters(const std::string &text, size_t count) {
    size_t end = 0;
    for (size_t characters = 0; end < text.size() && characters < count; ++characters)
        end = characterEnd(text, end);
    return text.substr(0, end);
}

} // namespace dravex
