#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace dravex {

// One direction of iconv's conversion between two encodings.
class TextConverter {
public:
    // How many input bytes, at the front of rest, to replace when they cannot be converted.
    using UnconvertibleLength = size_t (*)(std::string_view rest);

    TextConverter(const char *toEncoding, const char *fromEncoding);
    ~TextConverter();
    TextConverter(const TextConverter &) = delete;
    TextConverter &operator=(const TextConverter &) = delete;

    // The whole input converted; nothing when any of it cannot be.
    std::optional<std::string> convert(std::string_view input);
    // The input converted, with replacement (in the target encoding) in place of every run of bytes that
    // cannot be; at least one byte is replaced each time, so conversion always goes on to the end. When
    // the system lacks the conversion, nothing can be converted.
    std::string convert(std::string_view input, std::string_view replacement, UnconvertibleLength length);

private:
    // Converts from the front of input into output for as long as it can; the count of bytes taken.
    size_t convertPrefix(std::string_view input, std::string &output);

    void *m_handle;
};

} // namespace dravex
