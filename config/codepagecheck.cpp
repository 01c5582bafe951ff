#include "config/codepagecheck.h"

namespace dravex {

std::string charactersOutsideCodePage(CodePage &codePage, const std::string &utf8) {
    std::string lost;
    for (size_t start = 0; start < utf8.size();) {
        size_t end = start + 1;
        while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
            ++end;
        const std::string character = utf8.substr(start, end - start);
        start = end;
        // The code page writes what it lacks as "?", so only a "?" may come back as one.
        if (codePage.fromAnsi(codePage.toAnsi(character)) != character &&
            lost.find(character) == std::string::npos)
            lost += character;
    }
    return lost;
}

} // namespace dravex
