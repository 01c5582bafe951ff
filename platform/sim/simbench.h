#pragma once

#include "platform/devicechangesource.h"
#include "platform/directorysearch.h"
#include "platform/fileservice.h"
#include "platform/launcher.h"
#include "platform/managementdata.h"
#include "platform/registryreader.h"
#include "platform/volumeservices.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dravex {

// One simulated drive as a test declares it.
struct SimDrive {
    char letter = 'H';
    unsigned driveType = kDriveRemovable;
    std::string label; // what the volume query reports, possibly with a NUL and more after it
    std::string fileSystem = "FAT32";
    uint64_t totalBytes = 0;
    uint64_t totalFreeBytes = 0;
    uint64_t freeBytesAvailableToCaller = 0;
    bool mediumPresent = true;
    bool freeSpaceQueryFails = false;
    bool locked = false;
    // The USB identity. With vendor and serial both empty the management data knows no disk for the
    // drive; without a vendor ID it is missing from the USB mass-storage list.
    std::string vendor, product, revision, serial, vendorId, productId;
};

// A program start the bench recorded instead of running it.
struct SimLaunch {
    std::string commandLine;
    int windowStyle = 0;
};

// The simulated bench: drives declared by the test, each with a real temporary folder for its files,
// a launcher that records instead of starting, and device changes fired on demand. Paths on a drive
// ("H:\DOCS\") lead into the drive's folder; any other path is a folder of this machine with "\" as
// separator. A locked drive refuses every write.
class SimBench : public VolumeServices,
                 public Launcher,
                 public DeviceChangeSource,
                 public DirectorySearch,
                 public FileService,
                 public ManagementData,
                 public RegistryReader {
public:
    SimBench();
    ~SimBench() override;
    SimBench(const SimBench &) = delete;
    SimBench &operator=(const SimBench &) = delete;

    // Plugs a drive in (or replaces the one at its letter) and returns it for further changes.
    SimDrive &plug(const SimDrive &drive);
    void unplug(char letter);
    SimDrive *drive(char letter);
    // The real folder that holds the files of the drive's volume.
    std::filesystem::path folderOf(char letter) const;

    // Device changes: delivers one notification to the listener, as the system would.
    void fireDeviceChange();
    bool hasListener() const { return static_cast<bool>(m_listener); }

    const std::vector<SimLaunch> &launches() const { return m_launches; }
    // Makes every later Shell call fail, as a missing program would.
    void setLaunchFails(bool fails) { m_launchFails = fails; }

    // Makes the management data and the registry unreachable, as a stopped service would.
    void setIdentityServicesFail(bool fail) { m_identityServicesFail = fail; }
    int managementQueries() const { return m_managementQueries; }

    // Makes the next write through the file service fail, as a full or failing disk would.
    void failNextWrite() { m_failNextWrite = true; }
    // Runs before every folder listing, with the folder's path: lets a test pull a stick or remove a
    // folder in the middle of a walk.
    void setBeforeListing(std::function<void(const std::string &)> hook) {
        m_beforeListing = std::move(hook);
    }

    // How often each service was called, so tests can tell what a step asked of the machine.
    int volumeQueries() const { return m_volumeQueries; }
    int driveListRefreshes() const { return m_driveListRefreshes; }

    void refreshDriveList() override;
    unsigned GetDriveTypeA(const std::string &rootPath) override;
    bool GetDiskFreeSpaceExA(const std::string &rootPath, ByteCount &freeBytesAvailableToCaller,
                             ByteCount &totalBytes, ByteCount &totalFreeBytes) override;
    bool GetVolumeInformationA(const std::string &rootPath, VolumeInformation &info) override;
    bool SetVolumeLabelA(const std::string &rootPath, const std::string &label) override;
    std::optional<long> Shell(const std::string &commandLine, int windowStyle) override;
    void setListener(std::function<void()> listener) override;
    std::optional<FolderListing> listFolder(const std::string &folderPath) override;
    bool fileExists(const std::string &path) override;
    bool createEmptyFile(const std::string &path) override;
    bool deleteFile(const std::string &path) override;
    std::optional<std::string> readFile(const std::string &path) override;
    bool replaceFile(const std::string &path, const std::string &bytes) override;
    std::optional<std::vector<ManagementInstance>> InstancesOf(const std::string &className) override;
    std::optional<std::string> RegRead(const std::string &valuePath) override;

private:
    SimDrive *driveAtRoot(const std::string &rootPath);
    // Where a path lies in the real file system; nothing for a drive that is absent or has no medium.
    std::optional<std::filesystem::path> realPath(const std::string &path);
    // Whether a write may go ahead: not on a locked drive, and not the write set to fail.
    bool mayWrite(const std::string &path);

    std::filesystem::path m_root;
    std::map<char, SimDrive> m_drives;
    std::vector<SimLaunch> m_launches;
    std::function<void()> m_listener;
    std::function<void(const std::string &)> m_beforeListing;
    bool m_launchFails = false;
    bool m_failNextWrite = false;
    bool m_identityServicesFail = false;
    int m_managementQueries = 0;
    long m_nextProcessId = 1000;
    int m_volumeQueries = 0;
    int m_driveListRefreshes = 0;
};

} // namespace dravex
