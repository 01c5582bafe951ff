#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dravex {

// One instance of a management class: its properties as texts, and its whole description.
struct ManagementInstance {
    std::map<std::string, std::string> properties;
    // The instance's complete description in MOF syntax ("instance of Win32_DiskDrive { ... };").
    std::string objectText;
};

// The machine's management data, in the shapes of two classes: "Win32_LogicalDiskToPartition"
// (Antecedent ending in Win32_DiskPartition.DeviceID="Disk #1, Partition #0", Dependent ending in
// Win32_LogicalDisk.DeviceID="H:") and "Win32_DiskDrive" (Name "\\.\PHYSICALDRIVE1", PNPDeviceID
// "USBSTOR\DISK&VEN_...&PROD_...&REV_...\<serial>&0"). Read only.
class ManagementData {
public:
    virtual ~ManagementData() = default;

    // Every instance of the class, in the service's order; nothing when the service cannot be reached.
    // Blanks around the class name are ignored.
    virtual std::optional<std::vector<ManagementInstance>> InstancesOf(const std::string &className) = 0;
};

} // namespace dravex
