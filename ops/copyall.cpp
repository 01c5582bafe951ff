#include "ops/copyall.h"

#include "ops/opstexts.h"

namespace dravex {

void CopyFilesToDrive(VolumeServices &volumes, Launcher &launcher, const MainWindowState &window,
                      const std::string &letter) {
    if (volumes.GetDriveTypeA(letter + ":\\") != kDriveRemovable)
        return;
    const std::string &sourceFolder = window.panel(2);
    launcher.Shell("xcopy " + sourceFolder + "\\*.* " + letter + ":\\." + "/v/h/e/f/k", kWindowNormalFocus);
}

void copyToAllDrives(DriveTable &table, MainWindowState &window, VolumeServices &volumes,
                     Launcher &launcher) {
    window.setMousePointer(kPointerHourglass);
    for (const DriveSlot &slot : table.slots) {
        if (slot.volumeLabel.empty())
            continue;
        window.panel(1) = opstexts::kCopying;
        CopyFilesToDrive(volumes, launcher, window, slot.letter);
    }
    window.panel(1) = opstexts::kCopyDone;
    window.setMousePointer(kPointerDefault);
}

} // namespace dravex
