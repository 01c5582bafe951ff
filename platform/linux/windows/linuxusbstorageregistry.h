#pragma once

#include "platform/linux/sysfs/systemroot.h"
#include "platform/linux/sysfs/udevrecord.h"
#include "platform/registryreader.h"

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

// Nothing when the disk's sysfs folder lies below no USB interface, or its link leads out of the root.
std::optional<UsbAttachment> usbAttachmentOf(const SystemRoot &root, const std::string &diskName);

// The disk's udev record; empty when it has none we can read.
UdevRecord diskUdevRecord(const SystemRoot &root, const std::string &diskName);

// A USB key of udev: recent udev writes ID_USB_<name>, older udev only ID_<name>. Empty when neither is set.
std::string usbProperty(const UdevRecord &record, const std::string &name);

// The serial a USB device reports: udev's ID_USB_SERIAL_SHORT or ID_SERIAL_SHORT, else the device's own
// sysfs "serial" (deviceFolder may be empty). Case and characters as reported; empty when there is none.
std::string usbSerial(const SystemRoot &root, const UdevRecord &diskRecord, const std::string &deviceFolder);

// The list of USB mass-storage devices present, read only through the one list the tool needs:
// "HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\USBSTOR\Enum\" with "Count" and "0", "1", ...
// One entry per USB device with a mass-storage interface, so a card reader is one entry however many slots
// it has; ordered by port path. Everything is read below the system root.
//
// Reading Count reads the list afresh, and the numbered entries that follow it, upwards, are answered from
// that reading: a walk of the list (Count, then 0, 1, ...) costs one reading and sees one state of the
// machine, and the next walk sees a stick plugged in meanwhile. A numbered read that does not go on upwards
// from the previous one reads the list afresh too.
class LinuxUsbStorageRegistry : public RegistryReader {
public:
    explicit LinuxUsbStorageRegistry(std::string root = "/");

    // Key names compare without regard to letter case, as the registry's do; any other path gives nothing.
    std::optional<std::string> RegRead(const std::string &valuePath) override;

    // The entries in order, read now: "USB\VID_0951&PID_1666\<serial>", or a generated id in place of a
    // serial the device lacks.
    std::vector<std::string> entries() const;

private:
    SystemRoot m_root;
    std::optional<std::vector<std::string>> m_walk; // the list as the walk going on read it
    std::optional<unsigned> m_lastIndexRead;        // the walk's last numbered entry read
};

} // namespace dravex
