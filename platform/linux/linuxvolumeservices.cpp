#include "platform/linux/linuxvolumeservices.h"

#include "platform/linux/disklock.h"

#include "platform/linux/labeltext.h"
#include "platform/linux/mountinfo.h"
#include "platform/linux/programrun.h"
#include "platform/linux/textconverter.h"
#include "platform/linux/textfields.h"
#include "platform/linux/udisks2diskactions.h"
#include "platform/linux/udisks2mounter.h"
#include "platform/linux/volumeguard.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace dravex {

namespace {

constexpr uint32_t kMaximumComponentLength = 255;

ByteCount toByteCount(uint64_t count) {
    return ByteCount{static_cast<uint32_t>(count & 0xFFFFFFFFu), static_cast<uint32_t>(count >> 32)};
}

std::optional<char> driveLetterOf(const std::string &windowsPath) {
    if (windowsPath.size() < 3 || windowsPath[1] != ':' || windowsPath[2] != '\\')
        return std::nullopt;
    const char letter = windowsPath[0];
    if (letter >= 'A' && letter <= 'Z')
        return letter;
    if (letter >= 'a' && letter <= 'z')
        return static_cast<char>(letter - 'a' + 'A');
    return std::nullopt;
}

bool isRootPath(const std::string &path) {
    return path.size() == 3 && driveLetterOf(path);
}

// FAT and exFAT serial numbers, which udev writes as "ABCD-1234"; 0 for any other UUID.
uint32_t serialNumberOf(const std::string &uuid) {
    if (uuid.size() != 9 || uuid[4] != '-')
        return 0;
    uint32_t serial = 0;
    for (size_t i = 0; i < uuid.size(); ++i) {
        if (i == 4)
            continue;
        const int digit = hexValue(uuid[i]);
        if (digit < 0)
            return 0;
        serial = serial << 4 | static_cast<uint32_t>(digit);
    }
    return serial;
}

std::string valueOf(const UdevRecord &record, const std::string &key) {
    const auto found = record.find(key);
    return found == record.end() ? std::string() : found->second;
}

constexpr size_t kFatLabelBytes = 11;
constexpr size_t kDirectoryEntryBytes = 32;
constexpr unsigned char kVolumeLabelAttribute = 0x08;
constexpr unsigned char kLongNameAttributes = 0x0F;
constexpr unsigned char kFolderAttribute = 0x10;
constexpr unsigned char kFreeEntry = 0xE5;
// A name starting with the byte that marks a free entry is stored with this one instead.
constexpr unsigned char kFreeEntryEscape = 0x05;
constexpr uint32_t kFat32EndOfChain = 0x0FFFFFF8;

unsigned byteAt(const std::vector<unsigned char> &bytes, size_t at) {
    return bytes[at];
}

unsigned le16(const std::vector<unsigned char> &bytes, size_t at) {
    return bytes[at] | bytes[at + 1] << 8;
}

uint32_t le32(const std::vector<unsigned char> &bytes, size_t at) {
    return static_cast<uint32_t>(le16(bytes, at)) | static_cast<uint32_t>(le16(bytes, at + 2)) << 16;
}

bool readAt(int fd, std::vector<unsigned char> &bytes, uint64_t offset) {
    return ::pread(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)) ==
           static_cast<ssize_t>(bytes.size());
}

bool writeAt(int fd, const void *bytes, size_t size, uint64_t offset) {
    return ::pwrite(fd, bytes, size, static_cast<off_t>(offset)) == static_cast<ssize_t>(size);
}

// Where the root folder's entries lie: one stretch on FAT12/16, one per cluster on FAT32.
struct FatLayout {
    uint64_t bytesPerSector = 0;
    bool fat32 = false;
    size_t labelField = 0; // offset of the label in a boot sector
    bool hasLabelField = false;
    uint64_t backupBootSector = 0;                            // FAT32; 0 when there is none
    std::vector<std::pair<uint64_t, uint64_t>> rootStretches; // offset, length
};

std::optional<FatLayout> readFatLayout(int fd) {
    std::vector<unsigned char> boot(512);
    if (!readAt(fd, boot, 0) || boot[510] != 0x55 || boot[511] != 0xAA)
        return std::nullopt;
    FatLayout layout;
    layout.bytesPerSector = le16(boot, 11);
    const uint64_t sectorsPerCluster = byteAt(boot, 13);
    const uint64_t reserved = le16(boot, 14);
    const uint64_t fats = byteAt(boot, 16);
    const uint64_t rootEntries = le16(boot, 17);
    const uint64_t totalSectors = le16(boot, 19) != 0 ? le16(boot, 19) : le32(boot, 32);
    const uint64_t sectorsPerFat = le16(boot, 22) != 0 ? le16(boot, 22) : le32(boot, 36);
    const uint64_t sector = layout.bytesPerSector;
    if ((sector != 512 && sector != 1024 && sector != 2048 && sector != 4096) || sectorsPerCluster == 0 ||
        (sectorsPerCluster & (sectorsPerCluster - 1)) != 0 || reserved == 0 || fats == 0 ||
        sectorsPerFat == 0)
        return std::nullopt;
    layout.fat32 = le16(boot, 22) == 0;
    layout.labelField = layout.fat32 ? 71 : 43;
    layout.hasLabelField = boot[layout.fat32 ? 66 : 38] == 0x29;
    const uint64_t rootStart = (reserved + fats * sectorsPerFat) * sector;
    if (!layout.fat32) {
        if (rootEntries == 0)
            return std::nullopt;
        layout.rootStretches.push_back({rootStart, rootEntries * kDirectoryEntryBytes});
        return layout;
    }
    const unsigned backup = le16(boot, 50);
    if (backup != 0 && backup != 0xFFFF && backup < reserved)
        layout.backupBootSector = backup;
    // The root folder is a cluster chain starting where the boot sector says; a chain that loops or
    // leaves the volume is no FAT of ours.
    const uint64_t clusterBytes = sectorsPerCluster * sector;
    const uint64_t dataSectors = totalSectors > rootStart / sector ? totalSectors - rootStart / sector : 0;
    const uint64_t clusters = dataSectors / sectorsPerCluster;
    std::vector<unsigned char> entry(4);
    for (uint64_t cluster = le32(boot, 44); cluster < kFat32EndOfChain;) {
        if (cluster < 2 || cluster >= clusters + 2 || layout.rootStretches.size() > clusters)
            return std::nullopt;
        layout.rootStretches.push_back({rootStart + (cluster - 2) * clusterBytes, clusterBytes});
        if (!readAt(fd, entry, reserved * sector + cluster * 4))
            return std::nullopt;
        cluster = le32(entry, 0) & 0x0FFFFFFF;
    }
    return layout;
}

// The date and time fields of a folder entry, in local time as FAT keeps it.
void stampEntry(unsigned char *entry) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    const unsigned time = static_cast<unsigned>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
    const unsigned date =
        static_cast<unsigned>(std::max(local.tm_year - 80, 0) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
    entry[22] = static_cast<unsigned char>(time);
    entry[23] = static_cast<unsigned char>(time >> 8);
    entry[24] = static_cast<unsigned char>(date);
    entry[25] = static_cast<unsigned char>(date >> 8);
}

bool writeFatLabelTo(int fd, const std::string &padded) {
    const auto layout = readFatLayout(fd);
    if (!layout)
        return false;
    // The root folder's label entry, else the first free entry for a new one.
    std::optional<uint64_t> labelEntry;
    std::optional<uint64_t> freeEntry;
    bool ended = false;
    for (const auto &[offset, length] : layout->rootStretches) {
        std::vector<unsigned char> entries(length);
        if (!readAt(fd, entries, offset))
            return false;
        for (size_t at = 0; at + kDirectoryEntryBytes <= length && !ended && !labelEntry;
             at += kDirectoryEntryBytes) {
            const unsigned char first = entries[at];
            const unsigned char attributes = entries[at + 11];
            if (first == 0 || first == kFreeEntry) {
                if (!freeEntry)
                    freeEntry = offset + at;
                ended = first == 0;
            } else if (attributes != kLongNameAttributes && (attributes & kVolumeLabelAttribute) &&
                       !(attributes & kFolderAttribute)) {
                labelEntry = offset + at;
            }
        }
        if (ended || labelEntry)
            break;
    }
    std::string name = padded;
    if (static_cast<unsigned char>(name[0]) == kFreeEntry)
        name[0] = static_cast<char>(kFreeEntryEscape);
    bool written = false;
    if (labelEntry) {
        written = writeAt(fd, name.data(), kFatLabelBytes, *labelEntry);
    } else if (freeEntry) {
        unsigned char entry[kDirectoryEntryBytes] = {};
        std::memcpy(entry, name.data(), kFatLabelBytes);
        entry[11] = kVolumeLabelAttribute;
        stampEntry(entry);
        written = writeAt(fd, entry, sizeof entry, *freeEntry);
    }
    if (!written)
        return false;
    if (layout->hasLabelField) {
        if (!writeAt(fd, padded.data(), kFatLabelBytes, layout->labelField))
            return false;
        if (layout->backupBootSector != 0 &&
            !writeAt(fd, padded.data(), kFatLabelBytes,
                     layout->backupBootSector * layout->bytesPerSector + layout->labelField))
            return false;
    }
    return ::fsync(fd) == 0;
}

// The scan reads labels from udev's records, which udev renews in its own time once a written device is
// closed; a rescan right after must already see the new label.
void waitForUdev() {
    runProgram({"udevadm", "settle", "--timeout=5"});
}

} // namespace

FatLabel fatLabel(const std::string &utf8) {
    FatLabel label;
    std::string upper = utf8;
    for (char &c : upper) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F || std::strchr("*?.,;:/\\|+=<>[]\"", c))
            label.fault = FatLabel::Fault::Characters;
    }
    const auto bytes = TextConverter("CP936", "UTF-8").convert(upper);
    if (!bytes)
        label.fault = FatLabel::Fault::Characters;
    else if (label.fault == FatLabel::Fault::None && bytes->size() > kFatLabelBytes)
        label.fault = FatLabel::Fault::TooLong;
    else if (label.fault == FatLabel::Fault::None)
        label.bytes = *bytes;
    return label;
}

bool writeFatLabel(const std::string &device, const std::string &bytes) {
    if (bytes.empty() || bytes.size() > kFatLabelBytes)
        return false;
    const int fd = ::open(device.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::string padded = bytes;
    padded.resize(kFatLabelBytes, ' ');
    const bool written = writeFatLabelTo(fd, padded);
    return ::close(fd) == 0 && written;
}

LinuxVolumeServices::LinuxVolumeServices()
    : m_root("/"), m_ownedMounter(std::make_unique<UDisks2Mounter>()), m_mounter(*m_ownedMounter) {}

LinuxVolumeServices::LinuxVolumeServices(const std::string &root, Mounter &mounter)
    : m_root(root), m_mounter(mounter) {}

void LinuxVolumeServices::refreshDriveList() {
    m_driveMap = DriveMap::read(m_root);
    m_fileSystemRecords.clear();
    m_failedMounts.clear();
}

const DriveMap &LinuxVolumeServices::driveMap() {
    if (!m_driveMap)
        refreshDriveList();
    return *m_driveMap;
}

const MappedVolume *LinuxVolumeServices::volumeAt(const std::string &windowsPath) {
    const auto letter = driveLetterOf(windowsPath);
    return letter ? driveMap().find(*letter) : nullptr;
}

unsigned LinuxVolumeServices::GetDriveTypeA(const std::string &rootPath) {
    return isRootPath(rootPath) && volumeAt(rootPath) ? kDriveRemovable : kDriveNoRootDir;
}

std::optional<UdevRecord> LinuxVolumeServices::fileSystemRecord(const MappedVolume &volume) {
    if (!volume.hasMedium)
        return std::nullopt;
    const auto device = std::make_pair(volume.major, volume.minor);
    if (const auto known = m_fileSystemRecords.find(device); known != m_fileSystemRecords.end())
        return known->second;
    std::optional<UdevRecord> record;
    if (const auto text = m_root.readFile(udevDataPath(volume.major, volume.minor))) {
        record = parseUdevRecord(*text);
        if (valueOf(*record, "ID_FS_TYPE").empty() || valueOf(*record, "ID_FS_USAGE") != "filesystem")
            record.reset();
    }
    return m_fileSystemRecords[device] = record;
}

std::optional<std::string> LinuxVolumeServices::mountPoint(const MappedVolume &volume) {
    const auto device = std::make_pair(volume.major, volume.minor);
    if (const auto known = m_mountPoints.find(device); known != m_mountPoints.end()) {
        // Still mounted there when the folder lies on the volume's own device.
        struct stat status {};
        if (::stat(m_root.path(known->second).c_str(), &status) == 0 &&
            status.st_dev == makedev(volume.major, volume.minor))
            return known->second;
        m_mountPoints.erase(known);
    }
    std::optional<std::string> found;
    if (const auto text = m_root.readFile("/proc/self/mountinfo")) {
        for (const MountEntry &entry : parseMountInfo(*text)) {
            if (entry.major == volume.major && entry.minor == volume.minor && entry.root == "/") {
                found = entry.mountPoint;
                break;
            }
        }
    }
    // A helper rewriting or ejecting the disk holds its lock; mounting it now would undo the helper's
    // unmount. The next scan, which the helper's changes bring, mounts it.
    if (!found && m_failedMounts.count(device) == 0) {
        if (!isDiskLocked(m_root.path("/dev/" + volume.diskName)))
            found = m_mounter.mount(volume.volumeName);
        if (!found)
            m_failedMounts.insert(device);
    }
    if (found)
        m_mountPoints[device] = *found;
    return found;
}

bool LinuxVolumeServices::GetDiskFreeSpaceExA(const std::string &rootPath,
                                              ByteCount &freeBytesAvailableToCaller, ByteCount &totalBytes,
                                              ByteCount &totalFreeBytes) {
    const MappedVolume *volume = isRootPath(rootPath) ? volumeAt(rootPath) : nullptr;
    if (!volume || !fileSystemRecord(*volume))
        return false;
    const auto mounted = mountPoint(*volume);
    if (!mounted)
        return false;
    struct statvfs status {};
    if (::statvfs(m_root.path(*mounted).c_str(), &status) != 0)
        return false;
    const uint64_t fragment = status.f_frsize;
    freeBytesAvailableToCaller = toByteCount(uint64_t{status.f_bavail} * fragment);
    totalBytes = toByteCount(uint64_t{status.f_blocks} * fragment);
    totalFreeBytes = toByteCount(uint64_t{status.f_bfree} * fragment);
    return true;
}

bool LinuxVolumeServices::GetVolumeInformationA(const std::string &rootPath, VolumeInformation &info) {
    const MappedVolume *volume = isRootPath(rootPath) ? volumeAt(rootPath) : nullptr;
    if (!volume)
        return false;
    const auto record = fileSystemRecord(*volume);
    if (!record)
        return false;
    // udev's ID_FS_LABEL turns blanks into "_"; the escaped form keeps the label's own bytes.
    const auto label = labelToUtf8(decodeUdevEscapes(valueOf(*record, "ID_FS_LABEL_ENC")));
    if (!label || !mountPoint(*volume))
        return false;
    info.volumeName = *label;
    info.serialNumber = serialNumberOf(valueOf(*record, "ID_FS_UUID"));
    info.maximumComponentLength = kMaximumComponentLength;
    info.fileSystemFlags = 0;
    info.fileSystemName =
        windowsFileSystemName(valueOf(*record, "ID_FS_TYPE"), valueOf(*record, "ID_FS_VERSION"));
    return true;
}

bool LinuxVolumeServices::SetVolumeLabelA(const std::string &rootPath, const std::string &label) {
    const auto letter = isRootPath(rootPath) ? driveLetterOf(rootPath) : std::nullopt;
    if (!letter)
        return false;
    const VolumeCheck check = checkVolume(m_root, driveMap(), *letter);
    if (!check.volume)
        return false;
    const auto record = fileSystemRecord(*check.volume);
    if (!record)
        return false;
    const std::string type = valueOf(*record, "ID_FS_TYPE");
    if (type != "vfat" && type != "exfat")
        return false;
    // Windows keeps FAT labels in upper case and in the ANSI code page; exFAT ones as they are.
    std::string newLabel = label;
    if (type == "vfat") {
        const FatLabel fat = fatLabel(label);
        if (fat.fault != FatLabel::Fault::None)
            return false;
        newLabel = fat.bytes;
    }
    const bool ascii = std::none_of(newLabel.begin(), newLabel.end(), [](char c) { return c & 0x80; });
    // UDisks2 would encode a label beyond ASCII in whatever code page its own locale gives.
    if (m_root.isWholeMachine() && (ascii || type == "exfat")) {
        if (const auto answered = udisks2SetLabel(check.volume->volumeName, newLabel))
            return *answered;
    }
    const auto device = volumeDevicePath(m_root, *check.volume);
    if (!device)
        return false;
    bool written = false;
    if (type == "vfat" && !ascii) {
        // fatlabel 4.2 refuses every byte above 0x7F, whatever code page it is given.
        written = writeFatLabel(*device, newLabel);
    } else if (type == "vfat") {
        // fatlabel takes no empty label; resetting is how it removes one. "--" keeps "-R" a label.
        written =
            runProgram(newLabel.empty() ? std::vector<std::string>{"fatlabel", "--reset", *device}
                                        : std::vector<std::string>{"fatlabel", "--", *device, newLabel}) == 0;
    } else {
        // exfatlabel would read a label starting with "-" as an option and knows no "--".
        if (!newLabel.empty() && newLabel.front() == '-')
            return false;
        written = runProgram({"exfatlabel", *device, newLabel}) == 0;
    }
    if (written)
        waitForUdev();
    return written;
}

std::optional<std::string> LinuxVolumeServices::nativePath(const std::string &windowsPath) {
    if (!windowsPath.empty() && windowsPath.front() == '/') {
        std::string native = windowsPath;
        std::replace(native.begin(), native.end(), '\\', '/');
        return native;
    }
    const MappedVolume *volume = volumeAt(windowsPath);
    if (!volume || !fileSystemRecord(*volume))
        return std::nullopt;
    const auto mounted = mountPoint(*volume);
    if (!mounted)
        return std::nullopt;
    std::vector<std::string> parts;
    std::string part;
    const std::string rest = windowsPath.substr(3) + "\\";
    for (char c : rest) {
        if (c != '\\' && c != '/') {
            part += c;
            continue;
        }
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        part.clear();
    }
    std::string native = m_root.path(*mounted);
    for (const std::string &name : parts)
        native += "/" + name;
    return native;
}

} // namespace dravex
