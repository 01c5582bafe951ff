#pragma once

#include "platform/linux/sysfs/systemroot.h"
#include "record/productionrecord.h"

#include <optional>

namespace dravex {

// What a production record says of the stick behind a letter, as the drive map and the disk inventory
// show it now: letter, port, USB ids and serial, vendor, product and revision, capacity, file system and
// label. diskseq tells the stick apart from one plugged in later under the same letter.
struct StickDescription {
    std::string letter;
    std::string portPath;
    std::string vendorId;
    std::string productId;
    std::string serial;
    std::string vendor;
    std::string product;
    std::string revision;
    std::uint64_t capacityBytes = 0;
    std::string fileSystem;
    std::string label; // UTF-8
    std::optional<std::uint64_t> diskseq;
    std::string diskName;

    void fill(ProductionRecord &record) const;
};

// Nothing when the letter names no volume.
std::optional<StickDescription> describeStick(const SystemRoot &root, char letter);

} // namespace dravex
