#pragma once

#include "platform/linux/sysfs/diskinventory.h"
#include "platform/linux/sysfs/systemroot.h"
#include "record/productionrecord.h"

#include <optional>

namespace dravex {

// What a production record says of the stick behind a letter, as the drive map and the disk inventory
// show it now, and which disk that is: diskseq tells the stick apart from one plugged in later under the
// same name.
struct StickDescription : StickFields {
    std::optional<std::uint64_t> diskseq;
    std::string diskName;
};

// Nothing when the letter names no volume. The inventory is the one the drive letters were read from
// (the tool's last scan); the first form reads it afresh, as a helper does.
std::optional<StickDescription> describeStick(const SystemRoot &root, char letter);
std::optional<StickDescription> describeStick(const SystemRoot &root, const DiskInventory &inventory,
                                              char letter);

} // namespace dravex
