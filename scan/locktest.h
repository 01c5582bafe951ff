#pragma once

#include "platform/fileservice.h"
#include "model/drivetable.h"

#include <chrono>
#include <functional>

namespace dravex {

// Creates and deletes an empty tavrin.bin in the root of the row's drive and writes the verdict into
// the row: "可读写" when both worked, "写保护" when either failed.
void ProbeWriteProtect(FileService &files, DriveSlot &slot);

// The lock test (F7): probes every row that holds a drive read by the last scan; tested hears of each
// row when its verdict is in, with the time the probe took.
void runLockTest(FileService &files, DriveTable &table,
                 const std::function<void(const DriveSlot &, std::chrono::milliseconds)> &tested = {});

} // namespace dravex
