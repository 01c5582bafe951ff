#pragma once

#include "platform/managementdata.h"
#include "platform/registryreader.h"
#include "model/operator.h"
#include "model/usbidentity.h"

#include <string>

namespace dravex {

// Finds the physical USB disk behind a drive letter and reads its identity from its device identifier
// and from the list of USB mass-storage devices.
class UsbIdentityLookup {
public:
    UsbIdentityLookup(ManagementData &management, RegistryReader &registry);

    // The record as the last lookup left it.
    const UsbIdentity &identity() const { return m_identity; }

    // Fills the record for the disk behind the letter. It starts from an empty record, so a disk the
    // lookup knows nothing about shows empty fields, never those of the disk looked up before it.
    void LookupDriveIdentity(const std::string &letter);
    // Takes vendor, product, revision and serial by position from a
    // "USBSTOR\DISK&VEN_x&PROD_y&REV_z\serial&0" identifier; a field whose piece is missing is left as it is.
    void ParsePnpDeviceId(const std::string &deviceId);
    // Looks the record's serial up in the USB mass-storage list; the last matching entry gives vidPid.
    void FindUsbVidPid();
    // An entry "USB\VID_x&PID_y\serial" matches when its serial equals the record's in upper or lower case.
    void MatchUsbStorEntry(std::string entry);

    // Shows the full description of the physical disk behind the letter, titled "USBDisk Info".
    void ShowDiskInfo(const std::string &letter, Operator &person);

private:
    // Walks the disks behind the letter, handing each matching disk to visit.
    template <typename Visit> void forEachDiskOf(const std::string &letter, Visit visit);

    ManagementData &m_management;
    RegistryReader &m_registry;
    UsbIdentity m_identity;
};

// The disk number of a partition association's Antecedent ("...DeviceID="Disk #12, Partition #0"" → 12).
std::optional<unsigned> diskNumberOfAntecedent(const std::string &antecedent);
// The drive letter of an association's Dependent ("...DeviceID="H:"" → "H").
std::optional<std::string> letterOfDependent(const std::string &dependent);

} // namespace dravex
