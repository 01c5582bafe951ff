#pragma once

#include <array>
#include <string>

namespace dravex {

// One row of the drive table. The fields are the texts of the row's cells; an empty text is an empty cell.
struct DriveSlot {
    std::string letter;
    std::string volumeLabel;
    std::string fileSystem;
    std::string capacity;
    std::string usedSpace;
    std::string contents;
    std::string checkResult;
    std::string deviceName;
    std::string deviceSerial;
    std::string deviceKey;
};

// The ten-row table the scan fills from row 0 upwards, and the counter shown beside it.
struct DriveTable {
    static constexpr int kRowCount = 10;
    std::array<DriveSlot, kRowCount> slots;
    std::string driveCount = "0";
};

} // namespace dravex
