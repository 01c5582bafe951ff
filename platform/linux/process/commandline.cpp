#include "platform/linux/process/commandline.h"

namespace dravex {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

std::vector<std::string> splitWindowsCommandLine(std::string_view text) {
    std::vector<std::string> arguments;
    if (text.empty())
        return arguments;

    size_t i = 0;
    if (text[0] == '"') {
        const size_t close = text.find('"', 1);
        arguments.emplace_back(
            text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
        i = close == std::string_view::npos ? text.size() : close + 1;
    } else {
        while (i < text.size() && !isBlank(text[i]))
            ++i;
        arguments.emplace_back(text.substr(0, i));
    }

    while (true) {
        while (i < text.size() && isBlank(text[i]))
            ++i;
        if (i >= text.size())
            break;
        std::string argument;
        bool quoted = false;
        while (i < text.size() && (quoted || !isBlank(text[i]))) {
            size_t backslashes = 0;
            while (i < text.size() && text[i] == '\\') {
                ++backslashes;
                ++i;
            }
            if (i < text.size() && text[i] == '"') {
                argument.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    argument += '"';
                } else if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
                    argument += '"';
                    ++i;
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                argument.append(backslashes, '\\');
                if (backslashes == 0) {
                    argument += text[i];
                    ++i;
                }
            }
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

} // namespace dravex
