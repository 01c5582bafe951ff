#pragma once

#include "platform/linux/sysfs/systemroot.h"
#include "platform/linux/sysfs/udevrecord.h"
#include "platform/linux/windows/linuxvolumeservices.h"
#include "platform/managementdata.h"

#include <optional>
#include <string>
#include <vector>

namespace dravex {

// The disks as Win32_DiskDrive numbers them: every entry of /sys/block except those that are no drives
// to Windows (isVirtualDiskName, and optical drives by udev's ID_CDROM=1), in diskNameLess order; a disk's
// number is its place in this list, so sda, sdb, ... are disks 0, 1, ... on a machine of SCSI disks.
std::vector<std::string> numberedDisks(const SystemRoot &root);

// A numbered disk with the udev record that told it from an optical drive, so the disk list reads each
// record once.
struct NumberedDisk {
    std::string name;
    UdevRecord record;
};
std::vector<NumberedDisk> numberedDiskRecords(const SystemRoot &root);

// The management classes the tool asks for, made from sysfs and the udev database below the system root:
// Win32_LogicalDiskToPartition for the drive letters of the volume services, and Win32_DiskDrive for
// every numbered disk. Each call reads afresh, but for one thing: a disk list asked for right after an
// association list, as the identity lookup asks for the two, numbers the disks as that association list did,
// so a disk plugged in between cannot shift the numbers under it. What cannot be read leaves its property
// out.
class LinuxManagementData : public ManagementData {
public:
    // root must be the one the volume services read below; their drive map gives the letters.
    explicit LinuxManagementData(LinuxVolumeServices &volumes, std::string root = "/");

    // Class names compare exactly, blanks around them aside; an unknown class has no instances.
    std::optional<std::vector<ManagementInstance>> InstancesOf(const std::string &className) override;

private:
    std::vector<ManagementInstance> logicalDisksToPartitions(const std::vector<NumberedDisk> &numbering);
    std::vector<ManagementInstance> diskDrives(const std::vector<NumberedDisk> &disks) const;

    LinuxVolumeServices &m_volumes;
    SystemRoot m_root;
    // The numbering of the last association list, until the disk list that follows it takes it.
    std::optional<std::vector<NumberedDisk>> m_associationNumbering;
};

} // namespace dravex
