#include "helpers/mountpoints.h"

#include "platform/linux/sysfs/mountsource.h"

namespace dravex {

std::vector<std::string> mountPointsOf(const SystemRoot &root, const MappedVolume &volume) {
    return mountPointsOfDevice(root, volume.volumeName, volume.major, volume.minor);
}

} // namespace dravex
