#include "platform/linux/sysfs/writeaccess.h"

#include <fcntl.h>
#include <unistd.h>

namespace dravex {

namespace {

bool isReadOnly(const SystemRoot &root, const std::string &folder) {
    return root.numberAttribute(folder + "/ro") == 1u;
}

} // namespace

bool mayWriteDevice(const SystemRoot &root, const MappedVolume &volume, const std::string &device) {
    if (isReadOnly(root, "/sys/block/" + volume.diskName) ||
        isReadOnly(root, "/sys/class/block/" + volume.volumeName))
        return false;
    return ::faccessat(AT_FDCWD, device.c_str(), W_OK, AT_EACCESS) == 0;
}

} // namespace dravex
