#include "scan/text.h"

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

} // namespace dravex
