#include "platform/sim/simbench.h"

#include <atomic>
#include <chrono>
#include <system_error>

namespace dravex {

namespace {

ByteCount toByteCount(uint64_t count) {
    return ByteCount{static_cast<uint32_t>(count & 0xFFFFFFFFu), static_cast<uint32_t>(count >> 32)};
}

std::filesystem::path makeBenchFolder() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    auto folder = std::filesystem::temp_directory_path() /
                  ("dravex-sim-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(folder);
    return folder;
}

} // namespace

SimBench::SimBench() : m_root(makeBenchFolder()) {}

SimBench::~SimBench() {
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

SimDrive &SimBench::plug(const SimDrive &drive) {
    std::filesystem::create_directories(folderOf(drive.letter));
    return m_drives[drive.letter] = drive;
}

void SimBench::unplug(char letter) {
    m_drives.erase(letter);
    std::error_code ignored;
    std::filesystem::remove_all(folderOf(letter), ignored);
}

SimDrive *SimBench::drive(char letter) {
    auto found = m_drives.find(letter);
    return found == m_drives.end() ? nullptr : &found->second;
}

std::filesystem::path SimBench::folderOf(char letter) const {
    return m_root / std::string(1, letter);
}

void SimBench::fireDeviceChange() {
    if (m_listener)
        m_listener();
}

SimDrive *SimBench::driveAtRoot(const std::string &rootPath) {
    if (rootPath.size() != 3 || rootPath[1] != ':' || rootPath[2] != '\\')
        return nullptr;
    return drive(rootPath[0]);
}

void SimBench::refreshDriveList() {
    ++m_driveListRefreshes;
}

unsigned SimBench::GetDriveTypeA(const std::string &rootPath) {
    const SimDrive *found = driveAtRoot(rootPath);
    return found ? found->driveType : kDriveNoRootDir;
}

bool SimBench::GetDiskFreeSpaceExA(const std::string &rootPath, ByteCount &freeBytesAvailableToCaller,
                                   ByteCount &totalBytes, ByteCount &totalFreeBytes) {
    ++m_volumeQueries;
    const SimDrive *found = driveAtRoot(rootPath);
    if (!found || !found->mediumPresent || found->freeSpaceQueryFails)
        return false;
    freeBytesAvailableToCaller = toByteCount(found->freeBytesAvailableToCaller);
    totalBytes = toByteCount(found->totalBytes);
    totalFreeBytes = toByteCount(found->totalFreeBytes);
    return true;
}

bool SimBench::GetVolumeInformationA(const std::string &rootPath, VolumeInformation &info) {
    ++m_volumeQueries;
    const SimDrive *found = driveAtRoot(rootPath);
    if (!found || !found->mediumPresent)
        return false;
    info.volumeName = found->label;
    info.fileSystemName = found->fileSystem;
    info.serialNumber = 0x1234ABCD;
    info.maximumComponentLength = 255;
    info.fileSystemFlags = 0;
    return true;
}

std::optional<long> SimBench::Shell(const std::string &commandLine, int windowStyle) {
    if (m_launchFails)
        return std::nullopt;
    m_launches.push_back(SimLaunch{commandLine, windowStyle});
    return m_nextProcessId++;
}

void SimBench::setListener(std::function<void()> listener) {
    m_listener = std::move(listener);
}

} // namespace dravex
