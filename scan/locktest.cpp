#include "scan/locktest.h"

namespace dravex {

namespace {

constexpr const char *kProbeFile = ":\\tavrin.bin";
constexpr const char *kWritable = "可读写";
constexpr const char *kWriteProtected = "写保护";

} // namespace

void ProbeWriteProtect(FileService &files, DriveSlot &slot) {
    const std::string name = slot.letter + kProbeFile;
    const bool writable = files.createEmptyFile(name) && files.deleteFile(name);
    slot.checkResult = writable ? kWritable : kWriteProtected;
}

void runLockTest(FileService &files, DriveTable &table) {
    for (DriveSlot &slot : table.slots) {
        if (!slot.letter.empty() && !slot.capacity.empty())
            ProbeWriteProtect(files, slot);
    }
}

} // namespace dravex
