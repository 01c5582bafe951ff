#pragma once

#include "platform/linux/sysfs/systemroot.h"

#include <string>

namespace dravex {

// Whether the disk is one slot of a card reader: another disk hangs off the same USB device, by udev's
// ID_PATH up to the USB interface or by the USB device above both in sysfs. Powering such a device off
// would take the other slots' cards with it. Optical units (a stick's CD-ROM partition) are no slots.
bool isCardReaderSlot(const SystemRoot &root, const std::string &diskKernelName);

// "pci-0000:00:14.0-usb-0:3:1.0" of "pci-0000:00:14.0-usb-0:3:1.0-scsi-0:0:0:1"; empty when the path
// names no USB interface.
std::string usbInterfacePath(const std::string &idPath);

// The sysfs path of the USB device in a device path, up to the component before its first USB interface
// ("1-3:1.0" below "1-3"); empty when there is none.
std::string usbDevicePath(const std::string &sysfsPath);

} // namespace dravex
