#pragma once

#include "platform/volumeservices.h"
#include "model/drivetable.h"
#include "model/mainwindowstate.h"
#include "model/variant.h"
#include "model/usbidentity.h"

#include <functional>
#include <string>

namespace dravex {

// The steps the scan hands a listed drive to when their check boxes are ticked.
struct ScanSteps {
    // Content check of one filled row: writes the row's contents and checkResult.
    std::function<void(int row)> checkSlotContents;
    // Identity lookup of one drive letter: the record as the lookup leaves it.
    std::function<UsbIdentity(const std::string &letter)> lookupDriveIdentity;
};

// The drive scan: walks the letters F to Z and rebuilds the drive table from the removable drives.
class DriveScan {
public:
    DriveScan(VolumeServices &volumes, DriveTable &table, MainWindowState &window, Variant variant);

    void setSteps(ScanSteps steps) { m_steps = std::move(steps); }

    void chus();

private:
    void fillRow(DriveSlot &slot, char letter, const VolumeInformation &info, float totalBytes,
                 const ByteCount &totalFreeBytes, int row);

    VolumeServices &m_volumes;
    DriveTable &m_table;
    MainWindowState &m_window;
    Variant m_variant;
    ScanSteps m_steps;
};

} // namespace dravex
