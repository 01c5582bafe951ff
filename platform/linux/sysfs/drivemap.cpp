#include "platform/linux/sysfs/drivemap.h"

#include "platform/linux/sysfs/textfields.h"
#include "platform/linux/sysfs/udevrecord.h"

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

std::optional<UdevRecord> readUdevRecord(const SystemRoot &root, unsigned major, unsigned minor) {
    const auto text = root.readFile(udevDataPath(major, minor));
    if (!text)
        return std::nullopt;
    return parseUdevRecord(*text);
}

std::optional<std::pair<unsigned, unsigned>> readDevice(const SystemRoot &root, const std::string &folder) {
    const auto text = root.readFile(folder + "/dev");
    return text ? parseMajorMinor(*text) : std::nullopt;
}

void addDisk(const SystemRoot &root, const std::string &disk, std::vector<MappedVolume> &volumes) {
    const std::string folder = "/sys/block/" + disk;
    // What we cannot confirm as removable we never touch.
    const auto removable = root.readFile(folder + "/removable");
    if (!removable || trimmed(*removable) != "1")
        return;
    const auto device = readDevice(root, folder);
    if (!device)
        return;
    const UdevRecord record = readUdevRecord(root, device->first, device->second).value_or(UdevRecord{});
    if (record.count("ID_CDROM") && record.at("ID_CDROM") == "1")
        return;

    MappedVolume whole;
    whole.diskName = disk;
    whole.volumeName = disk;
    whole.major = device->first;
    whole.minor = device->second;
    const auto port = record.find("ID_PATH");
    whole.portPath = port != record.end() && !port->second.empty() ? port->second : disk;
    // An unreadable size counts as no medium: nothing there we could read.
    const auto size = root.readFile(folder + "/size");
    whole.hasMedium = size && parseUnsigned(*size).value_or(0) > 0;

    bool hasPartitions = false;
    if (whole.hasMedium) {
        for (const std::string &entry : root.listFolder(folder)) {
            if (entry.compare(0, disk.size(), disk) != 0 || entry.size() == disk.size())
                continue;
            const std::string partitionFolder = folder + "/" + entry;
            const auto number = root.readFile(partitionFolder + "/partition");
            const uint64_t partitionNumber = number ? parseUnsigned(*number).value_or(0) : 0;
            const auto partitionDevice = readDevice(root, partitionFolder);
            if (partitionNumber == 0 || partitionNumber > 0xFFFF || !partitionDevice)
                continue;
            MappedVolume volume = whole;
            volume.volumeName = entry;
            volume.partitionNumber = static_cast<unsigned>(partitionNumber);
            volume.major = partitionDevice->first;
            volume.minor = partitionDevice->second;
            volumes.push_back(std::move(volume));
            hasPartitions = true;
        }
    }
    if (!hasPartitions)
        volumes.push_back(std::move(whole));
}

} // namespace

bool naturalLess(const std::string &left, const std::string &right) {
    return naturalCompare(left, right) < 0;
}

std::string udevDataPath(unsigned major, unsigned minor) {
    return "/run/udev/data/b" + std::to_string(major) + ":" + std::to_string(minor);
}

DriveMap DriveMap::read(const SystemRoot &root) {
    DriveMap map;
    for (const std::string &disk : root.listFolder("/sys/block"))
        addDisk(root, disk, map.m_volumes);
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
