#pragma once

#include "platform/capacityreports.h"
#include "platform/volumeservices.h"

#include <cstdint>
#include <optional>
#include <string>

namespace dravex {

// One simulated drive as a test declares it.
struct SimDrive {
    char letter = 'H';
    unsigned driveType = kDriveRemovable;
    std::string label; // what the volume query reports, possibly with a NUL and more after it
    std::string fileSystem = "FAT32";
    uint64_t totalBytes = 0;
    uint64_t totalFreeBytes = 0;
    uint64_t freeBytesAvailableToCaller = 0;
    bool mediumPresent = true;
    bool freeSpaceQueryFails = false;
    bool locked = false;
    // The USB identity. With vendor and serial both empty the management data knows no disk for the
    // drive; without a vendor ID it is missing from the USB mass-storage list.
    std::string vendor, product, revision, serial, vendorId, productId;
    // A counterfeit stick's real size, below the capacity it claims; nothing for a genuine stick.
    std::optional<uint64_t> realBytes;
    // What the last capacity check found on this stick; it leaves with the stick.
    std::optional<CapacityReport> capacityReport;
};

} // namespace dravex
