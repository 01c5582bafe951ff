#include "platform/linux/process/fallbackdiskactions.h"

#include "platform/linux/sysfs/cardreader.h"
#include "platform/linux/sysfs/drivemap.h"
#include "platform/linux/sysfs/mountsource.h"
#include "platform/linux/sysfs/textfields.h"
#include "platform/linux/sysfs/volumeguard.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace dravex {

namespace {

bool isPlainName(const std::string &name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

// The block device as the volume guard knows it, so its node is checked the same way.
std::optional<MappedVolume> blockDevice(const SystemRoot &root, const std::string &kernelName) {
    if (!isPlainName(kernelName))
        return std::nullopt;
    const auto dev = root.readFile("/sys/class/block/" + kernelName + "/dev");
    const auto number = dev ? parseMajorMinor(*dev) : std::nullopt;
    if (!number)
        return std::nullopt;
    MappedVolume device;
    device.volumeName = kernelName;
    device.major = number->first;
    device.minor = number->second;
    return device;
}

bool succeeded(const std::optional<int> &exitCode) {
    return exitCode && *exitCode == 0;
}

} // namespace

FallbackDiskActions::FallbackDiskActions(SystemRoot root, ProgramRunner runner)
    : m_root(std::move(root)), m_run(std::move(runner)) {}

std::optional<std::string> FallbackDiskActions::mount(const std::string &volumeKernelName) {
    const auto unmounted = m_unmountedFrom.find(volumeKernelName);
    if (unmounted == m_unmountedFrom.end())
        return std::nullopt;
    const auto device = blockDevice(m_root, volumeKernelName);
    const auto node = device ? volumeDevicePath(m_root, *device) : std::nullopt;
    if (!node || !succeeded(m_run({"mount", *node, m_root.path(unmounted->second)})))
        return std::nullopt;
    const std::string mountPoint = unmounted->second;
    m_unmountedFrom.erase(unmounted);
    return mountPoint;
}

bool FallbackDiskActions::flush(const std::string &mountPath) {
    return flushFileSystem(mountPath);
}

bool FallbackDiskActions::unmount(const std::string &volumeKernelName) {
    const auto device = blockDevice(m_root, volumeKernelName);
    if (!device)
        return false;
    const std::vector<MountEntry> mounts =
        mountsOfDevice(m_root, device->volumeName, device->major, device->minor);
    // Last mounted first: a mount on top of another hides it until it is gone.
    for (auto mount = mounts.rbegin(); mount != mounts.rend(); ++mount) {
        if (!succeeded(m_run({"umount", m_root.path(mount->mountPoint)})))
            return false;
    }
    // The volume goes back where it was mounted whole; a folder of it bound elsewhere is not ours to redo.
    const auto whole =
        std::find_if(mounts.begin(), mounts.end(), [](const MountEntry &entry) { return entry.root == "/"; });
    if (whole != mounts.end())
        m_unmountedFrom.emplace(volumeKernelName, whole->mountPoint);
    return true;
}

bool FallbackDiskActions::powerOff(const std::string &diskKernelName) {
    if (!isPlainName(diskKernelName))
        return false;
    const DiskInventory inventory = DiskInventory::read(m_root);
    const DiskRecord *disk = inventory.find(diskKernelName);
    if (!disk || disk->removable != true || isCardReaderSlot(inventory, diskKernelName))
        return false;
    // Deleting the device under a mapping would leave whatever is mounted from it dangling.
    for (const BlockDevice *device : disk->devices()) {
        if (!device->holders.empty())
            return false;
    }
    // The kernel drops the device without asking; whatever is cached must be on the medium before.
    ::sync();
    const std::string path = m_root.path("/sys/block/" + diskKernelName + "/device/delete");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ssize_t written = -1;
    do
        written = ::write(fd, "1", 1);
    while (written < 0 && errno == EINTR);
    const bool closed = ::close(fd) == 0;
    return written == 1 && closed;
}

bool FallbackDiskActions::eject(const std::string &diskKernelName) {
    const auto device = blockDevice(m_root, diskKernelName);
    const auto node = device ? volumeDevicePath(m_root, *device) : std::nullopt;
    return node && succeeded(m_run({"eject", *node}));
}

} // namespace dravex
