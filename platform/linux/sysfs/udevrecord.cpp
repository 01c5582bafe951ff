#include "platform/linux/sysfs/udevrecord.h"

#include "platform/linux/sysfs/textfields.h"

#include <algorithm>

namespace dravex {

UdevRecord parseUdevRecord(std::string_view text) {
    UdevRecord record;
    for (std::string_view line : splitLines(text)) {
        if (line.substr(0, 2) != "E:")
            continue;
        line.remove_prefix(2);
        const size_t equals = line.find('=');
        if (equals == std::string_view::npos || equals == 0)
            continue;
        record[std::string(line.substr(0, equals))] = std::string(line.substr(equals + 1));
    }
    return record;
}

std::string decodeUdevEscapes(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
            const int high = hexValue(text[i + 2]);
            const int low = hexValue(text[i + 3]);
            if (high >= 0 && low >= 0) {
                decoded += static_cast<char>(high * 16 + low);
                i += 3;
                continue;
            }
        }
        decoded += text[i];
    }
    return decoded;
}

std::string windowsFileSystemName(const std::string &idFsType, const std::string &idFsVersion) {
    if (idFsType == "vfat")
        return idFsVersion == "FAT32" ? "FAT32" : "FAT";
    if (idFsType == "exfat")
        return "exFAT";
    if (idFsType == "ntfs")
        return "NTFS";
    std::string name = idFsType;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return name;
}

} // namespace dravex
