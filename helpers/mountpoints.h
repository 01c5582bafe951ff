#pragma once

#include "platform/linux/sysfs/drivemap.h"
#include "platform/linux/sysfs/systemroot.h"

#include <string>
#include <vector>

namespace dravex {

// Where the volume is mounted, as seen inside the root, in mountinfo's order (btrfs mounts found by their
// source); empty when it is not.
std::vector<std::string> mountPointsOf(const SystemRoot &root, const MappedVolume &volume);

} // namespace dravex
