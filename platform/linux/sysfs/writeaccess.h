#pragma once

#include "platform/linux/sysfs/drivemap.h"
#include "platform/linux/sysfs/systemroot.h"

#include <string>

namespace dravex {

// Whether this process may write the volume's device node: the kernel holds neither the volume nor its
// disk read-only (the "ro" attribute, which a stick's write-protect switch sets) and the node lets our
// effective user write it. Asked before anything is unmounted, so that a volume we cannot write stays as
// it was; the node is not opened, as closing it after writing would make udev probe the disk again.
bool mayWriteDevice(const SystemRoot &root, const MappedVolume &volume, const std::string &device);

} // namespace dravex
