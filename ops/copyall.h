#pragma once

#include "platform/launcher.h"
#include "platform/volumeservices.h"
#include "model/drivetable.h"
#include "model/mainwindowstate.h"

#include <string>

namespace dravex {

// Starts xcopy from the stored customer folder (status panel 2) to the root of one removable drive:
// "xcopy D:\Cust\*.* H:\./v/h/e/f/k". Never waits for it and reports nothing.
void CopyFilesToDrive(VolumeServices &volumes, Launcher &launcher, const MainWindowState &window,
                      const std::string &letter);

// F4: copies the customer files to every listed drive.
void copyToAllDrives(DriveTable &table, MainWindowState &window, VolumeServices &volumes, Launcher &launcher);

} // namespace dravex
