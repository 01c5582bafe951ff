#include "platform/linux/sysfs/diskinventory.h"

#include "platform/linux/sysfs/mountsource.h"
#include "platform/linux/sysfs/textfields.h"
#include "platform/linux/windows/identitytext.h"

#include <algorithm>

namespace dravex {

namespace {

// What a partition table calls an extended partition: DOS types 05, 0F and 85.
bool isExtendedType(const std::string &type) {
    return type == "0x5" || type == "0xf" || type == "0x85";
}

// The kernel shows an extended partition as a stub of one or two sectors.
constexpr uint64_t kLargestExtendedStub = 2;

bool readDevice(const SystemRoot &root, const std::string &folder, const std::string &name,
                BlockDevice &device) {
    const auto dev = root.readFile(folder + "/dev");
    const auto number = dev ? parseMajorMinor(*dev) : std::nullopt;
    if (!number)
        return false;
    device.name = name;
    device.hasNumber = true;
    device.major = number->first;
    device.minor = number->second;
    device.sectors = root.numberAttribute(folder + "/size").value_or(0);
    device.readOnly = root.numberAttribute(folder + "/ro").value_or(0) != 0;
    device.holders = root.listFolder(folder + "/holders");
    std::sort(device.holders.begin(), device.holders.end());
    if (const auto text = root.readFile(udevDataPath(device.major, device.minor)))
        device.udev = parseUdevRecord(*text);
    return true;
}

std::optional<UsbAttachment> usbAttachment(const std::string &devicePath) {
    UsbAttachment attachment;
    attachment.deviceFolder = usbDeviceFolder(devicePath);
    if (attachment.deviceFolder.empty())
        return std::nullopt;
    attachment.portPath = attachment.deviceFolder.substr(attachment.deviceFolder.rfind('/') + 1);
    // The SCSI address below the interface names the slot.
    size_t start = attachment.deviceFolder.size() + 1;
    while (start < devicePath.size()) {
        size_t end = devicePath.find('/', start);
        if (end == std::string::npos)
            end = devicePath.size();
        if (const auto lun = scsiAddressLun(std::string_view(devicePath).substr(start, end - start)))
            attachment.lun = *lun;
        start = end + 1;
    }
    return attachment;
}

bool isPlainName(const std::string &name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

} // namespace

std::string BlockDevice::udevValue(const std::string &key) const {
    const auto found = udev.find(key);
    return found == udev.end() ? std::string() : found->second;
}

std::string BlockDevice::labelBytes() const {
    // udev's ID_FS_LABEL turns blanks into "_"; the escaped form keeps the label's own bytes.
    return decodeUdevEscapes(udevValue("ID_FS_LABEL_ENC"));
}

std::string DiskRecord::portPath() const {
    const std::string port = disk.udevValue("ID_PATH");
    return port.empty() ? disk.name : port;
}

std::vector<const BlockDevice *> DiskRecord::devices() const {
    std::vector<const BlockDevice *> all{&disk};
    for (const BlockDevice &partition : partitions)
        all.push_back(&partition);
    return all;
}

std::optional<DiskRecord> DiskInventory::readDisk(const SystemRoot &root, const std::string &name) {
    if (!isPlainName(name))
        return std::nullopt;
    const std::string folder = "/sys/block/" + name;
    DiskRecord record;
    if (!readDevice(root, folder, name, record.disk))
        return std::nullopt;
    record.diskseq = root.numberAttribute(folder + "/diskseq");
    if (const auto removable = root.numberAttribute(folder + "/removable"))
        record.removable = *removable == 1;
    // Many sticks show a CD-ROM on a second unit, put there by the maker's tools; SCSI type 5 is CD/DVD.
    record.optical = name.compare(0, 2, "sr") == 0 || record.disk.udevValue("ID_CDROM") == "1" ||
                     root.numberAttribute(folder + "/device/type") == 5u;
    // The kernel links each disk into /sys/devices; a captured tree may hold a folder instead.
    // A disk that is gone leaves its link behind, pointing nowhere.
    if (const auto path = resolvedInside(root, folder); path && root.isFolder(*path)) {
        record.devicePath = *path;
        record.usb = usbAttachment(record.devicePath);
    }

    bool hasLogical = false;
    for (const std::string &entry : root.listFolder(folder)) {
        if (entry.size() <= name.size() || entry.compare(0, name.size(), name) != 0)
            continue;
        const std::string partitionFolder = folder + "/" + entry;
        const uint64_t number = root.numberAttribute(partitionFolder + "/partition").value_or(0);
        BlockDevice partition;
        if (number == 0 || number > 0xFFFF || !readDevice(root, partitionFolder, entry, partition))
            continue;
        partition.partitionNumber = static_cast<unsigned>(number);
        hasLogical = hasLogical || number > 4;
        record.partitions.push_back(std::move(partition));
    }
    for (BlockDevice &partition : record.partitions) {
        const std::string type = partition.udevValue("ID_PART_ENTRY_TYPE");
        const bool dos = partition.udevValue("ID_PART_ENTRY_SCHEME") == "dos";
        partition.extendedContainer =
            (dos && isExtendedType(type)) || (type.empty() && hasLogical && partition.partitionNumber <= 4 &&
                                              partition.sectors <= kLargestExtendedStub);
    }
    std::sort(
        record.partitions.begin(), record.partitions.end(),
        [](const BlockDevice &a, const BlockDevice &b) { return a.partitionNumber < b.partitionNumber; });
    return record;
}

DiskInventory DiskInventory::read(const SystemRoot &root) {
    DiskInventory inventory;
    std::vector<std::string> names = root.listFolder("/sys/block");
    std::sort(names.begin(), names.end());
    for (const std::string &name : names) {
        // A listed disk whose attributes cannot be read stays listed, so that the others keep their numbers.
        DiskRecord unreadable;
        unreadable.disk.name = name;
        inventory.m_disks.push_back(readDisk(root, name).value_or(std::move(unreadable)));
    }
    return inventory;
}

const DiskRecord *DiskInventory::find(const std::string &name) const {
    for (const DiskRecord &record : m_disks) {
        if (record.name() == name)
            return &record;
    }
    return nullptr;
}

std::string udevDataPath(unsigned major, unsigned minor) {
    return "/run/udev/data/b" + std::to_string(major) + ":" + std::to_string(minor);
}

std::string usbInterfacePath(const std::string &idPath) {
    const size_t usb = idPath.find("-usb-");
    if (usb == std::string::npos)
        return {};
    const size_t end = idPath.find('-', usb + 5);
    return idPath.substr(0, end);
}

} // namespace dravex
