#include "helpers/mountpoints.h"

#include "platform/linux/mountinfo.h"

namespace dravex {

std::vector<std::string> mountPointsOf(const SystemRoot &root, const MappedVolume &volume) {
    std::vector<std::string> mountPoints;
    const auto text = root.readFile("/proc/self/mountinfo");
    if (!text)
        return mountPoints;
    for (const MountEntry &entry : parseMountInfo(*text)) {
        if (entry.major == volume.major && entry.minor == volume.minor)
            mountPoints.push_back(entry.mountPoint);
    }
    return mountPoints;
}

} // namespace dravex
