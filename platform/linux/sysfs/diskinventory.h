#pragma once

#include "platform/linux/sysfs/systemroot.h"
#include "platform/linux/sysfs/udevrecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dravex {

// Where a disk hangs off USB.
struct UsbAttachment {
    std::string portPath;     // kernel name of the USB device: "1-3", "2-1.4" behind a hub
    std::string deviceFolder; // its sysfs folder as seen inside the root
    unsigned lun = 0;         // the disk's slot on the device: card readers have one per slot
};

// A block device as the kernel and udev describe it: a disk itself, or one of its partitions.
struct BlockDevice {
    std::string name; // kernel name: "sdb", "sdb1"
    unsigned major = 0;
    unsigned minor = 0;
    bool hasNumber = false;       // whether its device number could be read; nothing else was read when not
    unsigned partitionNumber = 0; // 0 for the disk itself
    uint64_t sectors = 0;         // in 512-byte units, as sysfs counts them
    bool readOnly = false;
    // An extended partition: a container of logical partitions that holds no file system of its own.
    bool extendedContainer = false;
    std::vector<std::string> holders; // device-mapper, RAID and the like stacked on it
    UdevRecord udev;                  // empty when udev has no record of it

    std::string udevValue(const std::string &key) const;
    // The file system's type, UUID and label bytes as udev's blkid probe found them; empty when none.
    std::string fileSystemType() const { return udevValue("ID_FS_TYPE"); }
    std::string fileSystemUuid() const { return udevValue("ID_FS_UUID"); }
    std::string labelBytes() const;
};

// Everything the Linux layer needs to know about one disk, read in one go.
struct DiskRecord {
    BlockDevice disk;
    std::optional<uint64_t> diskseq; // the kernel's sequence number of the medium; newer kernels only
    std::optional<bool> removable;   // nothing when the attribute cannot be read
    bool optical = false;            // a CD/DVD unit, a stick's CD-ROM partition included
    std::string devicePath;          // its folder below /sys/devices as seen inside the root; empty when gone
    std::optional<UsbAttachment> usb; // nothing when the disk lies below no USB interface
    std::vector<BlockDevice> partitions;

    const std::string &name() const { return disk.name; }
    bool hasMedium() const { return disk.sectors > 0; }
    // udev's ID_PATH, or the kernel name when udev has none.
    std::string portPath() const;
    // The disk and its partitions.
    std::vector<const BlockDevice *> devices() const;
};

// The block devices of the machine, read below the system root the way util-linux's sysfs helpers read
// them: /sys/block, each disk's attributes, partitions and holders, and its udev record. The drive map, the
// card-reader check, the volume guard and the management data all read from one inventory.
class DiskInventory {
public:
    static DiskInventory read(const SystemRoot &root);
    // One disk read afresh; nothing when it is gone or its device number cannot be read.
    static std::optional<DiskRecord> readDisk(const SystemRoot &root, const std::string &name);

    const std::vector<DiskRecord> &disks() const { return m_disks; }
    const DiskRecord *find(const std::string &name) const;

private:
    std::vector<DiskRecord> m_disks;
};

// The udev database file of a block device, as seen inside the root.
std::string udevDataPath(unsigned major, unsigned minor);

// "pci-0000:00:14.0-usb-0:3:1.0" of "pci-0000:00:14.0-usb-0:3:1.0-scsi-0:0:0:1"; empty when the path
// names no USB interface.
std::string usbInterfacePath(const std::string &idPath);

} // namespace dravex
