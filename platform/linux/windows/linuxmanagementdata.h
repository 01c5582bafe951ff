#pragma once

#include "platform/linux/sysfs/diskinventory.h"
#include "platform/linux/sysfs/systemroot.h"
#include "platform/linux/sysfs/udevrecord.h"
#include "platform/linux/windows/linuxvolumeservices.h"
#include "platform/managementdata.h"

#include <optional>
#include <string>
#include <vector>

namespace dravex {

// The management classes the tool asks for, made from sysfs and the udev database below the system root:
// Win32_LogicalDiskToPartition for the drive letters of the volume services, and Win32_DiskDrive for
// every numbered disk. Both number the disks of the volume services' last reading of the drive list (each
// scan makes one at its start), so a disk plugged in between the two cannot shift the numbers, and the
// identity lookups of a scan's rows read the disks once; whether each lettered volume is still there is
// read at each call. What cannot be read leaves its property out.
class LinuxManagementData : public ManagementData {
public:
    // root must be the one the volume services read below; their drive map gives the letters.
    explicit LinuxManagementData(LinuxVolumeServices &volumes, std::string root = "/");

    // Class names compare exactly, blanks around them aside; an unknown class has no instances.
    std::optional<std::vector<ManagementInstance>> InstancesOf(const std::string &className) override;

private:
    std::vector<ManagementInstance>
    logicalDisksToPartitions(const std::vector<const DiskRecord *> &numbering);
    std::vector<ManagementInstance> diskDrives(const std::vector<const DiskRecord *> &disks) const;

    LinuxVolumeServices &m_volumes;
    SystemRoot m_root;
    // The disk list made from one reading of the drive list, kept until the next.
    std::optional<std::pair<uint64_t, std::vector<ManagementInstance>>> m_diskDrives;
};

} // namespace dravex
