#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dravex {

// One line of /proc/self/mountinfo, with the octal escapes of the paths decoded.
struct MountEntry {
    unsigned major = 0;
    unsigned minor = 0;
    std::string root;
    std::string mountPoint;
    std::string fsType;
    std::string source;
};

// Lines that do not have the mountinfo shape are skipped.
std::vector<MountEntry> parseMountInfo(std::string_view text);

} // namespace dravex
