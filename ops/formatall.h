#pragma once

#include "config/configdialog.h"
#include "platform/launcher.h"
#include "model/drivetable.h"
#include "model/mainwindowstate.h"
#include "model/operator.h"

#include <cstdint>

namespace dravex {

// Starts format.com for one drive with the dialog's file system, label and quick-format choice:
// "format.com H:/FS:FAT32/V:DATA/q/y". Never waits for it and reports nothing.
void FormatDrive(Launcher &launcher, ConfigDialog &dialog, int16_t letterCode);

// F2: formats every listed drive, stopping with a message at the first one marked write-protected.
void formatAllDrives(DriveTable &table, MainWindowState &window, ConfigDialog &dialog, Launcher &launcher,
                     Operator &person);

} // namespace dravex
