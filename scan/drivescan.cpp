#include "scan/drivescan.h"

#include "scan/numberformat.h"
#include "scan/scantexts.h"
#include "model/text.h"

#include <cmath>

namespace dravex {

DriveScan::DriveScan(VolumeServices &volumes, DriveTable &table, MainWindowState &window, Variant variant)
    : m_volumes(volumes), m_table(table), m_window(window), m_variant(variant) {}

void DriveScan::chus() {
    using namespace scantexts;
    m_window.setMousePointer(kPointerHourglass);
    for (DriveSlot &slot : m_table.slots)
        slot = DriveSlot{};
    int n = 0;
    m_window.panel(1) = kEnumerating;

    m_volumes.refreshDriveList();
    for (char code = 'F'; code <= 'Z'; ++code) {
        const std::string letter(1, code);
        const std::string root = letter + ":\\";
        if (m_volumes.GetDriveTypeA(root) == kDriveRemovable) {
            // Fresh counts for every drive: a failed free-space query shows zero, never the figures of
            // the drive before it.
            ByteCount freeBytesAvailableToCaller, totalBytes, totalFreeBytes;
            m_volumes.GetDiskFreeSpaceExA(root, freeBytesAvailableToCaller, totalBytes, totalFreeBytes);
            VolumeInformation info;
            const bool readable = m_volumes.GetVolumeInformationA(root, info);
            float totalSingle = 0;
            ByteCountToSingle(totalBytes, totalSingle);

            if (n < DriveTable::kRowCount) {
                DriveSlot &slot = m_table.slots[static_cast<size_t>(n)];
                if (!readable) {
                    // Not counted: the next readable drive takes this row over.
                    slot = DriveSlot{};
                    slot.letter = letter;
                    slot.usedSpace = kUnreadablePrefix + letter + kUnreadableSuffix;
                } else {
                    fillRow(slot, code, info, totalSingle, totalFreeBytes, n);
                    ++n;
                }
            }
        }
        m_table.driveCount = std::to_string(n);
    }

    m_window.setMousePointer(kPointerDefault);
    if (!m_table.slots[0].letter.empty())
        m_window.panel(1) = kFinishedPrefix + m_table.driveCount + kFinishedSuffix;
    else
        m_window.panel(1) = kFinishedNone;
}

void DriveScan::fillRow(DriveSlot &slot, char code, const VolumeInformation &info, float totalBytes,
                        const ByteCount &totalFreeBytes, int row) {
    using namespace scantexts;
    slot = DriveSlot{};
    slot.letter = std::string(1, code);
    std::string label = info.volumeName;
    slot.volumeLabel = kLabelPrefix + trimBlanks(StripAtNul(label));
    std::string fileSystem = info.fileSystemName;
    slot.fileSystem = trimBlanks(StripAtNul(fileSystem));
    slot.capacity = formatCapacity(totalBytes, m_variant);

    float freeSingle = 0;
    ByteCountToSingle(totalFreeBytes, freeSingle);
    const double used = std::fabs(static_cast<double>(totalBytes) - static_cast<double>(freeSingle));
    slot.usedSpace = kUsedPrefix + formatWholeGrouped(used) + kUsedSuffix;

    if (m_window.check2 == kChecked) {
        const UsbIdentity identity =
            m_steps.lookupDriveIdentity ? m_steps.lookupDriveIdentity(slot.letter) : UsbIdentity{};
        slot.deviceName = identity.vendor + " " + identity.product + " " + identity.revision;
        slot.deviceSerial = kSerialPrefix + identity.serial;
        slot.deviceKey = identity.vidPid;
    }
    if (m_window.check1 == kChecked && m_steps.checkSlotContents)
        m_steps.checkSlotContents(row);
}

} // namespace dravex
