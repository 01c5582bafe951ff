#include "platform/linux/sysfs/mountinfo.h"

#include "platform/linux/sysfs/textfields.h"

namespace dravex {

namespace {

bool isOctal(char c) {
    return c >= '0' && c <= '7';
}

// The kernel writes blank, tab, newline and backslash in paths as \040, \011, \012 and \134.
std::string decodeOctalEscapes(std::string_view field) {
    std::string decoded;
    decoded.reserve(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2]) &&
            isOctal(field[i + 3])) {
            const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (value <= 0xFF) {
                decoded += static_cast<char>(value);
                i += 3;
                continue;
            }
        }
        decoded += field[i];
    }
    return decoded;
}

} // namespace

std::vector<MountEntry> parseMountInfo(std::string_view text) {
    // Fields: id parent major:minor root mountpoint options [optional...] - fstype source superoptions
    std::vector<MountEntry> entries;
    for (std::string_view line : splitLines(text)) {
        const std::vector<std::string_view> fields = splitBlanks(line);
        if (fields.size() < 10)
            continue;
        size_t separator = 6;
        while (separator < fields.size() && fields[separator] != "-")
            ++separator;
        if (separator + 2 >= fields.size())
            continue;
        const auto device = parseMajorMinor(fields[2]);
        if (!device)
            continue;
        MountEntry entry;
        entry.major = device->first;
        entry.minor = device->second;
        entry.root = decodeOctalEscapes(fields[3]);
        entry.mountPoint = decodeOctalEscapes(fields[4]);
        entry.fsType = std::string(fields[separator + 1]);
        entry.source = decodeOctalEscapes(fields[separator + 2]);
        entries.push_back(std::move(entry));
    }
    return entries;
}

} // namespace dravex
