#pragma once

#include "platform/volumeservices.h"
#include "scan/drivescan.h"
#include "model/drivetable.h"
#include "model/mainwindowstate.h"

namespace dravex {

// F6: gives the default label (status panel 3) to every listed drive whose verdict is "可读写" or empty,
// then rescans so the table shows the new labels.
void relabelAllDrives(DriveTable &table, MainWindowState &window, VolumeServices &volumes, DriveScan &scan);

} // namespace dravex
