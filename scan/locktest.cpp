#include "scan/locktest.h"

#include "model/verdicts.h"

namespace dravex {

namespace {

constexpr const char *kProbeFile = ":\\tavrin.bin";

} // namespace

void ProbeWriteProtect(FileService &files, DriveSlot &slot) {
    const std::string name = slot.letter + kProbeFile;
    const bool writable = files.createEmptyFile(name) && files.deleteFile(name);
    slot.checkResult = writable ? verdicts::kWritable : verdicts::kWriteProtected;
}

void runLockTest(FileService &files, DriveTable &table,
                 const std::function<void(const DriveSlot &, std::chrono::milliseconds)> &tested) {
    for (DriveSlot &slot : table.slots) {
        if (slot.letter.empty() || slot.capacity.empty())
            continue;
        const auto start = std::chrono::steady_clock::now();
        ProbeWriteProtect(files, slot);
        if (tested)
            tested(slot, std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start));
    }
}

} // namespace dravex
