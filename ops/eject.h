#pragma once

#include "platform/launcher.h"
#include "platform/volumeservices.h"
#include "model/drivetable.h"
#include "model/mainwindowstate.h"

#include <string>

namespace dravex {

// F8: starts RemoveDrive.exe, hidden, for every removable drive from E to Z ("...\RemoveDrive.exe H:").
void ejectAllDrives(MainWindowState &window, VolumeServices &volumes, Launcher &launcher,
                    const std::string &programDirectory);

// A click on a row number: starts RemoveDrive.exe for that row's drive ("...\RemoveDrive.exe H").
void ejectRow(int row, const DriveTable &table, MainWindowState &window, Launcher &launcher,
              const std::string &programDirectory);

} // namespace dravex
