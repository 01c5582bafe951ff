#include "platform/linux/sysfs/cardreader.h"

#include "platform/linux/sysfs/drivemap.h"
#include "platform/linux/sysfs/textfields.h"
#include "platform/linux/sysfs/udevrecord.h"

#include <climits>
#include <cstdlib>
#include <memory>
#include <optional>

namespace dravex {

namespace {

std::optional<UdevRecord> udevRecordOf(const SystemRoot &root, const std::string &disk) {
    const auto dev = root.readFile("/sys/block/" + disk + "/dev");
    const auto number = dev ? parseMajorMinor(*dev) : std::nullopt;
    if (!number)
        return std::nullopt;
    const auto text = root.readFile(udevDataPath(number->first, number->second));
    if (!text)
        return std::nullopt;
    return parseUdevRecord(*text);
}

std::string udevValue(const std::optional<UdevRecord> &record, const std::string &key) {
    if (!record)
        return {};
    const auto found = record->find(key);
    return found == record->end() ? std::string() : found->second;
}

// Many sticks show a CD-ROM on a second unit of the same USB device, put there by the maker's tools;
// that makes no card reader of them. SCSI peripheral type 5 is a CD/DVD device.
bool isOptical(const SystemRoot &root, const std::string &disk, const std::optional<UdevRecord> &record) {
    if (disk.compare(0, 2, "sr") == 0 || udevValue(record, "ID_CDROM") == "1")
        return true;
    const auto type = root.readFile("/sys/block/" + disk + "/device/type");
    return type && trimmed(*type) == "5";
}

std::string resolved(const std::string &path) {
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

} // namespace

std::string usbInterfacePath(const std::string &idPath) {
    const size_t usb = idPath.find("-usb-");
    if (usb == std::string::npos)
        return {};
    const size_t end = idPath.find('-', usb + 5);
    return idPath.substr(0, end);
}

std::string usbDevicePath(const std::string &sysfsPath) {
    std::string parent;
    size_t start = 0;
    while (start < sysfsPath.size()) {
        size_t end = sysfsPath.find('/', start);
        if (end == std::string::npos)
            end = sysfsPath.size();
        const std::string component = sysfsPath.substr(start, end - start);
        const size_t colon = component.find(':');
        // An interface is named after its device: "1-3:1.0" below "1-3".
        const std::string parentName = parent.substr(parent.rfind('/') + 1);
        if (colon != std::string::npos && colon > 0 && component.compare(0, colon, parentName) == 0 &&
            parentName.find('-') != std::string::npos)
            return parent;
        parent = sysfsPath.substr(0, end);
        start = end + 1;
    }
    return {};
}

bool isCardReaderSlot(const SystemRoot &root, const std::string &diskKernelName) {
    const std::string interface = usbInterfacePath(udevValue(udevRecordOf(root, diskKernelName), "ID_PATH"));
    const std::string device = usbDevicePath(resolved(root.path("/sys/block/" + diskKernelName)));
    for (const std::string &other : root.listFolder("/sys/block")) {
        if (other == diskKernelName)
            continue;
        const auto record = udevRecordOf(root, other);
        if (isOptical(root, other, record))
            continue;
        if (!interface.empty() && usbInterfacePath(udevValue(record, "ID_PATH")) == interface)
            return true;
        if (!device.empty() && usbDevicePath(resolved(root.path("/sys/block/" + other))) == device)
            return true;
    }
    return false;
}

} // namespace dravex
