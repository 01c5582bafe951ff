#include "platform/linux/windows/linuxmanagementdata.h"

#include "platform/linux/sysfs/textfields.h"
#include "platform/linux/sysfs/udevrecord.h"
#include "platform/linux/windows/identitytext.h"
#include "platform/linux/windows/linuxusbstorageregistry.h"

#include <algorithm>
#include <limits>

namespace dravex {

namespace {

constexpr uint64_t kSectorBytes = 512;
constexpr uint64_t kLargestBlock = 65536;
// The widths of the SCSI inquiry fields that Windows puts in a disk's device id.
constexpr size_t kVendorWidth = 8;
constexpr size_t kProductWidth = 16;
constexpr size_t kRevisionWidth = 4;

using MofProperties = std::map<std::string, MofValue>;

std::string valueOf(const UdevRecord &record, const std::string &key) {
    const auto found = record.find(key);
    return found == record.end() ? std::string() : found->second;
}

// The LUN in udev's ID_PATH, "...-scsi-0:0:0:1"; 0 when it names none.
unsigned lunOfIdPath(const std::string &idPath) {
    const size_t scsi = idPath.rfind("-scsi-");
    if (scsi == std::string::npos)
        return 0;
    return scsiAddressLun(std::string_view(idPath).substr(scsi + 6)).value_or(0);
}

ManagementInstance makeInstance(const std::string &className, const MofProperties &properties) {
    ManagementInstance instance;
    for (const auto &property : properties)
        instance.properties[property.first] = property.second.text;
    instance.objectText = mofObjectText(className, properties);
    return instance;
}

std::string trimmedClassName(const std::string &name) {
    const size_t first = name.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return name.substr(first, name.find_last_not_of(" \t") - first + 1);
}

// The disks as Win32_DiskDrive numbers them: every disk of the inventory except those that are no drives
// to Windows (isVirtualDiskName, and optical drives), in diskNameLess order; a disk's number is its place in
// this list, so sda, sdb, ... are disks 0, 1, ... on a machine of SCSI disks.
std::vector<const DiskRecord *> numberedDisks(const DiskInventory &inventory) {
    std::vector<const DiskRecord *> disks;
    for (const DiskRecord &disk : inventory.disks()) {
        if (!isVirtualDiskName(disk.name()) && !disk.optical)
            disks.push_back(&disk);
    }
    std::sort(disks.begin(), disks.end(),
              [](const DiskRecord *a, const DiskRecord *b) { return diskNameLess(a->name(), b->name()); });
    return disks;
}

} // namespace

LinuxManagementData::LinuxManagementData(LinuxVolumeServices &volumes, std::string root)
    : m_volumes(volumes), m_root(std::move(root)) {}

std::optional<std::vector<ManagementInstance>>
LinuxManagementData::InstancesOf(const std::string &className) {
    const std::string name = trimmedClassName(className);
    if (name == "Win32_LogicalDiskToPartition")
        return logicalDisksToPartitions(numberedDisks(m_volumes.inventory()));
    if (name == "Win32_DiskDrive") {
        const std::vector<const DiskRecord *> disks = numberedDisks(m_volumes.inventory());
        const uint64_t reading = m_volumes.driveListReadings();
        if (!m_diskDrives || m_diskDrives->first != reading)
            m_diskDrives = std::make_pair(reading, diskDrives(disks));
        return m_diskDrives->second;
    }
    return std::vector<ManagementInstance>{};
}

std::vector<ManagementInstance>
LinuxManagementData::logicalDisksToPartitions(const std::vector<const DiskRecord *> &numbering) {
    const std::string machine =
        "\\\\" + managementHostName(m_root.readFile("/proc/sys/kernel/hostname").value_or("")) +
        "\\root\\cimv2:";
    std::vector<std::string> disks;
    for (const DiskRecord *disk : numbering)
        disks.push_back(disk->name());
    std::vector<ManagementInstance> instances;
    // The letters are those of the last scan; whether each volume is still there is read now.
    for (const MappedVolume &volume : m_volumes.driveMap().volumes()) {
        if (!volume.letter || !volume.hasMedium)
            continue;
        const auto disk = std::find(disks.begin(), disks.end(), volume.diskName);
        if (disk == disks.end())
            continue;
        const std::string diskFolder = "/sys/block/" + volume.diskName;
        const std::string folder =
            volume.volumeName == volume.diskName ? diskFolder : diskFolder + "/" + volume.volumeName;
        const auto dev = m_root.readFile(folder + "/dev");
        const auto device = dev ? parseMajorMinor(*dev) : std::nullopt;
        if (!device || device->first != volume.major || device->second != volume.minor ||
            m_root.numberAttribute(diskFolder + "/size").value_or(0) == 0)
            continue;
        const unsigned partition = volume.partitionNumber > 0 ? volume.partitionNumber - 1 : 0;
        MofProperties properties;
        properties["Antecedent"].text = machine + "Win32_DiskPartition.DeviceID=\"Disk #" +
                                        std::to_string(disk - disks.begin()) + ", Partition #" +
                                        std::to_string(partition) + "\"";
        properties["Dependent"].text =
            machine + "Win32_LogicalDisk.DeviceID=\"" + std::string(1, *volume.letter) + ":\"";
        instances.push_back(makeInstance("Win32_LogicalDiskToPartition", properties));
    }
    return instances;
}

std::vector<ManagementInstance>
LinuxManagementData::diskDrives(const std::vector<const DiskRecord *> &disks) const {
    std::vector<ManagementInstance> instances;
    for (size_t number = 0; number < disks.size(); ++number) {
        const DiskRecord &diskRecord = *disks[number];
        const std::string &disk = diskRecord.name();
        const std::string folder = "/sys/block/" + disk;
        const std::string device = folder + "/device/";
        const UdevRecord &record = diskRecord.disk.udev;
        const std::optional<UsbAttachment> &attachment = diskRecord.usb;
        const std::string bus = valueOf(record, "ID_BUS");
        const std::string driver = valueOf(record, "ID_USB_DRIVER");
        const bool usb = attachment || bus == "usb" || driver == "usb-storage" || driver == "uas";

        MofProperties properties;
        const auto setText = [&](const std::string &name, const std::string &text) {
            properties[name] = MofValue{text, false};
        };
        const auto setNumber = [&](const std::string &name, uint64_t value) {
            properties[name] = MofValue{std::to_string(value), true};
        };

        const std::string name = "\\\\.\\PHYSICALDRIVE" + std::to_string(number);
        setText("Name", name);
        setText("DeviceID", name);
        setNumber("Index", number);

        const std::string vendor = readableDeviceField(m_root, record, "VENDOR", device + "vendor");
        std::string model = readableDeviceField(m_root, record, "MODEL", device + "model");
        if (model.empty())
            model = readableField(valueOf(record, "ID_NAME")); // SD and MMC cards name themselves so
        std::string caption;
        // Windows leaves the "ATA" of SATA disks out of their names.
        if (!vendor.empty() && !(vendor == "ATA" && !usb))
            caption = vendor;
        if (!model.empty())
            caption += (caption.empty() ? "" : " ") + model;
        if (usb)
            caption += caption.empty() ? "USB Device" : " USB Device";
        if (!caption.empty()) {
            setText("Caption", caption);
            setText("Model", caption);
        }

        setText("InterfaceType", usb ? "USB" : (bus == "ata" ? "IDE" : "SCSI"));
        setText("MediaType", diskRecord.removable == true ? "Removable Media" : "Fixed hard disk media");
        const uint64_t block = m_root.numberAttribute(folder + "/queue/logical_block_size").value_or(0);
        setNumber("BytesPerSector", block > 0 && block <= kLargestBlock ? block : kSectorBytes);
        setNumber("Partitions", diskRecord.partitions.size());
        const uint64_t sectors = diskRecord.disk.sectors;
        if (sectors > 0 && sectors <= std::numeric_limits<uint64_t>::max() / kSectorBytes)
            setNumber("Size", sectors * kSectorBytes);

        const std::string idPath = valueOf(record, "ID_PATH");
        std::string productText = idDeviceField(m_root, record, "MODEL", device + "model");
        if (productText.empty())
            productText = valueOf(record, "ID_NAME");
        const std::string fields =
            "DISK&VEN_" +
            deviceIdField(idDeviceField(m_root, record, "VENDOR", device + "vendor"), kVendorWidth) +
            "&PROD_" + deviceIdField(productText, kProductWidth) + "&REV_" +
            deviceIdField(idDeviceField(m_root, record, "REVISION", device + "rev"), kRevisionWidth);
        if (usb) {
            // The same port and serial as the registry's entry of the device, so the two can be matched.
            const std::string port = attachment ? attachment->portPath : (idPath.empty() ? disk : idPath);
            const unsigned lun = attachment ? attachment->lun : lunOfIdPath(idPath);
            const std::string serial = usbSerial(m_root, record, attachment ? attachment->deviceFolder : "");
            const bool usable = isUsableSerial(serial);
            if (usable)
                setText("SerialNumber", serial);
            // The id carries the serial in upper case, SerialNumber and the registry's entry as the device
            // reports it.
            setText("PNPDeviceID", "USBSTOR\\" + fields + "\\" +
                                       (usable ? asciiUpperCase(serial) + "&" + std::to_string(lun)
                                               : generatedInstanceId(port, lun)));
        } else {
            std::string serial = valueOf(record, "ID_SERIAL_SHORT");
            if (serial.empty())
                serial = valueOf(record, "ID_SERIAL");
            if (isUsableSerial(serial))
                setText("SerialNumber", serial);
            setText("PNPDeviceID",
                    "SCSI\\" + fields + "\\" + generatedInstanceId(idPath.empty() ? disk : idPath, 0));
        }
        instances.push_back(makeInstance("Win32_DiskDrive", properties));
    }
    return instances;
}

} // namespace dravex
