#include "platform/linux/sysfs/drivemap.h"

#include <algorithm>
#include <tuple>

namespace dravex {

namespace {

constexpr char kFirstLetter = 'F';
constexpr char kLastLetter = 'Z';

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// -1, 0 or 1 as the texts compare in natural order.
int naturalCompare(const std::string &left, const std::string &right) {
    size_t i = 0;
    size_t j = 0;
    while (i < left.size() && j < right.size()) {
        if (isDigit(left[i]) && isDigit(right[j])) {
            while (i < left.size() && left[i] == '0')
                ++i;
            while (j < right.size() && right[j] == '0')
                ++j;
            const size_t leftStart = i;
            const size_t rightStart = j;
            while (i < left.size() && isDigit(left[i]))
                ++i;
            while (j < right.size() && isDigit(right[j]))
                ++j;
            // Without their leading zeros, the longer run is the larger number.
            if (i - leftStart != j - rightStart)
                return i - leftStart < j - rightStart ? -1 : 1;
            const int digits = left.compare(leftStart, i - leftStart, right, rightStart, j - rightStart);
            if (digits != 0)
                return digits < 0 ? -1 : 1;
            continue;
        }
        if (left[i] != right[j])
            return static_cast<unsigned char>(left[i]) < static_cast<unsigned char>(right[j]) ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < left.size())
        return 1;
    if (j < right.size())
        return -1;
    // Equal as numbers ("01" and "1"): the plain order keeps the result strict.
    return left.compare(right) < 0 ? -1 : (left == right ? 0 : 1);
}

void addDisk(const DiskRecord &disk, std::vector<MappedVolume> &volumes) {
    // What we cannot confirm as removable we never touch; optical units are no removable disks to us.
    if (!disk.disk.hasNumber || disk.removable != true || disk.optical)
        return;
    MappedVolume whole;
    whole.diskName = disk.name();
    whole.volumeName = disk.name();
    whole.major = disk.disk.major;
    whole.minor = disk.disk.minor;
    whole.diskseq = disk.diskseq;
    whole.portPath = disk.portPath();
    whole.hasMedium = disk.hasMedium();
    bool hasPartitions = false;
    if (whole.hasMedium) {
        for (const BlockDevice &partition : disk.partitions) {
            hasPartitions = true;
            // Windows gives a container of logical partitions no letter of its own.
            if (partition.extendedContainer)
                continue;
            MappedVolume volume = whole;
            volume.volumeName = partition.name;
            volume.partitionNumber = partition.partitionNumber;
            volume.major = partition.major;
            volume.minor = partition.minor;
            volumes.push_back(std::move(volume));
        }
    }
    if (!hasPartitions)
        volumes.push_back(std::move(whole));
}

} // namespace

bool naturalLess(const std::string &left, const std::string &right) {
    return naturalCompare(left, right) < 0;
}

DriveMap DriveMap::read(const SystemRoot &root) {
    return build(DiskInventory::read(root));
}

DriveMap DriveMap::build(const DiskInventory &inventory) {
    DriveMap map;
    for (const DiskRecord &disk : inventory.disks())
        addDisk(disk, map.m_volumes);
    std::sort(map.m_volumes.begin(), map.m_volumes.end(), [](const MappedVolume &a, const MappedVolume &b) {
        const int port = naturalCompare(a.portPath, b.portPath);
        if (port != 0)
            return port < 0;
        return std::tie(a.diskName, a.partitionNumber) < std::tie(b.diskName, b.partitionNumber);
    });
    char letter = kFirstLetter;
    for (MappedVolume &volume : map.m_volumes) {
        if (letter > kLastLetter)
            break;
        volume.letter = letter++;
    }
    return map;
}

const MappedVolume *DriveMap::find(char letter) const {
    for (const MappedVolume &volume : m_volumes) {
        if (volume.letter == letter)
            return &volume;
    }
    return nullptr;
}

} // namespace dravex
