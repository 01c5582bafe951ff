#pragma once

#include "platform/devicechangesource.h"
#include "platform/launcher.h"
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
    std::string vendor, product, revision, serial, vendorId, productId;
};

// A program start the bench recorded instead of running it.
struct SimLaunch {
    std::string commandLine;
    int windowStyle = 0;
};

// The simulated bench: drives declared by the test, each with a real temporary folder for its files,
// a launcher that records instead of starting, and device changes fired on demand.
class SimBench : public VolumeServices, public Launcher, public DeviceChangeSource {
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

    // How often each service was called, so tests can tell what a step asked of the machine.
    int volumeQueries() const { return m_volumeQueries; }
    int driveListRefreshes() const { return m_driveListRefreshes; }

    void refreshDriveList() override;
    unsigned GetDriveTypeA(const std::string &rootPath) override;
    bool GetDiskFreeSpaceExA(const std::string &rootPath, ByteCount &freeBytesAvailableToCaller,
                             ByteCount &totalBytes, ByteCount &totalFreeBytes) override;
    bool GetVolumeInformationA(const std::string &rootPath, VolumeInformation &info) override;
    std::optional<long> Shell(const std::string &commandLine, int windowStyle) override;
    void setListener(std::function<void()> listener) override;

private:
    SimDrive *driveAtRoot(const std::string &rootPath);

    std::filesystem::path m_root;
    std::map<char, SimDrive> m_drives;
    std::vector<SimLaunch> m_launches;
    std::function<void()> m_listener;
    bool m_launchFails = false;
    long m_nextProcessId = 1000;
    int m_volumeQueries = 0;
    int m_driveListRefreshes = 0;
};

} // namespace dravex
