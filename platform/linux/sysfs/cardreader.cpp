#include "platform/linux/sysfs/cardreader.h"

namespace dravex {

namespace {

std::string usbDeviceOf(const DiskRecord &disk) {
    return disk.usb ? disk.usb->deviceFolder : std::string();
}

} // namespace

bool isCardReaderSlot(const DiskInventory &inventory, const std::string &diskKernelName) {
    const DiskRecord *disk = inventory.find(diskKernelName);
    if (!disk)
        return false;
    const std::string interface = usbInterfacePath(disk->disk.udevValue("ID_PATH"));
    const std::string device = usbDeviceOf(*disk);
    for (const DiskRecord &other : inventory.disks()) {
        if (other.name() == diskKernelName || other.optical)
            continue;
        if (!interface.empty() && usbInterfacePath(other.disk.udevValue("ID_PATH")) == interface)
            return true;
        if (!device.empty() && usbDeviceOf(other) == device)
            return true;
    }
    return false;
}

} // namespace dravex
