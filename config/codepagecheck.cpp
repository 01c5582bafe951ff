#include "config/codepagecheck.h"

#include "model/text.h"

namespace dravex {

std::string charactersOutsideCodePage(CodePage &codePage, const std::string &utf8) {
    std::string lost;
    for (size_t start = 0; start < utf8.size();) {
        const size_t end = characterEnd(utf8, start);
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
