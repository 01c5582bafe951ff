#include "platform/linux/windows/iconvcodepage.h"

#include "platform/linux/windows/labeltext.h"

namespace dravex {

namespace {

// A character CP936 lacks is replaced whole; a byte that is not UTF-8 on its own.
size_t unconvertibleUtf8(std::string_view rest) {
    return utf8CharacterLength(rest);
}

// A CP936 byte that starts no valid sequence is replaced alone, so a following ASCII byte survives.
size_t unconvertibleAnsi(std::string_view) {
    return 1;
}

} // namespace

IconvCodePage::IconvCodePage() : m_toAnsi("CP936", "UTF-8"), m_fromAnsi("UTF-8", "CP936") {}

std::string IconvCodePage::toAnsi(const std::string &utf8) {
    return m_toAnsi.convert(utf8, "?", unconvertibleUtf8);
}

std::string IconvCodePage::fromAnsi(const std::string &ansi) {
    return m_fromAnsi.convert(ansi, "\xEF\xBF\xBD", unconvertibleAnsi);
}

} // namespace dravex
