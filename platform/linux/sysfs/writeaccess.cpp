#include "platform/linux/sysfs/writeaccess.h"

#include <fcntl.h>
#include <unistd.h>

namespace dravex {

namespace {

bool isReadOnly(const SystemRoot &root, const std::string &folder) {
    const auto text = root.readFile(folder + "/ro");
    return text && !text->empty() && text->front() == '1';
}

} // namespace

bool mayWriteDevice(const SystemRoot &root, const MappedVolume &volume, const std::string &device) {
    if (isReadOnly(root, "/sys/block/" + volume.diskName) ||
        isReadOnly(root, "/sys/class/block/" + volume.volumeName))
        return false;
    return ::faccessat(AT_FDCWD, device.c_str(), W_OK, AT_EACCESS) == 0;
}

} // namespace dravex
