#include "platform/linux/windows/linuxusbstorageregistry.h"

#include "platform/linux/sysfs/drivemap.h"
#include "platform/linux/sysfs/textfields.h"
#include "platform/linux/windows/identitytext.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <map>
#include <unistd.h>

namespace dravex {

namespace {

const std::string kEnumKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\USBSTOR\\Enum\\";

// Where a disk's /sys/block entry leads, as seen inside the root; nothing when it leads out of the root or
// nowhere. The kernel links each disk into /sys/devices through real folders only, so the link is followed
// as text: one readlink, where resolving every folder on the way cost a lookup each and made the identity
// lookup of a full bench slow.
std::optional<std::string> diskDevicePath(const SystemRoot &root, const std::string &diskName) {
    const std::string entry = "/sys/block/" + diskName;
    char target[PATH_MAX];
    const ssize_t length = ::readlink(root.path(entry).c_str(), target, sizeof target);
    if (length < 0) {
        // A folder of its own, as a captured tree may hold one.
        if (errno == EINVAL && root.isFolder(entry))
            return entry;
        return std::nullopt;
    }
    if (static_cast<size_t>(length) >= sizeof target)
        return std::nullopt;
    const std::string_view link(target, static_cast<size_t>(length));
    // An absolute link names the machine's own folders, which only the whole machine has inside it.
    if (link.empty() || (link.front() == '/' && !root.isWholeMachine()))
        return std::nullopt;
    std::vector<std::string_view> components;
    if (link.front() != '/')
        components = {"sys", "block"};
    size_t start = 0;
    while (start <= link.size()) {
        size_t end = link.find('/', start);
        if (end == std::string_view::npos)
            end = link.size();
        const std::string_view component = link.substr(start, end - start);
        if (component == "..") {
            if (components.empty())
                return std::nullopt;
            components.pop_back();
        } else if (!component.empty() && component != ".") {
            components.push_back(component);
        }
        start = end + 1;
    }
    std::string inside;
    for (const std::string_view component : components) {
        inside += '/';
        inside += component;
    }
    // A disk that is gone leaves its link behind.
    if (inside.empty() || !root.isFolder(inside))
        return std::nullopt;
    return inside;
}

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

// A sysfs attribute without its line end; empty when it cannot be read.
std::string attribute(const SystemRoot &root, const std::string &path) {
    const auto text = root.readFile(path);
    if (!text)
        return {};
    std::string value = *text;
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r'))
        value.pop_back();
    return value;
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

std::optional<UsbAttachment> usbAttachmentOf(const SystemRoot &root, const std::string &diskName) {
    if (diskName.empty() || diskName.find('/') != std::string::npos || diskName == "." || diskName == "..")
        return std::nullopt;
    const auto path = diskDevicePath(root, diskName);
    if (!path)
        return std::nullopt;
    const std::string &inside = *path;
    UsbAttachment attachment;
    attachment.deviceFolder = usbDeviceFolder(inside);
    if (attachment.deviceFolder.empty())
        return std::nullopt;
    attachment.portPath = attachment.deviceFolder.substr(attachment.deviceFolder.rfind('/') + 1);
    // The SCSI address "6:0:0:1" below the interface names the slot.
    size_t start = attachment.deviceFolder.size() + 1;
    while (start < inside.size()) {
        size_t end = inside.find('/', start);
        if (end == std::string::npos)
            end = inside.size();
        if (const auto lun = scsiAddressLun(std::string_view(inside).substr(start, end - start)))
            attachment.lun = *lun;
        start = end + 1;
    }
    return attachment;
}

UdevRecord diskUdevRecord(const SystemRoot &root, const std::string &diskName) {
    const auto dev = root.readFile("/sys/block/" + diskName + "/dev");
    const auto device = dev ? parseMajorMinor(*dev) : std::nullopt;
    if (!device)
        return {};
    const auto text = root.readFile(udevDataPath(device->first, device->second));
    return text ? parseUdevRecord(*text) : UdevRecord{};
}

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
    return attribute(root, deviceFolder + "/serial");
}

LinuxUsbStorageRegistry::LinuxUsbStorageRegistry(std::string root) : m_root(std::move(root)) {}

std::vector<std::string> LinuxUsbStorageRegistry::entries() const {
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
    std::vector<std::string> disks = m_root.listFolder("/sys/block");
    std::sort(disks.begin(), disks.end(),
              [](const std::string &a, const std::string &b) { return diskNameLess(a, b); });
    for (const std::string &disk : disks) {
        if (isVirtualDiskName(disk))
            continue;
        const auto attachment = usbAttachmentOf(m_root, disk);
        if (!attachment)
            continue;
        StorageDevice &device = devices[attachment->portPath];
        if (device.folder.empty())
            device.folder = attachment->deviceFolder;
        if (!device.diskRecord)
            device.diskRecord = diskUdevRecord(m_root, disk);
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
            return usbHexId(attribute(m_root, device.folder + "/" + descriptor)).value_or("0000");
        };
        const std::string vendorId = hexId("VENDOR_ID", "idVendor");
        const std::string productId = hexId("MODEL_ID", "idProduct");
        const std::string serial = usbSerial(m_root, record, device.folder);
        const std::string instance = isUsableSerial(serial) ? serial : generatedInstanceId(port, 0);
        list.push_back("USB\\VID_" + vendorId + "&PID_" + productId + "\\" + instance);
    }
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
