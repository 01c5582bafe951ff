#pragma once

#include "model/drivetable.h"
#include "model/mainwindowstate.h"
#include "platform/capacityreports.h"
#include "platform/launcher.h"

namespace dravex {

// F3: starts "captest H:" for every listed stick that is not marked write-protected, since nothing can be
// written to probe it. A program that cannot be started is named in panel 1; the other sticks are started
// all the same.
void startCapacityChecks(const DriveTable &table, MainWindowState &window, Launcher &launcher);

// Shows each listed stick's capacity report in its row: the speeds in place of the used space, and the
// outcome in the verdict cell. A genuine stick leaves an OK or NG of the content check standing, so a
// stick with the wrong files never reads as passed; every other outcome replaces it.
void applyCapacityReports(DriveTable &table, CapacityReports &reports);

} // namespace dravex
