#pragma once

#include "platform/codepage.h"
#include "platform/linux/windows/textconverter.h"

namespace dravex {

// Code page 936 through iconv. Each character CP936 lacks, and each byte that is not part of a UTF-8
// character, becomes one "?"; each CP936 byte that does not start a valid sequence becomes U+FFFD, and
// conversion goes on with the byte after it.
class IconvCodePage : public CodePage {
public:
    IconvCodePage();

    std::string toAnsi(const std::string &utf8) override;
    std::string fromAnsi(const std::string &ansi) override;

private:
    TextConverter m_toAnsi;
    TextConverter m_fromAnsi;
};

} // namespace dravex
