#pragma once

#include "platform/linux/sysfs/diskinventory.h"
#include "platform/linux/sysfs/systemroot.h"

#include <optional>
#include <string>
#include <vector>

namespace dravex {

// One volume of a removable disk, as the drive letters name them.
struct MappedVolume {
    std::optional<char> letter;   // nothing for the volumes past Z
    std::string diskName;         // kernel name of the disk, "sdb"
    std::string volumeName;       // kernel name of the volume: "sdb1", or the disk's own for a whole disk
    unsigned partitionNumber = 0; // 0 for a whole disk
    bool hasMedium = false;
    unsigned major = 0;
    unsigned minor = 0;
    std::string portPath;            // udev ID_PATH of the disk, or its kernel name when udev has none
    std::optional<uint64_t> diskseq; // the disk's, where the kernel numbers its media
};

// Which drive letter names which volume. The tool, and the helper programs it starts, resolve letters
// through this one mapping so that they always agree.
//
// Only disks whose "removable" attribute reads 1 take part; optical drives do not, as they are no
// removable disks to the tool. A disk contributes each of its partitions, or itself as a whole when
// it has none (an extended partition's container gets no letter, as on Windows): a whole-disk file system, a
// medium the tool cannot read (it then shows as unreadable), or an empty slot of a card reader (size 0). The
// volumes are ordered by port path in natural order, then by partition number, and take the letters F to Z in
// that order.
class DriveMap {
public:
    static DriveMap read(const SystemRoot &root);
    static DriveMap build(const DiskInventory &inventory);

    const std::vector<MappedVolume> &volumes() const { return m_volumes; }
    const MappedVolume *find(char letter) const;

private:
    std::vector<MappedVolume> m_volumes;
};

// Compares texts with their digit runs taken as numbers, so "port2" comes before "port10".
bool naturalLess(const std::string &left, const std::string &right);

} // namespace dravex
