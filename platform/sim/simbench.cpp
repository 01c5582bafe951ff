#include "platform/sim/simbench.h"

#include "platform/sim/stickdescriptor.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <random>
#include <set>
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

SimBench::SimBench(std::filesystem::path benchFolder) : m_root(benchFolder / "sticks"), m_folderMode(true) {
    std::error_code error;
    std::filesystem::create_directories(m_root, error);
    if (error || !std::filesystem::is_directory(m_root, error))
        m_folderProblem =
            "cannot keep sticks in " + m_root.string() + (error ? ": " + error.message() : ": not a folder");
    loadFolder();
}

SimBench::~SimBench() {
    if (m_folderMode)
        return;
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

SimDrive &SimBench::plug(const SimDrive &drive) {
    std::error_code ignored;
    std::filesystem::create_directories(folderOf(drive.letter), ignored);
    if (m_folderMode)
        writeDescriptor(drive);
    return m_drives[drive.letter] = drive;
}

void SimBench::unplug(char letter) {
    m_drives.erase(letter);
    std::error_code ignored;
    // The descriptor first: without it the stick is gone for every reader, whatever files remain.
    if (m_folderMode)
        std::filesystem::remove(descriptorOf(letter), ignored);
    std::filesystem::remove_all(folderOf(letter), ignored);
}

std::filesystem::path SimBench::descriptorOf(char letter) const {
    return m_root / (std::string(1, letter) + ".stick");
}

std::optional<SimDrive> SimBench::readDescriptor(char letter, std::string *problem) const {
    std::ifstream in(descriptorOf(letter), std::ios::binary);
    if (!in)
        return std::nullopt;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ParsedStickDescriptor parsed = parseStickDescriptor(text);
    if (parsed.drive && parsed.drive->letter != letter) {
        parsed.drive.reset();
        parsed.problem = "its letter is not " + std::string(1, letter);
    }
    if (!parsed.drive && problem)
        *problem = parsed.problem;
    return parsed.drive;
}

bool SimBench::writeDescriptor(const SimDrive &drive) {
    // Written beside the descriptor and renamed over it, so a reader in another program never meets half
    // a descriptor.
    static std::atomic<unsigned> counter{0};
    static const unsigned salt = std::random_device{}();
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const auto temporary = m_root / ("." + std::string(1, drive.letter) + ".stick." + std::to_string(salt) +
                                     "-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    const std::string text = writeStickDescriptor(drive);
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (!out.flush()) {
            out.close();
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, descriptorOf(drive.letter), error);
    if (error)
        std::filesystem::remove(temporary, error);
    return !error;
}

void SimBench::loadFolder() {
    m_descriptorProblems.clear();
    std::map<char, SimDrive> found;
    std::error_code error;
    for (std::filesystem::directory_iterator it(m_root, error), end; !error && it != end;
         it.increment(error)) {
        const auto letter = descriptorLetter(it->path().filename().string());
        if (!letter)
            continue;
        std::string problem;
        if (auto drive = readDescriptor(*letter, &problem))
            found.emplace(*letter, *drive);
        else
            m_descriptorProblems.push_back(it->path().filename().string() + ": " + problem);
    }
    // In place, so that a drive a caller holds stays valid while its stick is there.
    for (auto it = m_drives.begin(); it != m_drives.end();)
        it = found.count(it->first) ? std::next(it) : m_drives.erase(it);
    for (const auto &[letter, drive] : found)
        m_drives[letter] = drive;
}

SimDrive *SimBench::freshDrive(char letter) {
    if (!m_folderMode)
        return drive(letter);
    auto current = readDescriptor(letter);
    if (!current) {
        m_drives.erase(letter);
        return nullptr;
    }
    return &(m_drives[letter] = *current);
}

std::optional<std::filesystem::path> SimBench::nativePath(const std::string &windowsPath) {
    return realPath(windowsPath);
}

bool SimBench::setLocked(char letter, bool locked) {
    SimDrive *found = freshDrive(letter);
    if (!found)
        return false;
    found->locked = locked;
    return !m_folderMode || writeDescriptor(*found);
}

bool SimBench::format(char letter, const std::string &fileSystem, const std::string &label) {
    SimDrive *found = freshDrive(letter);
    if (!found || !found->mediumPresent || found->locked)
        return false;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folderOf(letter), error), end; !error && it != end;
         it.increment(error)) {
        std::error_code removal;
        std::filesystem::remove_all(it->path(), removal);
        if (removal)
            return false;
    }
    if (error)
        return false;
    found->fileSystem = fileSystem;
    found->label = label;
    found->totalFreeBytes = found->totalBytes;
    found->freeBytesAvailableToCaller = found->totalBytes;
    return !m_folderMode || writeDescriptor(*found);
}

bool SimBench::setCapacityReport(char letter, std::optional<CapacityReport> report) {
    SimDrive *found = freshDrive(letter);
    if (!found)
        return false;
    found->capacityReport = std::move(report);
    if (m_folderMode && !writeDescriptor(*found))
        return false;
    m_capacityReports.notify();
    return true;
}

bool SimBench::announceChange(char letter) {
    SimDrive *found = freshDrive(letter);
    return found && (!m_folderMode || writeDescriptor(*found));
}

uint64_t SimBench::usedBytes(char letter) const {
    uint64_t total = 0;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator
             it(folderOf(letter), std::filesystem::directory_options::skip_permission_denied, error),
         end;
         !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (std::filesystem::is_regular_file(it->path(), ignored)) {
            const auto size = std::filesystem::file_size(it->path(), ignored);
            if (!ignored)
                total += size;
        }
    }
    return total;
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
    if (m_folderMode)
        loadFolder();
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
    if (m_folderMode) {
        const uint64_t used = usedBytes(found->letter);
        const uint64_t free = used < found->totalBytes ? found->totalBytes - used : 0;
        freeBytesAvailableToCaller = toByteCount(free);
        totalBytes = toByteCount(found->totalBytes);
        totalFreeBytes = toByteCount(free);
        return true;
    }
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

bool SimBench::SetVolumeLabelA(const std::string &rootPath, const std::string &label) {
    SimDrive *found = driveAtRoot(rootPath);
    if (found && m_folderMode)
        found = freshDrive(found->letter);
    // FAT labels hold at most 11 bytes.
    if (!found || !found->mediumPresent || found->locked || label.size() > 11)
        return false;
    found->label = label;
    return !m_folderMode || writeDescriptor(*found);
}

std::optional<long> SimBench::Shell(const std::string &commandLine, int windowStyle) {
    ++m_launchAttempts;
    if (m_launchFails)
        return std::nullopt;
    m_launches.push_back(SimLaunch{commandLine, windowStyle});
    return m_nextProcessId++;
}

void SimBench::setListener(std::function<void()> listener) {
    m_listener = std::move(listener);
}

std::optional<std::filesystem::path> SimBench::realPath(const std::string &path) {
    std::string rest = path;
    std::filesystem::path base;
    if (path.size() >= 2 && path[1] == ':') {
        const SimDrive *found = drive(path[0]);
        if (!found || !found->mediumPresent)
            return std::nullopt;
        base = folderOf(path[0]);
        rest = path.substr(2);
    }
    for (char &c : rest)
        if (c == '\\')
            c = '/';
    while (!rest.empty() && rest.front() == '/' && !base.empty())
        rest.erase(0, 1);
    if (base.empty())
        return rest.empty() ? std::nullopt : std::optional<std::filesystem::path>(rest);
    return base / rest;
}

bool SimBench::mayWrite(const std::string &path) {
    if (m_failNextWrite) {
        m_failNextWrite = false;
        return false;
    }
    const SimDrive *found = path.size() >= 2 && path[1] == ':' ? freshDrive(path[0]) : nullptr;
    return !(found && found->locked);
}

std::optional<FolderListing> SimBench::listFolder(const std::string &folderPath) {
    if (m_beforeListing)
        m_beforeListing(folderPath);
    const auto folder = realPath(folderPath);
    std::error_code error;
    if (!folder || !std::filesystem::is_directory(*folder, error))
        return std::nullopt;
    FolderListing listing;
    listing.identity = std::filesystem::canonical(*folder, error).string();
    for (std::filesystem::directory_iterator it(*folder, error), end; !error && it != end;
         it.increment(error)) {
        FolderEntry entry;
        entry.name = it->path().filename().string();
        // Links are followed; an entry that cannot be read is a file of size 0.
        const auto status = std::filesystem::status(it->path(), error);
        entry.isDirectory = !error && std::filesystem::is_directory(status);
        if (!error && std::filesystem::is_regular_file(status)) {
            const auto size = std::filesystem::file_size(it->path(), error);
            entry.size = error ? 0 : size;
        }
        error.clear();
        listing.entries.push_back(entry);
    }
    return listing;
}

std::string SimBench::driveCurrentFolder(const std::string &letter) {
    const std::string root = letter + ":\\";
    const auto folder = realPath(root);
    std::error_code error;
    const std::filesystem::path working = std::filesystem::current_path(error);
    if (!folder || error)
        return root;
    const std::filesystem::path base = std::filesystem::canonical(*folder, error);
    if (error)
        return root;
    std::string path = root;
    for (const std::filesystem::path &name : working.lexically_relative(base)) {
        if (name == "..")
            return root;
        if (name != ".")
            path += (path.back() == '\\' ? "" : "\\") + name.string();
    }
    return path;
}

bool SimBench::fileExists(const std::string &path) {
    const auto real = realPath(path);
    std::error_code error;
    return real && std::filesystem::is_regular_file(*real, error);
}

bool SimBench::createEmptyFile(const std::string &path) {
    return replaceFile(path, std::string());
}

bool SimBench::deleteFile(const std::string &path) {
    const auto real = realPath(path);
    std::error_code error;
    return real && mayWrite(path) && std::filesystem::remove(*real, error);
}

std::optional<std::string> SimBench::readFile(const std::string &path) {
    const auto real = realPath(path);
    if (!real)
        return std::nullopt;
    std::ifstream in(*real, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool SimBench::replaceFile(const std::string &path, const std::string &bytes) {
    const auto real = realPath(path);
    if (!real || !mayWrite(path))
        return false;
    std::ofstream out(*real, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

namespace {

constexpr const char *kUsbStorageKey =
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\USBSTOR\\Enum\\";

std::string blanksToUnderscores(std::string text) {
    for (char &c : text)
        if (c == ' ')
            c = '_';
    return text;
}

} // namespace

std::optional<std::vector<ManagementInstance>> SimBench::InstancesOf(const std::string &className) {
    ++m_managementQueries;
    if (m_identityServicesFail)
        return std::nullopt;
    const bool associations = className.rfind("Win32_LogicalDiskToPartition", 0) == 0;
    const bool disks = className == "Win32_DiskDrive";
    std::vector<ManagementInstance> instances;
    // Disk 0 is the bench machine's own disk; the sticks follow in letter order.
    unsigned number = 1;
    for (const auto &[letter, drive] : m_drives) {
        if (drive.vendor.empty() && drive.serial.empty())
            continue;
        const std::string disk = std::to_string(number++);
        ManagementInstance instance;
        if (associations) {
            instance.properties["Antecedent"] =
                "\\\\BENCH\\root\\cimv2:Win32_DiskPartition.DeviceID=\"Disk #" + disk + ", Partition #0\"";
            instance.properties["Dependent"] =
                "\\\\BENCH\\root\\cimv2:Win32_LogicalDisk.DeviceID=\"" + std::string(1, letter) + ":\"";
        } else if (disks) {
            const std::string pnp = "USBSTOR\\DISK&VEN_" + blanksToUnderscores(drive.vendor) + "&PROD_" +
                                    blanksToUnderscores(drive.product) + "&REV_" +
                                    blanksToUnderscores(drive.revision) + "\\" + drive.serial + "&0";
            instance.properties["Name"] = "\\\\.\\PHYSICALDRIVE" + disk;
            instance.properties["PNPDeviceID"] = pnp;
            instance.objectText = "\ninstance of Win32_DiskDrive\n{\n\tModel = \"" + drive.vendor + " " +
                                  drive.product + "\";\n\tPNPDeviceID = \"" + pnp + "\";\n};\n";
        } else {
            continue;
        }
        instances.push_back(instance);
    }
    return instances;
}

std::optional<std::string> SimBench::RegRead(const std::string &valuePath) {
    if (m_identityServicesFail || valuePath.rfind(kUsbStorageKey, 0) != 0)
        return std::nullopt;
    std::vector<std::string> entries;
    for (const auto &entry : m_drives) {
        const SimDrive &drive = entry.second;
        if (!drive.vendorId.empty())
            entries.push_back("USB\\VID_" + drive.vendorId + "&PID_" + drive.productId + "\\" + drive.serial);
    }
    const std::string name = valuePath.substr(std::string(kUsbStorageKey).size());
    if (name == "Count")
        return std::to_string(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        if (name == std::to_string(i))
            return entries[i];
    return std::nullopt;
}

} // namespace dravex
