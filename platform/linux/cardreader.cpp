#include "platform/linux/cardreader.h"

#include "platform/linux/drivemap.h"
#include "platform/linux/textfields.h"
#include "platform/linux/udevrecord.h"

#include <climits>
#include <cstdlib>
#include <memory>

namespace dravex {

namespace {

std::string idPathOf(const SystemRoot &root, const std::string &disk) {
    const auto dev = root.readFile("/sys/block/" + disk + "/dev");
    const auto number = dev ? parseMajorMinor(*dev) : std::nullopt;
    if (!number)
        return {};
    const auto text = root.readFile(udevDataPath(number->first, number->second));
    if (!text)
        return {};
    const UdevRecord record = parseUdevRecord(*text);
    const auto found = record.find("ID_PATH");
    return found == record.end() ? std::string() : found->second;
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
    const std::string interface = usbInterfacePath(idPathOf(root, diskKernelName));
    const std::string device = usbDevicePath(resolved(root.path("/sys/block/" + diskKernelName)));
    for (const std::string &other : root.listFolder("/sys/block")) {
        if (other == diskKernelName)
            continue;
        if (!interface.empty() && usbInterfacePath(idPathOf(root, other)) == interface)
            return true;
        if (!device.empty() && usbDevicePath(resolved(root.path("/sys/block/" + other))) == device)
            return true;
    }
    return false;
}

} // namespace dravex
