#include "platform/linux/record/stickdescription.h"

#include "platform/linux/sysfs/diskinventory.h"
#include "platform/linux/sysfs/drivemap.h"
#include "platform/linux/windows/identitytext.h"
#include "platform/linux/windows/labeltext.h"
#include "platform/linux/windows/linuxusbstorageregistry.h"

namespace dravex {

std::optional<StickDescription> describeStick(const SystemRoot &root, char letter) {
    return describeStick(root, DiskInventory::read(root), letter);
}

std::optional<StickDescription> describeStick(const SystemRoot &root, const DiskInventory &inventory,
                                              char letter) {
    const DriveMap map = DriveMap::build(inventory);
    const MappedVolume *volume = map.find(letter);
    if (!volume)
        return std::nullopt;
    StickDescription stick;
    stick.letter = std::string(1, letter);
    stick.diskseq = volume->diskseq;
    stick.diskName = volume->diskName;
    stick.portPath = volume->portPath;
    const DiskRecord *disk = inventory.find(volume->diskName);
    if (!disk)
        return stick;
    const UdevRecord &record = disk->disk.udev;
    const std::string deviceFolder = disk->usb ? disk->usb->deviceFolder : std::string();
    if (disk->usb)
        stick.portPath = disk->usb->portPath;
    const auto hexId = [&](const char *udevName, const char *descriptor) {
        if (auto id = usbHexId(usbProperty(record, udevName)))
            return *id;
        return deviceFolder.empty() ? std::string()
                                    : usbHexId(root.attribute(deviceFolder + "/" + descriptor)).value_or("");
    };
    stick.vendorId = hexId("VENDOR_ID", "idVendor");
    stick.productId = hexId("MODEL_ID", "idProduct");
    stick.serial = usbSerial(root, record, deviceFolder);
    const std::string device = "/sys/block/" + disk->name() + "/device/";
    stick.vendor = readableDeviceField(root, record, "VENDOR", device + "vendor");
    stick.product = readableDeviceField(root, record, "MODEL", device + "model");
    stick.revision = readableDeviceField(root, record, "REVISION", device + "rev");
    stick.capacityBytes = disk->disk.sectors * 512;
    for (const BlockDevice *each : disk->devices()) {
        if (each->name != volume->volumeName)
            continue;
        stick.fileSystem = windowsFileSystemName(each->fileSystemType(), each->udevValue("ID_FS_VERSION"));
        stick.label = labelToUtf8(each->labelBytes());
    }
    return stick;
}

} // namespace dravex
