#include "platform/linux/windows/linuxusbstorageregistry.h"

#include "platform/linux/sysfs/textfields.h"
#include "platform/linux/windows/identitytext.h"

#include <algorithm>
#include <map>

namespace dravex {

namespace {

const std::string kEnumKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\USBSTOR\\Enum\\";

bool equalsIgnoringCase(std::string_view left, std::string_view right) {
    if (left.size() != right.size())
        return false;
    for (size_t i = 0; i < left.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(left[i]) != lower(right[i]))
            return false;
    }
    return true;
}

bool isMassStorageInterface(const SystemRoot &root, const std::string &folder) {
    const auto text = root.readFile(folder + "/bInterfaceClass");
    return text && usbHexId(*text) == std::string("0008");
}

// What the entry of one USB device is made from.
struct StorageDevice {
    std::string folder;
    std::optional<UdevRecord> diskRecord; // of its first disk, when it has one
};

} // namespace

std::string usbProperty(const UdevRecord &record, const std::string &name) {
    for (const std::string &key : {"ID_USB_" + name, "ID_" + name}) {
        const auto found = record.find(key);
        if (found != record.end() && !found->second.empty())
            return found->second;
    }
    return {};
}

std::string usbSerial(const SystemRoot &root, const UdevRecord &diskRecord, const std::string &deviceFolder) {
    const std::string serial = usbProperty(diskRecord, "SERIAL_SHORT");
    if (!serial.empty() || deviceFolder.empty())
        return serial;
    return root.attribute(deviceFolder + "/serial");
}

std::string idDeviceField(const SystemRoot &root, const UdevRecord &record, const std::string &name,
                          const std::string &sysfsAttribute) {
    std::string text = decodeUdevEscapes(usbProperty(record, name + "_ENC"));
    if (text.empty())
        text = usbProperty(record, name);
    if (text.empty())
        text = root.attribute(sysfsAttribute);
    return text;
}

std::string readableDeviceField(const SystemRoot &root, const UdevRecord &record, const std::string &name,
                                const std::string &sysfsAttribute) {
    return readableField(idDeviceField(root, record, name, sysfsAttribute));
}

LinuxUsbStorageRegistry::LinuxUsbStorageRegistry(LinuxVolumeServices &volumes, std::string root)
    : m_volumes(volumes), m_root(std::move(root)) {}

std::vector<std::string> LinuxUsbStorageRegistry::entries() {
    const DiskInventory &inventory = m_volumes.inventory();
    const uint64_t reading = m_volumes.driveListReadings();
    if (m_entries && m_entries->first == reading)
        return m_entries->second;
    std::map<std::string, StorageDevice> devices;
    const std::string bus = "/sys/bus/usb/devices";
    // Devices with a mass-storage interface, with or without a disk yet (an empty card reader).
    for (const std::string &name : m_root.listFolder(bus)) {
        const size_t colon = name.find(':');
        if (colon == std::string::npos || colon == 0 || !isMassStorageInterface(m_root, bus + "/" + name))
            continue;
        const std::string port = name.substr(0, colon);
        if (port.find('-') != std::string::npos && m_root.isFolder(bus + "/" + port))
            devices[port].folder = bus + "/" + port;
    }
    // Devices that carry a disk; udev's record of the first disk tells what udev knows of the device.
    std::vector<const DiskRecord *> disks;
    for (const DiskRecord &disk : inventory.disks()) {
        if (disk.usb && !isVirtualDiskName(disk.name()))
            disks.push_back(&disk);
    }
    std::sort(disks.begin(), disks.end(),
              [](const DiskRecord *a, const DiskRecord *b) { return diskNameLess(a->name(), b->name()); });
    for (const DiskRecord *disk : disks) {
        StorageDevice &device = devices[disk->usb->portPath];
        if (device.folder.empty())
            device.folder = disk->usb->deviceFolder;
        if (!device.diskRecord)
            device.diskRecord = disk->disk.udev;
    }

    std::vector<std::string> ports;
    for (const auto &device : devices)
        ports.push_back(device.first);
    std::sort(ports.begin(), ports.end(), naturalLess);
    std::vector<std::string> list;
    for (const std::string &port : ports) {
        const StorageDevice &device = devices[port];
        const UdevRecord record = device.diskRecord.value_or(UdevRecord{});
        // udev's ids first, as the disk's identity uses them; the device's own descriptors otherwise, read
        // only then.
        const auto hexId = [&](const char *udevName, const char *descriptor) {
            if (auto id = usbHexId(usbProperty(record, udevName)))
                return *id;
            return usbHexId(m_root.attribute(device.folder + "/" + descriptor)).value_or("0000");
        };
        const std::string vendorId = hexId("VENDOR_ID", "idVendor");
        const std::string productId = hexId("MODEL_ID", "idProduct");
        const std::string serial = usbSerial(m_root, record, device.folder);
        const std::string instance = isUsableSerial(serial) ? serial : generatedInstanceId(port, 0);
        list.push_back("USB\\VID_" + vendorId + "&PID_" + productId + "\\" + instance);
    }
    m_entries = std::make_pair(reading, list);
    return list;
}

std::optional<std::string> LinuxUsbStorageRegistry::RegRead(const std::string &valuePath) {
    if (valuePath.size() <= kEnumKey.size() ||
        !equalsIgnoringCase(std::string_view(valuePath).substr(0, kEnumKey.size()), kEnumKey))
        return std::nullopt;
    const std::string valueName = valuePath.substr(kEnumKey.size());
    if (equalsIgnoringCase(valueName, "Count")) {
        m_walk = entries();
        m_lastIndexRead.reset();
        return std::to_string(m_walk->size());
    }
    const auto index = parseValueIndex(valueName);
    if (!index)
        return std::nullopt;
    if (!m_walk || (m_lastIndexRead && *index <= *m_lastIndexRead))
        m_walk = entries();
    m_lastIndexRead = *index;
    if (*index >= m_walk->size())
        return std::nullopt;
    return (*m_walk)[*index];
}

} // namespace dravex
