#include "platform/linux/process/commandline.h"

namespace dravex {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Where the program, the first argument, ends.
size_t programEnd(std::string_view text) {
    if (!text.empty() && text[0] == '"') {
        const size_t close = text.find('"', 1);
        return close == std::string_view::npos ? text.size() : close + 1;
    }
    size_t i = 0;
    while (i < text.size() && !isBlank(text[i]))
        ++i;
    return i;
}

} // namespace

std::string_view argumentsText(std::string_view commandLine) {
    size_t i = programEnd(commandLine);
    while (i < commandLine.size() && isBlank(commandLine[i]))
        ++i;
    return commandLine.substr(i);
}

std::vector<std::string> splitWindowsCommandLine(std::string_view text) {
    std::vector<std::string> arguments;
    if (text.empty())
        return arguments;

    size_t i = programEnd(text);
    if (text[0] == '"') {
        // Without its quotes; an unterminated one runs to the end.
        const bool closed = i > 1 && text[i - 1] == '"';
        arguments.emplace_back(text.substr(1, i - 1 - (closed ? 1 : 0)));
    } else {
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
