#include "platform/linux/windows/textconverter.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>

namespace dravex {

namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

} // namespace

TextConverter::TextConverter(const char *toEncoding, const char *fromEncoding)
    : m_handle(::iconv_open(toEncoding, fromEncoding)) {}

TextConverter::~TextConverter() {
    if (m_handle != kNoConverter)
        ::iconv_close(m_handle);
}

size_t TextConverter::convertPrefix(std::string_view input, std::string &output) {
    if (m_handle == kNoConverter)
        return 0;
    // iconv takes a non-const input pointer but never writes through it.
    char *in = const_cast<char *>(input.data());
    size_t inLeft = input.size();
    char buffer[4096];
    while (inLeft > 0) {
        char *out = buffer;
        size_t outLeft = sizeof buffer;
        const size_t result = ::iconv(m_handle, &in, &inLeft, &out, &outLeft);
        output.append(buffer, sizeof buffer - outLeft);
        if (result == static_cast<size_t>(-1) && errno != E2BIG)
            break;
    }
    // Stateless encodings only, but a stopped conversion must not carry a shift state into the next one.
    ::iconv(m_handle, nullptr, nullptr, nullptr, nullptr);
    return input.size() - inLeft;
}

std::optional<std::string> TextConverter::convert(std::string_view input) {
    std::string output;
    if (m_handle == kNoConverter || convertPrefix(input, output) != input.size())
        return std::nullopt;
    return output;
}

std::string TextConverter::convert(std::string_view input, std::string_view replacement,
                                   UnconvertibleLength length) {
    std::string output;
    output.reserve(input.size());
    while (!input.empty()) {
        input.remove_prefix(convertPrefix(input, output));
        if (input.empty())
            break;
        output += replacement;
        input.remove_prefix(std::clamp<size_t>(length(input), 1, input.size()));
    }
    return output;
}

} // namespace dravex
