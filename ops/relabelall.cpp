#include "ops/relabelall.h"

#include "model/verdicts.h"
#include "ops/opstexts.h"

#include <chrono>
#include <string>
#include <vector>

namespace dravex {

namespace {

struct Relabelled {
    std::string letter;
    bool done = false;
    std::chrono::milliseconds duration{0};
};

} // namespace

void relabelAllDrives(DriveTable &table, MainWindowState &window, VolumeServices &volumes, DriveScan &scan,
                      ProductionLog &log) {
    window.setMousePointer(kPointerHourglass);
    std::string refused;
    std::vector<Relabelled> relabelled;
    for (const DriveSlot &slot : table.slots) {
        if (slot.letter.empty() || slot.capacity.empty())
            continue;
        if (slot.checkResult != verdicts::kWritable && !slot.checkResult.empty())
            continue;
        // A refused label shows as the old one at the rescan, and the operator is told which sticks kept it:
        // a stick that silently keeps its old label would go out wrong.
        const std::string letter = slot.letter.substr(0, 1);
        const auto start = std::chrono::steady_clock::now();
        const bool done = volumes.SetVolumeLabelA(letter + ":\\", window.panel(3));
        relabelled.push_back({letter, done, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                std::chrono::steady_clock::now() - start)});
        if (!done)
            refused += (refused.empty() ? "" : " ") + letter + ":";
    }
    window.setMousePointer(kPointerDefault);
    scan.chus();
    if (!refused.empty())
        window.panel(1) = opstexts::kRelabelRefused + refused;
    for (const Relabelled &each : relabelled) {
        std::string shown = window.panel(1);
        if (each.done) {
            shown.clear();
            for (const DriveSlot &slot : table.slots) {
                if (slot.letter.compare(0, 1, each.letter) == 0)
                    shown = slot.volumeLabel;
            }
        }
        log.record({each.letter.front(), operations::kRelabel, window.panel(3),
                    each.done ? verdicts::kSame : verdicts::kDifferent, shown, each.duration});
    }
}

} // namespace dravex
