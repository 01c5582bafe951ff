#pragma once

#include "platform/linux/mounter.h"
#include "platform/linux/sysfs/drivemap.h"
#include "platform/linux/sysfs/systemroot.h"
#include "platform/linux/sysfs/udevrecord.h"
#include "platform/volumeservices.h"

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace dravex {

// The drive and volume calls answered from sysfs, the udev database, mountinfo and statvfs, all read
// below the system root. Volumes that are not mounted yet are mounted on first use.
class LinuxVolumeServices : public VolumeServices {
public:
    // The machine itself, mounting through UDisks2.
    LinuxVolumeServices();
    LinuxVolumeServices(const std::string &root, Mounter &mounter);

    void refreshDriveList() override;
    unsigned GetDriveTypeA(const std::string &rootPath) override;
    bool GetDiskFreeSpaceExA(const std::string &rootPath, ByteCount &freeBytesAvailableToCaller,
                             ByteCount &totalBytes, ByteCount &totalFreeBytes) override;
    bool GetVolumeInformationA(const std::string &rootPath, VolumeInformation &info) override;
    // Only a volume that passes checkVolume and holds FAT or exFAT. On the machine itself through UDisks2
    // when it answers; otherwise (and always below another root) fatlabel or exfatlabel on the device.
    // FAT labels are upper-cased and beyond ASCII written in code page 936 by writeFatLabel.
    bool SetVolumeLabelA(const std::string &rootPath, const std::string &label) override;

    // Where a path of the logic lies on this machine; every Linux service maps its paths here. A path on a
    // mapped drive ("H:\", "H:\a\b") lies below the volume's mount point, which is mounted first if
    // needed; like Windows, ".." never leads above the drive's root. An absolute path of this machine
    // ("/home/op/cust\DOCS\") keeps its place with "\" read as "/". Nothing for any other path.
    std::optional<std::string> nativePath(const std::string &windowsPath);

    const DriveMap &driveMap();
    // The disks as the last reading of the drive list found them.
    const DiskInventory &inventory();
    // How many times the drive list has been read: what is made from one reading can be kept until the next.
    uint64_t driveListReadings() const { return m_driveListReadings; }

private:
    const MappedVolume *volumeAt(const std::string &windowsPath);
    // The volume's block device when it holds a file system we can mount.
    const BlockDevice *fileSystemDevice(const MappedVolume &volume);
    // The mount point as seen inside the root, mounting first when needed.
    std::optional<std::string> mountPoint(const MappedVolume &volume);

    SystemRoot m_root;
    std::unique_ptr<Mounter> m_ownedMounter;
    Mounter &m_mounter;
    // A walk maps every folder it lists: what the disks are is kept until the drive list is read again, the
    // mount points for as long as one stat shows the volume still mounted there.
    std::optional<DiskInventory> m_inventory;
    uint64_t m_driveListReadings = 0;
    std::optional<DriveMap> m_driveMap;
    std::map<std::pair<unsigned, unsigned>, std::string> m_mountPoints;
    // Volumes the mounter failed on since the drive list was read: each try can block for seconds, and
    // one scan asks for the same volume more than once.
    std::set<std::pair<unsigned, unsigned>> m_failedMounts;
};

} // namespace dravex
