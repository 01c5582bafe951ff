#pragma once

#include "platform/productionlog.h"
#include "platform/volumeservices.h"
#include "scan/drivescan.h"
#include "model/drivetable.h"
#include "model/mainwindowstate.h"

namespace dravex {

// F6: gives the default label (status panel 3) to every listed drive whose verdict is "可读写" or empty,
// then rescans so the table shows the new labels. Each stick's outcome goes into the production record:
// "OK" with the label its row shows now, or "NG" with the message that names it.
void relabelAllDrives(DriveTable &table, MainWindowState &window, VolumeServices &volumes, DriveScan &scan,
                      ProductionLog &log);

} // namespace dravex
