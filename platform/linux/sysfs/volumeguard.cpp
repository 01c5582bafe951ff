#include "platform/linux/sysfs/volumeguard.h"

#include "platform/linux/sysfs/mountinfo.h"
#include "platform/linux/sysfs/mountsource.h"
#include "platform/linux/sysfs/textfields.h"

#include <algorithm>
#include <set>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <utility>
#include <vector>

namespace dravex {

namespace {

constexpr const char *kSystemMountPoints[] = {"/", "/boot", "/boot/efi", "/usr", "/var", "/home",
                                              // Where live and installer systems keep the medium they
                                              // run from; their / is an overlay that names no device.
                                              "/run/live/medium", "/lib/live/mount/medium", "/cdrom",
                                              "/run/initramfs/live", "/run/archiso/bootmnt"};
// Holders of holders: deep enough for LVM on LUKS on RAID, and a bound against a looping tree.
constexpr int kMaximumStackDepth = 8;

struct BlockDevice {
    std::string name;
    std::pair<unsigned, unsigned> number;
};

void addStacked(const SystemRoot &root, const std::string &folder, int depth,
                std::vector<BlockDevice> &found);

void addDevice(const SystemRoot &root, const std::string &name, const std::string &folder, int depth,
               std::vector<BlockDevice> &found) {
    if (depth > kMaximumStackDepth)
        return;
    if (std::any_of(found.begin(), found.end(), [&](const BlockDevice &d) { return d.name == name; }))
        return;
    const auto dev = root.readFile(folder + "/dev");
    const auto number = dev ? parseMajorMinor(*dev) : std::nullopt;
    found.push_back({name, number.value_or(std::make_pair(0u, 0u))});
    addStacked(root, folder, depth, found);
}

void addStacked(const SystemRoot &root, const std::string &folder, int depth,
                std::vector<BlockDevice> &found) {
    for (const std::string &holder : root.listFolder(folder + "/holders"))
        addDevice(root, holder, "/sys/class/block/" + holder, depth + 1, found);
}

// The disk, its partitions and whatever is stacked on any of them.
std::vector<BlockDevice> devicesOfDisk(const SystemRoot &root, const std::string &disk) {
    std::vector<BlockDevice> found;
    const std::string folder = "/sys/block/" + disk;
    addDevice(root, disk, folder, 0, found);
    for (const std::string &entry : root.listFolder(folder)) {
        if (entry.compare(0, disk.size(), disk) == 0 && entry.size() > disk.size() &&
            root.readFile(folder + "/" + entry + "/partition"))
            addDevice(root, entry, folder + "/" + entry, 0, found);
    }
    return found;
}

bool isSystemMountPoint(const std::string &mountPoint) {
    return std::any_of(std::begin(kSystemMountPoints), std::end(kSystemMountPoints),
                       [&](const char *system) { return mountPoint == system; });
}

std::string lastComponent(std::string_view path) {
    const size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

VolumeCheck refused(Refusal refusal, std::string detail) {
    VolumeCheck check;
    check.refusal = refusal;
    check.detail = std::move(detail);
    return check;
}

} // namespace

VolumeCheck checkVolume(const SystemRoot &root, const DriveMap &map, char letter, MediumRule medium) {
    if (letter >= 'a' && letter <= 'z')
        letter = static_cast<char>(letter - 'a' + 'A');
    const MappedVolume *volume = map.find(letter);
    if (!volume)
        return refused(Refusal::NotMapped, std::string(1, letter) + ":");
    // Read again: the map may be older than this moment.
    const auto removable = root.readFile("/sys/block/" + volume->diskName + "/removable");
    if (!removable || trimmed(*removable) != "1")
        return refused(Refusal::NotRemovable, volume->diskName);
    if (!volume->hasMedium && medium == MediumRule::Required)
        return refused(Refusal::NoMedium, volume->diskName);

    const std::vector<BlockDevice> devices = devicesOfDisk(root, volume->diskName);
    // Without the mount table a system disk cannot be told apart from a stick: refuse.
    const auto mounts = root.readFile("/proc/self/mountinfo");
    if (!mounts)
        return refused(Refusal::Unconfirmed, "/proc/self/mountinfo");
    for (const MountEntry &entry : parseMountInfo(*mounts)) {
        if (!isSystemMountPoint(entry.mountPoint))
            continue;
        const auto number = std::make_pair(entry.major, entry.minor);
        // btrfs shows an anonymous number here; its source still names the device.
        const std::string source = sourceKernelName(root, entry.source);
        for (const BlockDevice &device : devices) {
            if (device.number == number || (!source.empty() && device.name == source))
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
            for (const BlockDevice &device : devices) {
                if (device.name == name)
                    return refused(Refusal::ActiveSwap, device.name);
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
