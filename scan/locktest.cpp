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

void runLockTest(FileService &files, DriveTable &table) {
    for (DriveSlot &slot : table.slots) {
        if (!slot.letter.empty() && !slot.capacity.empty())
            ProbeWriteProtect(files, slot);
    }
}

} // namespace dravex
