#include "platform/linux/sysfs/volumeguard.h"

#include "platform/linux/debuglog.h"
#include "platform/linux/sysfs/mountinfo.h"
#include "platform/linux/sysfs/mountsource.h"
#include "platform/linux/sysfs/textfields.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <utility>
#include <vector>

namespace dravex {

namespace {

// Where desktops, UDisks2 and operators mount removable media; a mount anywhere else is the machine's.
constexpr const char *kMediaFolders[] = {"/media", "/run/media", "/mnt"};
// Holders of holders: deep enough for LVM on LUKS on RAID, and a bound against a looping tree.
constexpr int kMaximumStackDepth = 8;

struct GuardedDevice {
    std::string name;
    std::pair<unsigned, unsigned> number;
    std::string stackedOn;  // empty for the disk and its partitions
    std::string mapperName; // a device-mapper holder's name: "luks-…", "vg0-home"
};

bool contains(const std::vector<GuardedDevice> &devices, const std::string &name) {
    return std::any_of(devices.begin(), devices.end(),
                       [&](const GuardedDevice &d) { return d.name == name; });
}

void addHolders(const SystemRoot &root, const std::string &name, const std::vector<std::string> &holders,
                int depth, std::vector<GuardedDevice> &found) {
    if (depth > kMaximumStackDepth)
        return;
    for (const std::string &holder : holders) {
        if (holder.find('/') != std::string::npos || contains(found, holder))
            continue;
        const std::string folder = "/sys/class/block/" + holder;
        const auto dev = root.readFile(folder + "/dev");
        const auto number = dev ? parseMajorMinor(*dev) : std::nullopt;
        const auto mapperName = root.readFile(folder + "/dm/name");
        found.push_back({holder, number.value_or(std::make_pair(0u, 0u)), name,
                         mapperName ? std::string(trimmed(*mapperName)) : std::string()});
        addHolders(root, holder, root.listFolder(folder + "/holders"), depth + 1, found);
    }
}

// The disk, its partitions and whatever is stacked on any of them.
std::vector<GuardedDevice> devicesOfDisk(const SystemRoot &root, const DiskRecord &disk) {
    std::vector<GuardedDevice> found;
    for (const BlockDevice *device : disk.devices())
        found.push_back({device->name, {device->major, device->minor}, {}, {}});
    for (const BlockDevice *device : disk.devices())
        addHolders(root, device->name, device->holders, 1, found);
    return found;
}

bool isMediaMountPoint(const std::string &mountPoint) {
    return std::any_of(std::begin(kMediaFolders), std::end(kMediaFolders), [&](const char *folder) {
        const size_t length = std::strlen(folder);
        return mountPoint.compare(0, length, folder) == 0 &&
               (mountPoint.size() == length || mountPoint[length] == '/');
    });
}

// The members of each multi-device btrfs the kernel knows: mountinfo names only one of them.
std::vector<std::vector<std::string>> btrfsMemberSets(const SystemRoot &root) {
    std::vector<std::vector<std::string>> sets;
    for (const std::string &uuid : root.listFolder("/sys/fs/btrfs")) {
        std::vector<std::string> members = root.listFolder("/sys/fs/btrfs/" + uuid + "/devices");
        if (!members.empty())
            sets.push_back(std::move(members));
    }
    return sets;
}

// Every block device the mount stands on, by name.
std::vector<std::string> mountedDevices(const SystemRoot &root, const MountEntry &entry,
                                        const std::vector<std::vector<std::string>> &btrfsMembers) {
    const std::string source = sourceKernelName(root, entry.source);
    if (source.empty())
        return {};
    if (entry.fsType == "btrfs") {
        for (const std::vector<std::string> &members : btrfsMembers) {
            if (std::find(members.begin(), members.end(), source) != members.end())
                return members;
        }
    }
    return {source};
}

std::string lastComponent(std::string_view path) {
    const size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

VolumeCheck refused(Refusal refusal, std::string detail) {
    debugPlatform("checkVolume", refusalName(refusal) + " " + detail);
    VolumeCheck check;
    check.refusal = refusal;
    check.detail = std::move(detail);
    return check;
}

std::string letterText(char letter) {
    return std::string(1, letter) + ":";
}

} // namespace

std::string refusalName(Refusal refusal) {
    switch (refusal) {
    case Refusal::None:
        return "none";
    case Refusal::NotMapped:
        return "not mapped";
    case Refusal::NotRemovable:
        return "not removable";
    case Refusal::NoMedium:
        return "no medium";
    case Refusal::SystemMount:
        return "mounted outside the media folders";
    case Refusal::ActiveSwap:
        return "swap in use";
    case Refusal::Unconfirmed:
        return "mount table unreadable";
    case Refusal::Stacked:
        return "holder stacked on it";
    case Refusal::OtherDisk:
        return "another disk than at the scan";
    }
    return "unknown";
}

std::string scannedDisksText(const DriveMap &map) {
    std::string text;
    for (const MappedVolume &volume : map.volumes()) {
        if (!volume.letter)
            continue;
        if (!text.empty())
            text += ',';
        text += std::string(1, *volume.letter) + "=" + volume.diskName + ":" +
                (volume.diskseq ? std::to_string(*volume.diskseq) : std::string());
    }
    return text;
}

std::optional<ScannedDisks> parseScannedDisks(std::string_view text) {
    ScannedDisks disks;
    if (!text.empty() && text.back() == ',')
        return std::nullopt;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view item = text.substr(start, end - start);
        const size_t colon = item.rfind(':');
        if (item.size() < 4 || item[0] < 'A' || item[0] > 'Z' || item[1] != '=' ||
            colon == std::string_view::npos || colon <= 2)
            return std::nullopt;
        ScannedDisk disk;
        disk.diskName = std::string(item.substr(2, colon - 2));
        const std::string_view sequence = item.substr(colon + 1);
        if (!sequence.empty()) {
            disk.diskseq = parseUnsigned(sequence);
            if (!disk.diskseq)
                return std::nullopt;
        }
        if (disk.diskName.find_first_of("/=,") != std::string::npos || !disks.emplace(item[0], disk).second)
            return std::nullopt;
        start = end + 1;
    }
    return disks;
}

VolumeCheck checkVolume(const SystemRoot &root, const DriveMap &map, char letter, const GuardRules &rules) {
    if (letter >= 'a' && letter <= 'z')
        letter = static_cast<char>(letter - 'a' + 'A');
    const MappedVolume *volume = map.find(letter);
    if (!volume)
        return refused(Refusal::NotMapped, letterText(letter));
    if (rules.scanned) {
        const auto scanned = rules.scanned->find(letter);
        if (scanned == rules.scanned->end())
            return refused(Refusal::OtherDisk, letterText(letter) + " " + volume->diskName);
        const bool sameSequence =
            !scanned->second.diskseq || !volume->diskseq || scanned->second.diskseq == volume->diskseq;
        if (scanned->second.diskName != volume->diskName || !sameSequence)
            return refused(Refusal::OtherDisk, letterText(letter) + " " + volume->diskName);
    }
    // Read again: the map may be older than this moment.
    const auto disk = DiskInventory::readDisk(root, volume->diskName);
    if (!disk || !disk->disk.hasNumber)
        return refused(Refusal::NotMapped, letterText(letter));
    if (disk->diskseq && volume->diskseq && disk->diskseq != volume->diskseq)
        return refused(Refusal::OtherDisk, letterText(letter) + " " + volume->diskName);
    if (disk->removable != true)
        return refused(Refusal::NotRemovable, volume->diskName);
    if (!volume->hasMedium && rules.medium == MediumRule::Required)
        return refused(Refusal::NoMedium, volume->diskName);

    const std::vector<GuardedDevice> devices = devicesOfDisk(root, *disk);
    // Without the mount table a system disk cannot be told apart from a stick: refuse.
    const auto mounts = root.readFile("/proc/self/mountinfo");
    if (!mounts)
        return refused(Refusal::Unconfirmed, "/proc/self/mountinfo");
    const auto btrfsMembers = btrfsMemberSets(root);
    for (const MountEntry &entry : parseMountInfo(*mounts)) {
        if (isMediaMountPoint(entry.mountPoint))
            continue;
        const auto number = std::make_pair(entry.major, entry.minor);
        const std::vector<std::string> sources = mountedDevices(root, entry, btrfsMembers);
        for (const GuardedDevice &device : devices) {
            if (device.number == number ||
                std::find(sources.begin(), sources.end(), device.name) != sources.end())
                return refused(Refusal::SystemMount, device.name + " " + entry.mountPoint);
        }
    }
    if (const auto swaps = root.readFile("/proc/swaps")) {
        const std::vector<std::string_view> lines = splitLines(*swaps);
        // The first line is the column heading.
        for (size_t i = 1; i < lines.size(); ++i) {
            const std::vector<std::string_view> fields = splitBlanks(lines[i]);
            if (fields.empty())
                continue;
            // /proc/swaps may name a mapper device by its mapper name.
            std::string name = sourceKernelName(root, std::string(fields.front()));
            if (name.empty())
                name = lastComponent(fields.front());
            if (contains(devices, name))
                return refused(Refusal::ActiveSwap, name);
        }
    }
    if (!rules.allowStacked) {
        for (const GuardedDevice &device : devices) {
            if (!device.stackedOn.empty()) {
                const std::string mapper = device.mapperName.empty() ? "" : " " + device.mapperName;
                VolumeCheck check =
                    refused(Refusal::Stacked, device.name + mapper + " (" + device.stackedOn + ")");
                check.holder = device.name;
                check.heldDevice = device.stackedOn;
                return check;
            }
        }
    }
    VolumeCheck check;
    check.volume = *volume;
    return check;
}

std::optional<std::string> volumeDevicePath(const SystemRoot &root, const MappedVolume &volume) {
    if (volume.volumeName.empty() || volume.volumeName.find('/') != std::string::npos ||
        volume.volumeName == "." || volume.volumeName == "..")
        return std::nullopt;
    const std::string path = root.path("/dev/" + volume.volumeName);
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return std::nullopt;
    if (!root.isWholeMachine())
        return S_ISREG(status.st_mode) ? std::optional<std::string>(path) : std::nullopt;
    if (!S_ISBLK(status.st_mode) || major(status.st_rdev) != volume.major ||
        minor(status.st_rdev) != volume.minor)
        return std::nullopt;
    return path;
}

} // namespace dravex
