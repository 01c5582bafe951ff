#pragma once

#include "platform/linux/sysfs/drivemap.h"
#include "platform/linux/sysfs/systemroot.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace dravex {

// Why a drive letter may not be written to.
enum class Refusal {
    None,
    NotMapped,    // the letter names no volume
    NotRemovable, // the disk no longer says it is removable
    NoMedium,     // an empty slot
    SystemMount,  // a volume of the disk, or something stacked on it, is mounted outside the media folders
    ActiveSwap,   // a volume of the disk, or something stacked on it, is swap in use
    Unconfirmed,  // the mount table cannot be read, so nothing can be ruled out
    Stacked,      // a mapping, volume group or array is built on the disk (detail: volume and holder)
    OtherDisk,    // the letter names another disk than at the tool's scan
};

// A short English name of the refusal, for the platform's debug lines.
std::string refusalName(Refusal refusal);

struct VolumeCheck {
    std::optional<MappedVolume> volume; // only when nothing refuses it
    Refusal refusal = Refusal::None;
    std::string detail; // the device or mount point at fault, for the message
    // A holder: the holder and the device it is stacked on.
    std::string holder;
    std::string heldDevice;
};

// Whether a disk without a medium passes: only to be powered off, or told there is nothing to eject.
enum class MediumRule { Required, MayBeMissing };

// What a letter named at the tool's last scan: the disk's kernel name and, where the kernel numbers
// media, its diskseq. The tool hands this to each helper it starts, so a helper started after a stick
// was pulled, when the letters have moved on, does not take the next stick for the one meant.
struct ScannedDisk {
    std::string diskName;
    std::optional<uint64_t> diskseq;
};
using ScannedDisks = std::map<char, ScannedDisk>;

// "F=sdb:12,G=sdc:13" for the lettered volumes of the map ("F=sdb:" without a diskseq).
std::string scannedDisksText(const DriveMap &map);
// Nothing when the text is not of that shape.
std::optional<ScannedDisks> parseScannedDisks(std::string_view text);

struct GuardRules {
    MediumRule medium = MediumRule::Required;
    // Eject may meet holders it then releases; every writer refuses them.
    bool allowStacked = false;
    // When given, the letter must name the disk it named at the scan.
    const ScannedDisks *scanned = nullptr;
};

// The one gate before anything writes to, unmounts or powers off a drive: the letter must map to a volume
// of a removable disk with a medium (unless the rule lets it be missing), and no part of that disk may be
// mounted anywhere but below /media, /run/media and /mnt (where desktops, UDisks2 and operators mount
// media), be swap in use, or carry a holder (device-mapper, LVM, RAID) unless the rules allow one, be it a
// partition, the disk itself or something stacked on them. A mount counts by its device number, by its
// source (so btrfs mounts and sources given as links or mapper names are found too), and for btrfs by
// every member of its file system, which mountinfo does not name. The disk is read afresh.
VolumeCheck checkVolume(const SystemRoot &root, const DriveMap &map, char letter,
                        const GuardRules &rules = {});

// The node to hand to mkfs and fatlabel for the volume. On the machine: /dev/<name>, only if it is the
// block device the volume is. Below any other root only a plain file (an image) will do, never a device
// node or a link, so a fixture tree cannot lead to a real disk.
std::optional<std::string> volumeDevicePath(const SystemRoot &root, const MappedVolume &volume);

} // namespace dravex
