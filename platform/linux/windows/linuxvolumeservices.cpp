#include "platform/linux/windows/linuxvolumeservices.h"

#include "platform/linux/debuglog.h"
#include "platform/linux/sysfs/disklock.h"
#include "platform/linux/windows/fatlabel.h"

#include "platform/linux/process/programrun.h"
#include "platform/linux/sysfs/mountinfo.h"
#include "platform/linux/sysfs/textfields.h"
#include "platform/linux/sysfs/volumeguard.h"
#include "platform/linux/sysfs/writeaccess.h"
#include "platform/linux/udisks2/udisks2diskactions.h"
#include "platform/linux/udisks2/udisks2mounter.h"
#include "platform/linux/windows/labeltext.h"
#include "platform/linux/windows/textconverter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace dravex {

namespace {

constexpr uint32_t kMaximumComponentLength = 255;

ByteCount toByteCount(uint64_t count) {
    return ByteCount{static_cast<uint32_t>(count & 0xFFFFFFFFu), static_cast<uint32_t>(count >> 32)};
}

std::optional<char> driveLetterOf(const std::string &windowsPath) {
    if (windowsPath.size() < 3 || windowsPath[1] != ':' || windowsPath[2] != '\\')
        return std::nullopt;
    const char letter = windowsPath[0];
    if (letter >= 'A' && letter <= 'Z')
        return letter;
    if (letter >= 'a' && letter <= 'z')
        return static_cast<char>(letter - 'a' + 'A');
    return std::nullopt;
}

bool isRootPath(const std::string &path) {
    return path.size() == 3 && driveLetterOf(path);
}

// FAT and exFAT serial numbers, which udev writes as "ABCD-1234"; 0 for any other UUID.
uint32_t serialNumberOf(const std::string &uuid) {
    if (uuid.size() != 9 || uuid[4] != '-')
        return 0;
    uint32_t serial = 0;
    for (size_t i = 0; i < uuid.size(); ++i) {
        if (i == 4)
            continue;
        const int digit = hexValue(uuid[i]);
        if (digit < 0)
            return 0;
        serial = serial << 4 | static_cast<uint32_t>(digit);
    }
    return serial;
}

// False, saying why when DRAVEX_DEBUG=platform.
bool answerFalse(const char *call, const std::string &path, const std::string &why) {
    debugPlatform(call, path + ": " + why);
    return false;
}

// The scan reads labels from udev's records, which udev renews in its own time once a written device is
// closed; a rescan right after must already see the new label. Settling alone can come before udev has
// even queued that renewal, so a change event of our own is triggered and waited for; where it cannot be
// triggered, settling is the best there is.
void waitForUdev(const std::string &device) {
    if (runProgram({"udevadm", "trigger", "--action=change", "--settle", device}) != 0)
        runProgram({"udevadm", "settle", "--timeout=5"});
}

} // namespace

LinuxVolumeServices::LinuxVolumeServices()
    : m_root("/"), m_ownedMounter(std::make_unique<UDisks2Mounter>()), m_mounter(*m_ownedMounter) {}

LinuxVolumeServices::LinuxVolumeServices(const std::string &root, Mounter &mounter)
    : m_root(root), m_mounter(mounter) {}

void LinuxVolumeServices::refreshDriveList() {
    m_inventory = DiskInventory::read(m_root);
    ++m_driveListReadings;
    m_driveMap = DriveMap::build(*m_inventory);
    m_failedMounts.clear();
}

const DiskInventory &LinuxVolumeServices::inventory() {
    if (!m_inventory)
        refreshDriveList();
    return *m_inventory;
}

const DriveMap &LinuxVolumeServices::driveMap() {
    if (!m_driveMap)
        refreshDriveList();
    return *m_driveMap;
}

const MappedVolume *LinuxVolumeServices::volumeAt(const std::string &windowsPath) {
    const auto letter = driveLetterOf(windowsPath);
    return letter ? driveMap().find(*letter) : nullptr;
}

unsigned LinuxVolumeServices::GetDriveTypeA(const std::string &rootPath) {
    if (isRootPath(rootPath) && volumeAt(rootPath))
        return kDriveRemovable;
    answerFalse("GetDriveTypeA", rootPath, "no volume of a removable disk has this letter");
    return kDriveNoRootDir;
}

const BlockDevice *LinuxVolumeServices::fileSystemDevice(const MappedVolume &volume) {
    if (!volume.hasMedium)
        return nullptr;
    const DiskRecord *disk = inventory().find(volume.diskName);
    if (!disk)
        return nullptr;
    for (const BlockDevice *device : disk->devices()) {
        if (device->major == volume.major && device->minor == volume.minor)
            return !device->fileSystemType().empty() && device->udevValue("ID_FS_USAGE") == "filesystem"
                       ? device
                       : nullptr;
    }
    return nullptr;
}

std::optional<std::string> LinuxVolumeServices::mountPoint(const MappedVolume &volume) {
    const auto device = std::make_pair(volume.major, volume.minor);
    if (const auto known = m_mountPoints.find(device); known != m_mountPoints.end()) {
        // Still mounted there when the folder lies on the volume's own device.
        struct stat status {};
        if (::stat(m_root.path(known->second).c_str(), &status) == 0 &&
            status.st_dev == makedev(volume.major, volume.minor))
            return known->second;
        m_mountPoints.erase(known);
    }
    std::optional<std::string> found;
    if (const auto text = m_root.readFile("/proc/self/mountinfo")) {
        for (const MountEntry &entry : parseMountInfo(*text)) {
            if (entry.major == volume.major && entry.minor == volume.minor && entry.root == "/") {
                found = entry.mountPoint;
                break;
            }
        }
    }
    // A helper rewriting or ejecting the disk holds its lock; mounting it now would undo the helper's
    // unmount. The next scan, which the helper's changes bring, mounts it.
    if (!found && m_failedMounts.count(device) == 0) {
        const bool locked = isDiskLocked(m_root.path("/dev/" + volume.diskName));
        if (!locked)
            found = m_mounter.mount(volume.volumeName);
        if (!found) {
            debugPlatform("mount", volume.volumeName + (locked ? ": a helper holds the disk's lock"
                                                               : ": the mounter failed"));
            m_failedMounts.insert(device);
        }
    }
    if (found)
        m_mountPoints[device] = *found;
    return found;
}

bool LinuxVolumeServices::GetDiskFreeSpaceExA(const std::string &rootPath,
                                              ByteCount &freeBytesAvailableToCaller, ByteCount &totalBytes,
                                              ByteCount &totalFreeBytes) {
    const MappedVolume *volume = isRootPath(rootPath) ? volumeAt(rootPath) : nullptr;
    if (!volume)
        return answerFalse("GetDiskFreeSpaceExA", rootPath, "no such volume");
    if (!fileSystemDevice(*volume))
        return answerFalse("GetDiskFreeSpaceExA", rootPath,
                           "udev knows no file system on " + volume->volumeName);
    const auto mounted = mountPoint(*volume);
    if (!mounted)
        return answerFalse("GetDiskFreeSpaceExA", rootPath,
                           volume->volumeName + " is not mounted and could not be");
    struct statvfs status {};
    if (::statvfs(m_root.path(*mounted).c_str(), &status) != 0)
        return answerFalse("GetDiskFreeSpaceExA", rootPath,
                           "statvfs " + *mounted + ": " + std::strerror(errno));
    const uint64_t fragment = status.f_frsize;
    freeBytesAvailableToCaller = toByteCount(uint64_t{status.f_bavail} * fragment);
    totalBytes = toByteCount(uint64_t{status.f_blocks} * fragment);
    totalFreeBytes = toByteCount(uint64_t{status.f_bfree} * fragment);
    return true;
}

bool LinuxVolumeServices::GetVolumeInformationA(const std::string &rootPath, VolumeInformation &info) {
    const MappedVolume *volume = isRootPath(rootPath) ? volumeAt(rootPath) : nullptr;
    if (!volume)
        return answerFalse("GetVolumeInformationA", rootPath, "no such volume");
    const BlockDevice *device = fileSystemDevice(*volume);
    if (!device)
        return answerFalse("GetVolumeInformationA", rootPath,
                           "udev knows no file system on " + volume->volumeName);
    if (!mountPoint(*volume))
        return answerFalse("GetVolumeInformationA", rootPath,
                           volume->volumeName + " is not mounted and could not be");
    info.volumeName = labelToUtf8(device->labelBytes());
    info.serialNumber = serialNumberOf(device->fileSystemUuid());
    info.maximumComponentLength = kMaximumComponentLength;
    info.fileSystemFlags = 0;
    info.fileSystemName = windowsFileSystemName(device->fileSystemType(), device->udevValue("ID_FS_VERSION"));
    return true;
}

bool LinuxVolumeServices::SetVolumeLabelA(const std::string &rootPath, const std::string &label) {
    const auto letter = isRootPath(rootPath) ? driveLetterOf(rootPath) : std::nullopt;
    if (!letter)
        return answerFalse("SetVolumeLabelA", rootPath, "not a drive's root");
    const VolumeCheck check = checkVolume(m_root, driveMap(), *letter);
    if (!check.volume)
        return false; // the guard says why
    const BlockDevice *fileSystem = fileSystemDevice(*check.volume);
    if (!fileSystem)
        return answerFalse("SetVolumeLabelA", rootPath,
                           "udev knows no file system on " + check.volume->volumeName);
    const std::string type = fileSystem->fileSystemType();
    if (type != "vfat" && type != "exfat")
        return answerFalse("SetVolumeLabelA", rootPath, "no FAT or exFAT but " + type);
    // Windows keeps FAT labels in upper case and in the ANSI code page; exFAT ones as they are.
    std::string newLabel = label;
    if (type == "vfat") {
        const FatLabel fat = fatLabel(label);
        if (fat.fault != FatLabel::Fault::None)
            return answerFalse("SetVolumeLabelA", rootPath, "FAT cannot hold the label");
        newLabel = fat.bytes;
    }
    const bool ascii = std::none_of(newLabel.begin(), newLabel.end(), [](char c) { return c & 0x80; });
    // UDisks2 would encode a label beyond ASCII in whatever code page its own locale gives.
    if (m_root.isWholeMachine() && (ascii || type == "exfat")) {
        if (const auto answered = udisks2SetLabel(check.volume->volumeName, newLabel))
            return *answered || answerFalse("SetVolumeLabelA", rootPath, "UDisks2 refused the label");
    }
    const auto device = volumeDevicePath(m_root, *check.volume);
    // Without write access every way below fails, but only part of them would say so at once.
    if (!device)
        return answerFalse("SetVolumeLabelA", rootPath, "no device node for " + check.volume->volumeName);
    if (!mayWriteDevice(m_root, *check.volume, *device))
        return answerFalse("SetVolumeLabelA", rootPath, "no write access to " + *device);
    bool written = false;
    if (type == "vfat" && !ascii) {
        // fatlabel 4.2 refuses every byte above 0x7F, whatever code page it is given.
        written = writeFatLabel(*device, newLabel);
    } else if (type == "vfat") {
        // fatlabel takes no empty label; resetting is how it removes one. "--" keeps "-R" a label.
        written =
            runProgram(newLabel.empty() ? std::vector<std::string>{"fatlabel", "--reset", *device}
                                        : std::vector<std::string>{"fatlabel", "--", *device, newLabel}) == 0;
    } else {
        // exfatlabel would read a label starting with "-" as an option and knows no "--".
        if (!newLabel.empty() && newLabel.front() == '-')
            return answerFalse("SetVolumeLabelA", rootPath, "exfatlabel would take the label for an option");
        written = runProgram({"exfatlabel", *device, newLabel}) == 0;
    }
    if (!written)
        return answerFalse("SetVolumeLabelA", rootPath, "writing the label to " + *device + " failed");
    waitForUdev(*device);
    return true;
}

std::optional<std::string> LinuxVolumeServices::nativePath(const std::string &windowsPath) {
    if (!windowsPath.empty() && windowsPath.front() == '/') {
        std::string native = windowsPath;
        std::replace(native.begin(), native.end(), '\\', '/');
        return native;
    }
    const MappedVolume *volume = volumeAt(windowsPath);
    if (!volume || !fileSystemDevice(*volume))
        return std::nullopt;
    const auto mounted = mountPoint(*volume);
    if (!mounted)
        return std::nullopt;
    std::vector<std::string> parts;
    std::string part;
    const std::string rest = windowsPath.substr(3) + "\\";
    for (char c : rest) {
        if (c != '\\' && c != '/') {
            part += c;
            continue;
        }
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        part.clear();
    }
    std::string native = m_root.path(*mounted);
    for (const std::string &name : parts)
        native += "/" + name;
    return native;
}

} // namespace dravex
