#pragma once

#include "platform/linux/sysfs/systemroot.h"
#include "platform/linux/sysfs/udevrecord.h"
#include "platform/linux/windows/linuxvolumeservices.h"
#include "platform/registryreader.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dravex {

// A USB key of udev: recent udev writes ID_USB_<name>, older udev only ID_<name>. Empty when neither is set.
std::string usbProperty(const UdevRecord &record, const std::string &name);

// The serial a USB device reports: udev's ID_USB_SERIAL_SHORT or ID_SERIAL_SHORT, else the device's own
// sysfs "serial" (deviceFolder may be empty). Case and characters as reported; empty when there is none.
std::string usbSerial(const SystemRoot &root, const UdevRecord &diskRecord, const std::string &deviceFolder);

// A vendor, model or revision field of a disk (name "VENDOR", "MODEL", "REVISION") for a device id: udev's
// escaped form, which keeps the padding blanks its plain form shows as "_", then its plain form, then the
// sysfs attribute (a path inside the root).
std::string idDeviceField(const SystemRoot &root, const UdevRecord &record, const std::string &name,
                          const std::string &sysfsAttribute);
// The same field for people: blanks kept, udev's escaped form keeping the device's own.
std::string readableDeviceField(const SystemRoot &root, const UdevRecord &record, const std::string &name,
                                const std::string &sysfsAttribute);

// The list of USB mass-storage devices present, read only through the one list the tool needs:
// "HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\USBSTOR\Enum\" with "Count" and "0", "1", ...
// One entry per USB device with a mass-storage interface, so a card reader is one entry however many slots
// it has; ordered by port path. Everything is read below the system root.
//
// The disks are those of the volume services' last reading of the drive list, which each scan makes at its
// start, so the identity lookups of a scan's ten rows read the disks once; the USB devices are listed when
// the list is first asked for after that reading. Reading Count takes the list, and the numbered entries
// that follow it, upwards, are answered from it: a walk of the list (Count, then 0, 1, ...) sees one state
// of the machine. A numbered read that does not go on upwards from the previous one takes the list anew.
class LinuxUsbStorageRegistry : public RegistryReader {
public:
    // root must be the one the volume services read below.
    explicit LinuxUsbStorageRegistry(LinuxVolumeServices &volumes, std::string root = "/");

    // Key names compare without regard to letter case, as the registry's do; any other path gives nothing.
    std::optional<std::string> RegRead(const std::string &valuePath) override;

    // The entries in order: "USB\VID_0951&PID_1666\<serial>", or a generated id in place of a serial the
    // device lacks.
    std::vector<std::string> entries();

private:
    LinuxVolumeServices &m_volumes;
    SystemRoot m_root;
    std::optional<std::pair<uint64_t, std::vector<std::string>>> m_entries; // by drive-list reading
    std::optional<std::vector<std::string>> m_walk; // the list as the walk going on read it
    std::optional<unsigned> m_lastIndexRead;        // the walk's last numbered entry read
};

} // namespace dravex
