#pragma once

#include "platform/linux/sysfs/drivemap.h"
#include "platform/linux/sysfs/systemroot.h"

#include <optional>
#include <string>

namespace dravex {

// Why a drive letter may not be written to.
enum class Refusal {
    None,
    NotMapped,    // the letter names no volume
    NotRemovable, // the disk no longer says it is removable
    NoMedium,     // an empty slot
    SystemMount,  // a volume of the disk, or something stacked on it, holds a system folder
    ActiveSwap,   // a volume of the disk, or something stacked on it, is swap in use
    Unconfirmed,  // the mount table cannot be read, so nothing can be ruled out
};

struct VolumeCheck {
    std::optional<MappedVolume> volume; // only when nothing refuses it
    Refusal refusal = Refusal::None;
    std::string detail; // the device or mount point at fault, for the message
};

// Whether a disk without a medium passes: only to be powered off, or told there is nothing to eject.
enum class MediumRule { Required, MayBeMissing };

// The one gate before anything writes to, unmounts or powers off a drive: the letter must map to a volume
// of a removable disk with a medium (unless the rule lets it be missing), and no part of that disk may hold
// /, /boot, /boot/efi, /usr, /var, /home or the medium of a live system, or be swap in use, be it a
// partition, the disk itself or a device-mapper or RAID device on them. A mount counts by its device number
// and by its source, so btrfs mounts and sources given as links or mapper names are found too.
VolumeCheck checkVolume(const SystemRoot &root, const DriveMap &map, char letter,
                        MediumRule medium = MediumRule::Required);

// The node to hand to mkfs and fatlabel for the volume. On the machine: /dev/<name>, only if it is the
// block device the volume is. Below any other root only a plain file (an image) will do, never a device
// node or a link, so a fixture tree cannot lead to a real disk.
std::optional<std::string> volumeDevicePath(const SystemRoot &root, const MappedVolume &volume);

} // namespace dravex
