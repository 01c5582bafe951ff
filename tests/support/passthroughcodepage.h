#pragma once

#include "platform/codepage.h"

#include <string>

namespace dravex::testing {

// Settings files in tests that are not about the code page hold UTF-8; the real conversion has its own tests.
class PassThroughCodePage : public CodePage {
public:
    std::string toAnsi(const std::string &utf8) override { return utf8; }
    std::string fromAnsi(const std::string &ansi) override { return ansi; }
};

} // namespace dravex::testing
