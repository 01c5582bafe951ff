#pragma once

#include <string>

namespace dravex {

// Conversion between the logic's UTF-8 and the system code page 936 (GBK) that settings files and
// anything written for Windows peers use.
class CodePage {
public:
    virtual ~CodePage() = default;

    // Characters the code page lacks become "?", as the system's own conversion writes them.
    virtual std::string toAnsi(const std::string &utf8) = 0;
    // Byte sequences that are not valid in the code page become U+FFFD.
    virtual std::string fromAnsi(const std::string &ansi) = 0;
};

} // namespace dravex
