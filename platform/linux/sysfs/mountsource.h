#pragma once

#include "platform/linux/sysfs/mountinfo.h"
#include "platform/linux/sysfs/systemroot.h"

#include <optional>
#include <string>
#include <vector>

namespace dravex {

// A path as seen inside the root with every symbolic link in it followed, links that point outside the
// tree taken as pointing inside it; nothing when the links loop.
std::optional<std::string> resolvedInside(const SystemRoot &root, const std::string &path);

// The kernel name of the block device a mount's source names: "/dev/sdc2", a udev link to it, or
// "/dev/mapper/<name>" through the device-mapper names in sysfs. Empty for sources that are no block
// device ("overlay", "tmpfs") or that cannot be told.
std::string sourceKernelName(const SystemRoot &root, const std::string &source);

// Whether the mount is of that block device: by device number, or by source where the number is an
// anonymous one, as btrfs gives its mounts.
bool isMountOf(const SystemRoot &root, const MountEntry &entry, const std::string &kernelName, unsigned major,
               unsigned minor);

// The block device's mounts in mountinfo's order; empty when it has none or the mount table cannot be read.
std::vector<MountEntry> mountsOfDevice(const SystemRoot &root, const std::string &kernelName, unsigned major,
                                       unsigned minor);

// Where the block device is mounted, as seen inside the root, in mountinfo's order; empty when it is not or
// when the mount table cannot be read.
std::vector<std::string> mountPointsOfDevice(const SystemRoot &root, const std::string &kernelName,
                                             unsigned major, unsigned minor);

} // namespace dravex
