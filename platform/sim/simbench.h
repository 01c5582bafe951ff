#pragma once

#include "platform/devicechangesource.h"
#include "platform/directorysearch.h"
#include "platform/fileservice.h"
#include "platform/launcher.h"
#include "platform/managementdata.h"
#include "platform/registryreader.h"
#include "platform/sim/simcapacityreports.h"
#include "platform/sim/simproductionlog.h"
#include "platform/sim/simdrive.h"
#include "platform/volumeservices.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dravex {

// A program start the bench recorded instead of running it.
struct SimLaunch {
    std::string commandLine;
    int windowStyle = 0;
};

// The simulated bench: drives declared by the test, each with a real temporary folder for its files,
// a launcher that records instead of starting, and device changes fired on demand. Paths on a drive
// ("H:\DOCS\") lead into the drive's folder; any other path is a folder of this machine with "\" as
// separator. A locked drive refuses every write.
//
// In folder mode the drives live in a bench folder instead, where other programs can see and change
// them: "<bench>/sticks/H.stick" describes the stick at H (see stickdescriptor.h) and "<bench>/sticks/H/"
// holds its files. refreshDriveList() reads the descriptors again; plug, unplug, setLocked, format and
// SetVolumeLabelA write them; a malformed descriptor leaves its stick out. A drive's capacity is its
// totalBytes and its free space is the capacity less the bytes of the files in its folder. Drives
// returned by plug() and drive() stay valid until their stick leaves. A stick's capacity report (in folder
// mode kept in its descriptor) leaves with the stick.
class SimBench : public VolumeServices,
                 public Launcher,
                 public DeviceChangeSource,
                 public DirectorySearch,
                 public FileService,
                 public ManagementData,
                 public RegistryReader {
public:
    SimBench();
    // Folder mode over the bench folder, which is created when missing and kept afterwards.
    explicit SimBench(std::filesystem::path benchFolder);
    ~SimBench() override;
    SimBench(const SimBench &) = delete;
    SimBench &operator=(const SimBench &) = delete;

    // Plugs a drive in (or replaces the one at its letter) and returns it for further changes.
    SimDrive &plug(const SimDrive &drive);
    void unplug(char letter);
    SimDrive *drive(char letter);
    // The real folder that holds the files of the drive's volume.
    std::filesystem::path folderOf(char letter) const;

    bool inFolderMode() const { return m_folderMode; }
    // The folder that holds the drives' folders and, in folder mode, their descriptors.
    const std::filesystem::path &sticksFolder() const { return m_root; }
    // Why the bench folder cannot hold sticks; empty when it can (and always in the temporary mode).
    const std::string &folderProblem() const { return m_folderProblem; }
    // The descriptors the last reading left out, each as "H.stick: why".
    const std::vector<std::string> &descriptorProblems() const { return m_descriptorProblems; }
    // Where a Windows path ("H:\x", "C:\tools\x.exe", "/opt/x") lies on this machine; nothing for a
    // drive that is absent or has no medium.
    std::optional<std::filesystem::path> nativePath(const std::string &windowsPath);
    // Locks or unlocks a stick; false when there is none at the letter or its descriptor cannot be written.
    bool setLocked(char letter, bool locked);
    // Empties the stick and gives it the file system and label, as a formatting program would; false
    // when the stick is absent, locked or without medium, or could not be emptied.
    bool format(char letter, const std::string &fileSystem, const std::string &label);
    // Writes the stick's descriptor again unchanged, so that whoever watches the bench folder learns
    // that the stick changed. Nothing to do in the temporary mode.
    bool announceChange(char letter);
    // Bytes of the files in the stick's folder, links followed.
    uint64_t usedBytes(char letter) const;

    // The capacity checks' results, with a listener of their own (see SimCapacityReports).
    CapacityReports &capacityReports() { return m_capacityReports; }
    SimProductionLog &productionLog() { return m_productionLog; }
    bool hasCapacityListener() const { return m_capacityReports.hasListener(); }
    // Leaves a report on the stick at the letter, as a capacity check does when it ends, or takes it away
    // (nothing), then tells the reports' listener; false when there is no stick at the letter or its
    // descriptor cannot be written.
    bool setCapacityReport(char letter, std::optional<CapacityReport> report);

    // Device changes: delivers one notification to the listener, as the system would.
    void fireDeviceChange();
    bool hasListener() const { return static_cast<bool>(m_listener); }

    const std::vector<SimLaunch> &launches() const { return m_launches; }
    // Makes every later Shell call fail, as a missing program would.
    void setLaunchFails(bool fails) { m_launchFails = fails; }
    // Every Shell call, the failed ones included.
    int launchAttempts() const { return m_launchAttempts; }

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
    // The working folder counts as on a drive when it lies in the drive's folder.
    std::string driveCurrentFolder(const std::string &letter) override;
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
    void loadFolder();
    // In folder mode, the drive as its descriptor says now (and nothing once it is gone).
    SimDrive *freshDrive(char letter);
    std::optional<SimDrive> readDescriptor(char letter, std::string *problem = nullptr) const;
    bool writeDescriptor(const SimDrive &drive);
    std::filesystem::path descriptorOf(char letter) const;

    std::filesystem::path m_root;
    bool m_folderMode = false;
    std::string m_folderProblem;
    std::vector<std::string> m_descriptorProblems;
    std::map<char, SimDrive> m_drives;
    std::vector<SimLaunch> m_launches;
    int m_launchAttempts = 0;
    std::function<void()> m_listener;
    std::function<void(const std::string &)> m_beforeListing;
    bool m_launchFails = false;
    bool m_failNextWrite = false;
    bool m_identityServicesFail = false;
    int m_managementQueries = 0;
    long m_nextProcessId = 1000;
    int m_volumeQueries = 0;
    int m_driveListRefreshes = 0;
    SimCapacityReports m_capacityReports{*this};
    SimProductionLog m_productionLog;
};

} // namespace dravex
