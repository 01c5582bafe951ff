#include "ops/relabelall.h"

#include "model/verdicts.h"
#include "ops/opstexts.h"

#include <string>

namespace dravex {

void relabelAllDrives(DriveTable &table, MainWindowState &window, VolumeServices &volumes, DriveScan &scan) {
    window.setMousePointer(kPointerHourglass);
    std::string refused;
    for (const DriveSlot &slot : table.slots) {
        if (slot.letter.empty() || slot.capacity.empty())
            continue;
        if (slot.checkResult != verdicts::kWritable && !slot.checkResult.empty())
            continue;
        // A refused label shows as the old one at the rescan, and the operator is told which sticks kept it:
        // a stick that silently keeps its old label would go out wrong.
        const std::string letter = slot.letter.substr(0, 1);
        if (!volumes.SetVolumeLabelA(letter + ":\\", window.panel(3)))
            refused += (refused.empty() ? "" : " ") + letter + ":";
    }
    window.setMousePointer(kPointerDefault);
    scan.chus();
    if (!refused.empty())
        window.panel(1) = opstexts::kRelabelRefused + refused;
}

} // namespace dravex
