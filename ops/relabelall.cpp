#include "ops/relabelall.h"

#include "ops/opstexts.h"

namespace dravex {

void relabelAllDrives(DriveTable &table, MainWindowState &window, VolumeServices &volumes, DriveScan &scan) {
    window.setMousePointer(kPointerHourglass);
    for (const DriveSlot &slot : table.slots) {
        if (slot.letter.empty() || slot.capacity.empty())
            continue;
        if (slot.checkResult != opstexts::kWritable && !slot.checkResult.empty())
            continue;
        // A refused label shows as the old one at the rescan.
        volumes.SetVolumeLabelA(slot.letter.substr(0, 1) + ":\\", window.panel(3));
    }
    window.setMousePointer(kPointerDefault);
    scan.chus();
}

} // namespace dravex
