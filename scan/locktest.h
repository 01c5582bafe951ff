#pragma once

#include "platform/fileservice.h"
#include "model/drivetable.h"

namespace dravex {

// Creates and deletes an empty tavrin.bin in the root of the row's drive and writes the verdict into
// the row: "可读写" when both worked, "写保护" when either failed.
void ProbeWriteProtect(FileService &files, DriveSlot &slot);

// The lock test (F7): probes every row that holds a drive read by the last scan.
void runLockTest(FileService &files, DriveTable &table);

} // namespace dravex
