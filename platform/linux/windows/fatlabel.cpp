#include "platform/linux/windows/fatlabel.h"

#include "platform/linux/windows/textconverter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/fs.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace dravex {

namespace {

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

// The real size of the block device or image file, whatever its boot sector claims.
std::optional<uint64_t> deviceBytes(int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        return std::nullopt;
    if (!S_ISBLK(status.st_mode))
        return static_cast<uint64_t>(status.st_size);
    uint64_t bytes = 0;
    if (::ioctl(fd, BLKGETSIZE64, &bytes) != 0)
        return std::nullopt;
    return bytes;
}

std::optional<FatLayout> readFatLayout(int fd) {
    const auto realBytes = deviceBytes(fd);
    if (!realBytes)
        return std::nullopt;
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
    // leaves the volume is no FAT of ours. The volume is no larger than the device, whatever the boot
    // sector claims, so a loop ends after no more steps than the device has clusters.
    const uint64_t clusterBytes = sectorsPerCluster * sector;
    const uint64_t sectors = std::min(totalSectors, *realBytes / sector);
    const uint64_t dataSectors = sectors > rootStart / sector ? sectors - rootStart / sector : 0;
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

} // namespace dravex
