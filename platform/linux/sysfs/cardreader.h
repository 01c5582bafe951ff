#pragma once

#include "platform/linux/sysfs/diskinventory.h"

#include <string>

namespace dravex {

// Whether the disk is one slot of a card reader: another disk hangs off the same USB device, by udev's
// ID_PATH up to the USB interface or by the USB device above both in sysfs. Powering such a device off
// would take the other slots' cards with it. Optical units (a stick's CD-ROM partition) are no slots.
bool isCardReaderSlot(const DiskInventory &inventory, const std::string &diskKernelName);

} // namespace dravex
