#include "platform/linux/linuxmanagementdata.h"

#include "platform/linux/identitytext.h"
#include "platform/linux/linuxusbstorageregistry.h"
#include "scan/drivescan.h"
#include "usbid/usbidentitylookup.h"

#include "fixtures.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace dravex {
namespace {

// The instances of a class, reading the tree as the tool would after its scan.
class Management {
public:
    explicit Management(const std::string &root) : m_volumes(root, m_mounter), m_data(m_volumes, root) {}

    std::vector<ManagementInstance> instancesOf(const std::string &className) {
        auto instances = m_data.InstancesOf(className);
        EXPECT_TRUE(instances.has_value()) << className;
        return instances.value_or(std::vector<ManagementInstance>{});
    }

    std::vector<std::string> property(const std::string &className, const std::string &name) {
        std::vector<std::string> values;
        for (const ManagementInstance &instance : instancesOf(className)) {
            const auto found = instance.properties.find(name);
            values.push_back(found == instance.properties.end() ? "<none>" : found->second);
        }
        return values;
    }

    LinuxVolumeServices &volumes() { return m_volumes; }

private:
    FakeMounter m_mounter;
    LinuxVolumeServices m_volumes;
    LinuxManagementData m_data;
};

std::string partitionOf(const std::string &host, unsigned disk, unsigned partition) {
    return "\\\\" + host + "\\root\\cimv2:Win32_DiskPartition.DeviceID=\"Disk #" + std::to_string(disk) +
           ", Partition #" + std::to_string(partition) + "\"";
}

std::string logicalDiskOf(const std::string &host, char letter) {
    return "\\\\" + host + "\\root\\cimv2:Win32_LogicalDisk.DeviceID=\"" + std::string(1, letter) + ":\"";
}

TEST(DiskNameLess, Table) {
    const struct {
        const char *left;
        const char *right;
        bool less;
    } cases[] = {
        {"sda", "sdb", true},
        {"sdb", "sda", false},
        {"sdz", "sdaa", true},
        {"sdaa", "sdz", false},
        {"sdaa", "sdab", true},
        {"sdzz", "sdaaa", true},
        {"nvme0n2", "nvme0n10", true},
        {"nvme0n10", "nvme0n2", false},
        {"nvme1n1", "nvme0n1", false},
        {"sdb", "mmcblk0", true},
        {"sda", "sda", false},
        {"sd01", "sd1", true},
        {"sd1", "sd01", false},
        {"", "sda", true},
        {"sda", "", false},
        {"sd-a", "sd-b", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(diskNameLess(c.left, c.right), c.less) << c.left << " < " << c.right;
}

TEST(IsVirtualDiskName, Table) {
    const struct {
        const char *name;
        bool isVirtual;
    } cases[] = {
        {"loop0", true},       {"loop12", true}, {"ram0", true},  {"zram0", true},    {"dm-0", true},
        {"md127", true},       {"nbd3", true},   {"sr0", true},   {"fd0", true},      {"mmcblk0boot0", true},
        {"mmcblk0rpmb", true}, {"sda", false},   {"sdaa", false}, {"nvme0n1", false}, {"mmcblk0", false},
        {"vda", false},        {"loop", false},  {"dm-", false},  {"mdx", false},     {"srb", false},
        {"", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(isVirtualDiskName(c.name), c.isVirtual) << c.name;
}

TEST(DeviceIdField, Table) {
    const struct {
        std::string text;
        size_t width;
        std::string field;
    } cases[] = {
        {"ABC", 8, "ABC"},
        {"FLASH DISK      ", 16, "FLASH_DISK"},
        {"USB Flash Drive 16GB", 16, "USB_FLASH_DRIVE"},
        {"Generic-", 8, "GENERIC-"},
        {"SD/MMC", 16, "SD/MMC"},
        {"a&b\\c,d", 8, "A_B_C_D"},
        {std::string("\x01\x7f\xc3\xa9", 4), 8, "____"},
        {"caf\xc3\xa9 au", 8, "CAF___AU"},
        {" lead", 8, "_LEAD"},
        {"", 8, ""},
        {"1.0.0.0.0", 4, "1.0."},
        {"zyx{|}~`@[", 16, "ZYX{|}~`@["},
    };
    for (const auto &c : cases)
        EXPECT_EQ(deviceIdField(c.text, c.width), c.field) << c.text;
}

TEST(AsciiUpperCase, Table) {
    const struct {
        std::string text;
        std::string upper;
    } cases[] = {
        {"07a1b2C3d4", "07A1B2C3D4"},
        {"az AZ 09", "AZ AZ 09"},
        {"`{@[", "`{@["},
        {"", ""},
        {"caf\xc3\xa9", "CAF\xc3\xa9"},
        {std::string("a\0b", 3), std::string("A\0B", 3)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(asciiUpperCase(c.text), c.upper) << c.text;
}

TEST(ManagementHostName, Table) {
    const struct {
        const char *text;
        const char *name;
    } cases[] = {
        {"bench-07\n", "BENCH-07"}, {" my host\\\"name:\x01\n", "MYHOSTNAME"},
        {"", "LOCALHOST"},          {"\n", "LOCALHOST"},
        {"\\\\\"", "LOCALHOST"},    {"a.b_c", "A.B_C"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(managementHostName(c.text), c.name) << c.text;
}

TEST(MofObjectText, Table) {
    const struct {
        std::map<std::string, MofValue> properties;
        std::string text;
    } cases[] = {
        {{}, "\ninstance of Win32_DiskDrive\n{\n};\n"},
        // Alphabetical with letter case ignored: "Partitions" before "PNPDeviceID".
        {{{"PNPDeviceID", {"USBSTOR\\DISK", false}},
          {"Partitions", {"1", true}},
          {"BytesPerSector", {"512", true}}},
         "\ninstance of Win32_DiskDrive\n{\n\tBytesPerSector = 512;\n\tPartitions = 1;\n"
         "\tPNPDeviceID = \"USBSTOR\\\\DISK\";\n};\n"},
        {{{"Caption", {"say \"hi\"", false}}},
         "\ninstance of Win32_DiskDrive\n{\n\tCaption = \"say \\\"hi\\\"\";\n};\n"},
        // Line ends and control bytes inside a text keep the description one property a line.
        {{{"Caption", {"a\nb\tc\x01", false}}},
         "\ninstance of Win32_DiskDrive\n{\n\tCaption = \"a\\nb\\tc\\x01\";\n};\n"},
        // Numbers are bare; a "number" that is none is quoted.
        {{{"Size", {"4026531840", true}}, {"Index", {"1;\n}", true}}, {"Name", {"42", false}}},
         "\ninstance of Win32_DiskDrive\n{\n\tIndex = \"1;\\n}\";\n\tName = \"42\";\n\tSize = "
         "4026531840;\n};\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(mofObjectText("Win32_DiskDrive", c.properties), c.text);
}

TEST(NumberedDisks, Table) {
    const struct {
        const char *tree;
        std::vector<std::string> disks;
    } cases[] = {
        // The loop device and the optical drive are no disks; the system disk is.
        {"identity-two-sticks", {"sda", "sdb", "sdc"}},
        // The eMMC boot area is none either.
        {"identity-sd-card", {"sdb", "mmcblk0"}},
        // A listed disk whose folder is gone keeps its number, so the others' do not move.
        {"identity-hostile", {"sdb", "sdc", "sdd", "sdz"}},
        {"hub-two-sticks", {"sda", "sdb", "sdc"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(numberedDisks(SystemRoot(sysroot(c.tree))), c.disks) << c.tree;
}

TEST(LinuxManagementData, ClassNames) {
    Management management(sysroot("identity-two-sticks"));
    EXPECT_EQ(management.instancesOf("Win32_DiskDrive").size(), 3u);
    EXPECT_EQ(management.instancesOf("  Win32_DiskDrive\t ").size(), 3u);
    EXPECT_EQ(management.instancesOf(" Win32_LogicalDiskToPartition ").size(), 2u);
    for (const char *unknown : {"win32_diskdrive", "Win32_Disk Drive", "Win32_DiskDrives",
                                "Win32_LogicalDisk", "Win32_DiskPartition", "", "   "})
        EXPECT_TRUE(management.instancesOf(unknown).empty()) << unknown;
}

TEST(LinuxManagementData, TwoSticks) {
    Management management(sysroot("identity-two-sticks"));
    // F is the stick on port 2, the kernel's sdc: disk 2. G on port 10 is sdb: disk 1.
    EXPECT_EQ(management.property("Win32_LogicalDiskToPartition", "Antecedent"),
              (std::vector<std::string>{partitionOf("BENCH-07", 2, 0), partitionOf("BENCH-07", 1, 0)}));
    EXPECT_EQ(management.property("Win32_LogicalDiskToPartition", "Dependent"),
              (std::vector<std::string>{logicalDiskOf("BENCH-07", 'F'), logicalDiskOf("BENCH-07", 'G')}));
    EXPECT_EQ(management.property("Win32_DiskDrive", "Name"),
              (std::vector<std::string>{"\\\\.\\PHYSICALDRIVE0", "\\\\.\\PHYSICALDRIVE1",
                                        "\\\\.\\PHYSICALDRIVE2"}));
    // Recent udev's ID_USB_ keys on sdb, older udev's ID_ keys on sdc: the same ids from both, in upper
    // case as Windows writes them; SerialNumber keeps the device's own case.
    EXPECT_EQ(
        management.property("Win32_DiskDrive", "PNPDeviceID"),
        (std::vector<std::string>{"SCSI\\DISK&VEN_ATA&PROD_SAMSUNG_SSD_860&REV_RVT0\\7&8ED9ED53&0",
                                  "USBSTOR\\DISK&VEN_ABC&PROD_FLASH_DISK&REV_1100\\AA04012700007245&0",
                                  "USBSTOR\\DISK&VEN_KINGMAX&PROD_USB_FLASH_DRIVE&REV_PMAP\\07A1B2C3D4&0"}));
    EXPECT_EQ(management.property("Win32_DiskDrive", "Caption"),
              (std::vector<std::string>{"Samsung SSD 860 EVO 500GB", "ABC FLASH DISK USB Device",
                                        "Kingmax USB Flash Drive 16GB Pro USB Device"}));
    EXPECT_EQ(management.property("Win32_DiskDrive", "InterfaceType"),
              (std::vector<std::string>{"IDE", "USB", "USB"}));
    EXPECT_EQ(management.property("Win32_DiskDrive", "MediaType"),
              (std::vector<std::string>{"Fixed hard disk media", "Removable Media", "Removable Media"}));
    EXPECT_EQ(management.property("Win32_DiskDrive", "SerialNumber"),
              (std::vector<std::string>{"S3Z1NB0K123456A", "AA04012700007245", "07a1b2C3d4"}));
    EXPECT_EQ(management.property("Win32_DiskDrive", "Size"),
              (std::vector<std::string>{"500107862016", "4026531840", "15489564672"}));
    EXPECT_EQ(management.property("Win32_DiskDrive", "BytesPerSector"),
              (std::vector<std::string>{"512", "512", "4096"}));
    EXPECT_EQ(management.property("Win32_DiskDrive", "Partitions"),
              (std::vector<std::string>{"2", "1", "1"}));

    const auto drives = management.instancesOf("Win32_DiskDrive");
    ASSERT_EQ(drives.size(), 3u);
    EXPECT_EQ(drives[1].objectText, "\n"
                                    "instance of Win32_DiskDrive\n"
                                    "{\n"
                                    "\tBytesPerSector = 512;\n"
                                    "\tCaption = \"ABC FLASH DISK USB Device\";\n"
                                    "\tDeviceID = \"\\\\\\\\.\\\\PHYSICALDRIVE1\";\n"
                                    "\tIndex = 1;\n"
                                    "\tInterfaceType = \"USB\";\n"
                                    "\tMediaType = \"Removable Media\";\n"
                                    "\tModel = \"ABC FLASH DISK USB Device\";\n"
                                    "\tName = \"\\\\\\\\.\\\\PHYSICALDRIVE1\";\n"
                                    "\tPartitions = 1;\n"
                                    "\tPNPDeviceID = \"USBSTOR\\\\DISK&VEN_ABC&PROD_FLASH_DISK&REV_1100\\\\"
                                    "AA04012700007245&0\";\n"
                                    "\tSerialNumber = \"AA04012700007245\";\n"
                                    "\tSize = 4026531840;\n"
                                    "};\n");
    const auto links = management.instancesOf("Win32_LogicalDiskToPartition");
    ASSERT_EQ(links.size(), 2u);
    EXPECT_EQ(links[0].objectText,
              "\n"
              "instance of Win32_LogicalDiskToPartition\n"
              "{\n"
              "\tAntecedent = \"\\\\\\\\BENCH-07\\\\root\\\\cimv2:Win32_DiskPartition.DeviceID="
              "\\\"Disk #2, Partition #0\\\"\";\n"
              "\tDependent = \"\\\\\\\\BENCH-07\\\\root\\\\cimv2:Win32_LogicalDisk.DeviceID="
              "\\\"F:\\\"\";\n"
              "};\n");
}

TEST(LinuxManagementData, CardReader) {
    Management management(sysroot("identity-card-reader"));
    // Only the slot with a card has a volume; the empty slot F has none.
    EXPECT_EQ(management.property("Win32_LogicalDiskToPartition", "Antecedent"),
              (std::vector<std::string>{partitionOf("BENCH-07", 1, 0)}));
    EXPECT_EQ(management.property("Win32_LogicalDiskToPartition", "Dependent"),
              (std::vector<std::string>{logicalDiskOf("BENCH-07", 'G')}));
    // One device, one serial; the slot's LUN ends each id.
    EXPECT_EQ(
        management.property("Win32_DiskDrive", "PNPDeviceID"),
        (std::vector<std::string>{"USBSTOR\\DISK&VEN_GENERIC-&PROD_SD/MMC&REV_1.00\\058F63666433&0",
                                  "USBSTOR\\DISK&VEN_GENERIC-&PROD_MS/MS-PRO&REV_1.00\\058F63666433&1"}));
    EXPECT_EQ(management.property("Win32_DiskDrive", "Size"),
              (std::vector<std::string>{"<none>", "1977614336"}));
    EXPECT_EQ(management.property("Win32_DiskDrive", "Partitions"), (std::vector<std::string>{"0", "1"}));
}

TEST(LinuxManagementData, StickWithoutSerial) {
    Management management(sysroot("identity-no-serial"));
    EXPECT_EQ(management.property("Win32_LogicalDiskToPartition", "Antecedent"),
              (std::vector<std::string>{partitionOf("LOCALHOST", 0, 0)}));
    EXPECT_EQ(management.property("Win32_DiskDrive", "PNPDeviceID"),
              (std::vector<std::string>{"USBSTOR\\DISK&VEN_SMI&PROD_USB_DISK&REV_1100\\7&E23FCF30&0"}));
    EXPECT_EQ(management.property("Win32_DiskDrive", "SerialNumber"), (std::vector<std::string>{"<none>"}));
}

TEST(LinuxManagementData, SdCardIsNoUsbStorage) {
    Management management(sysroot("identity-sd-card"));
    EXPECT_EQ(management.property("Win32_LogicalDiskToPartition", "Antecedent"),
              (std::vector<std::string>{partitionOf("LOCALHOST", 0, 0), partitionOf("LOCALHOST", 1, 0)}));
    EXPECT_EQ(management.property("Win32_DiskDrive", "PNPDeviceID"),
              (std::vector<std::string>{"USBSTOR\\DISK&VEN_ABC&PROD_FLASH_DISK&REV_1100\\CARDSTICK01&0",
                                        "SCSI\\DISK&VEN_&PROD_SD32G&REV_\\7&4EF5EED6&0"}));
    EXPECT_EQ(management.property("Win32_DiskDrive", "InterfaceType"),
              (std::vector<std::string>{"USB", "SCSI"}));
    EXPECT_EQ(management.property("Win32_DiskDrive", "MediaType"),
              (std::vector<std::string>{"Removable Media", "Removable Media"}));
}

TEST(LinuxManagementData, HostileDeviceData) {
    Management management(sysroot("identity-hostile"));
    EXPECT_EQ(management.property("Win32_LogicalDiskToPartition", "Antecedent"),
              (std::vector<std::string>{partitionOf("MYHOSTNAME", 2, 0), partitionOf("MYHOSTNAME", 1, 0)}));
    // sdb: no udev record, the SCSI inquiry instead; a serial with control bytes and ","; garbage size,
    // block size and "removable". sdc: hardly any udev keys. sdd: texts that would break the id. sdz: gone.
    EXPECT_EQ(
        management.property("Win32_DiskDrive", "PNPDeviceID"),
        (std::vector<std::string>{"USBSTOR\\DISK&VEN_INTENSO&PROD_RAINBOW_LINE&REV_8.07\\7&E43FD256&0",
                                  "USBSTOR\\DISK&VEN_&PROD_&REV_\\HOSTILE02&0",
                                  "USBSTOR\\DISK&VEN_SAY\"HI\"_&PROD_VERY_LONG_MODEL_&REV_1.0.\\7&E23FCF30&0",
                                  "SCSI\\DISK&VEN_&PROD_&REV_\\7&CA24CEB8&0"}));
    EXPECT_EQ(
        management.property("Win32_DiskDrive", "Caption"),
        (std::vector<std::string>{"Intenso Rainbow Line USB Device", "USB Device",
                                  "Say\"hi\"\\ Very_Long_Model_Name_Beyond_Sixteen USB Device", "<none>"}));
    EXPECT_EQ(management.property("Win32_DiskDrive", "Size"),
              (std::vector<std::string>{"<none>", "4026531840", "4026531840", "<none>"}));
    EXPECT_EQ(management.property("Win32_DiskDrive", "BytesPerSector"),
              (std::vector<std::string>{"512", "512", "512", "512"}));
    EXPECT_EQ(management.property("Win32_DiskDrive", "MediaType"),
              (std::vector<std::string>{"Fixed hard disk media", "Removable Media", "Removable Media",
                                        "Fixed hard disk media"}));
    EXPECT_EQ(management.property("Win32_DiskDrive", "SerialNumber"),
              (std::vector<std::string>{"<none>", "HOSTILE02", "<none>", "<none>"}));
    const auto drives = management.instancesOf("Win32_DiskDrive");
    ASSERT_EQ(drives.size(), 4u);
    EXPECT_NE(drives[2].objectText.find("\tCaption = \"Say\\\"hi\\\"\\\\ Very_Long"), std::string::npos)
        << drives[2].objectText;
}

// The identity each row of a scan with "查看VPSN" ticked shows, as the real lookup finds it over the Linux
// services: the letter's disk through its association, vendor, product, revision and serial by position from
// that disk's id, and VID/PID from the mass-storage entry whose serial equals the id's in upper or lower
// case.
struct ShownIdentity {
    std::string letter;
    std::string deviceName;
    std::string deviceSerial;
    std::string deviceKey;

    bool operator==(const ShownIdentity &other) const {
        return letter == other.letter && deviceName == other.deviceName &&
               deviceSerial == other.deviceSerial && deviceKey == other.deviceKey;
    }
};

std::ostream &operator<<(std::ostream &out, const ShownIdentity &shown) {
    return out << shown.letter << " [" << shown.deviceName << "] [" << shown.deviceSerial << "] ["
               << shown.deviceKey << "]";
}

// Most identity trees list their volumes unmounted: each mounts at the tree's root, which is all a scan
// needs of it.
class MountsAtRoot : public Mounter {
public:
    std::optional<std::string> mount(const std::string &) override { return "/"; }
};

class IdentityOverLinux {
public:
    explicit IdentityOverLinux(const std::string &root)
        : m_volumes(root, m_mounter), m_management(m_volumes, root), m_registry(root),
          m_lookup(m_management, m_registry), m_scan(m_volumes, m_table, m_window, Variant::V2) {
        ScanSteps steps;
        steps.lookupDriveIdentity = [this](const std::string &letter) {
            m_lookup.LookupDriveIdentity(letter);
            return m_lookup.identity();
        };
        m_scan.setSteps(steps);
        m_window.check2 = kChecked;
    }

    std::vector<ShownIdentity> scan() {
        m_scan.chus();
        std::vector<ShownIdentity> rows;
        for (const DriveSlot &slot : m_table.slots) {
            if (!slot.letter.empty())
                rows.push_back({slot.letter, slot.deviceName, slot.deviceSerial, slot.deviceKey});
        }
        return rows;
    }

    UsbIdentityLookup &lookup() { return m_lookup; }

private:
    MountsAtRoot m_mounter;
    LinuxVolumeServices m_volumes;
    LinuxManagementData m_management;
    LinuxUsbStorageRegistry m_registry;
    UsbIdentityLookup m_lookup;
    DriveTable m_table;
    MainWindowState m_window;
    DriveScan m_scan;
};

TEST(IdentityOverLinux, ScanWithIdentityBoxTicked) {
    const struct {
        const char *tree;
        std::vector<ShownIdentity> rows;
    } cases[] = {
        // F's serial 07a1b2C3d4 is mixed case: the id's upper-case form matches neither form of the entry's.
        // Only the first "_"-word of a product shows.
        {"identity-two-sticks",
         {{"F", "KINGMAX USB PMAP", "S/N:07A1B2C3D4", ""},
          {"G", "ABC FLASH 1100", "S/N:AA04012700007245", "VID_1234&PID_ABCD"}}},
        // The reader's card in its second slot; the device's one entry serves both slots.
        {"identity-card-reader", {{"G", "GENERIC- MS/MS-PRO 1.00", "S/N:058F63666433", "VID_058F&PID_6366"}}},
        // A made-up instance id: its first "&"-piece is all the serial there is, and no entry ends in it.
        {"identity-no-serial", {{"F", "SMI USB 1100", "S/N:7", ""}}},
        // The SD card in the machine's own slot is no USB disk: empty vendor and revision, no entry.
        {"identity-sd-card",
         {{"F", "ABC FLASH 1100", "S/N:CARDSTICK01", "VID_1234&PID_ABCD"}, {"G", " SD32G ", "S/N:7", ""}}},
        // Texts that would break the id leave only their first words. G's record lacks the file-system keys
        // too, so its volume cannot be read and the scan looks nothing up for it.
        {"identity-hostile", {{"F", "SAY\"HI\" VERY 1.0.", "S/N:7", ""}, {"G", "", "", ""}}},
    };
    for (const auto &c : cases) {
        IdentityOverLinux machine(sysroot(c.tree));
        EXPECT_EQ(machine.scan(), c.rows) << c.tree;
    }
}

TEST(IdentityOverLinux, DiskWithoutUdevKeys) {
    IdentityOverLinux machine(sysroot("identity-hostile"));
    machine.scan();
    UsbIdentityLookup &lookup = machine.lookup();
    // No vendor, product or revision anywhere, yet the device's own serial still finds its entry.
    lookup.LookupDriveIdentity("G");
    const UsbIdentity &identity = lookup.identity();
    EXPECT_EQ(identity.vendor + " " + identity.product + " " + identity.revision, "  ");
    EXPECT_EQ(identity.serial, "HOSTILE02");
    EXPECT_EQ(identity.vidPid, "VID_1B1C&PID_1A0F");
}

TEST(IdentityOverLinux, LetterWithoutDiskShowsNoIdentity) {
    IdentityOverLinux machine(sysroot("identity-card-reader"));
    machine.scan();
    UsbIdentityLookup &lookup = machine.lookup();
    lookup.LookupDriveIdentity("G");
    ASSERT_EQ(lookup.identity().serial, "058F63666433");
    // F is the reader's empty slot, Z no drive at all: neither has an association, so nothing of G stays.
    for (const char *letter : {"F", "Z", ""}) {
        lookup.LookupDriveIdentity(letter);
        const UsbIdentity &identity = lookup.identity();
        EXPECT_EQ(identity.vendor + " " + identity.product + " " + identity.revision, "  ") << letter;
        EXPECT_EQ("S/N:" + identity.serial, "S/N:") << letter;
        EXPECT_EQ(identity.vidPid, "") << letter;
    }
}

TEST(LinuxManagementData, ReadsAfreshOnEachCall) {
    TemporaryFolder folder;
    std::filesystem::copy(sysroot("identity-two-sticks"), folder.path(),
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::copy_symlinks);
    Management management(folder.path().string());
    ASSERT_EQ(management.instancesOf("Win32_DiskDrive").size(), 3u);
    management.volumes().refreshDriveList();
    // sdb, the stick behind G, is pulled after the scan: the disks after it move up a number, and G has no
    // disk left to name.
    std::filesystem::remove(folder.path() / "sys/block/sdb");
    EXPECT_EQ(management.property("Win32_DiskDrive", "Name"),
              (std::vector<std::string>{"\\\\.\\PHYSICALDRIVE0", "\\\\.\\PHYSICALDRIVE1"}));
    EXPECT_EQ(management.property("Win32_LogicalDiskToPartition", "Antecedent"),
              (std::vector<std::string>{partitionOf("BENCH-07", 1, 0)}));
    EXPECT_EQ(management.property("Win32_LogicalDiskToPartition", "Dependent"),
              (std::vector<std::string>{logicalDiskOf("BENCH-07", 'F')}));
}

TEST(LinuxManagementData, DiskListAfterAssociationsKeepsTheirNumbers) {
    TemporaryFolder folder;
    const std::string root = copySysroot("identity-two-sticks", folder.path());
    Management management(root);
    management.volumes().refreshDriveList();
    // F names disk 2, the Kingmax stick on sdc.
    ASSERT_EQ(management.property("Win32_LogicalDiskToPartition", "Antecedent").front(),
              partitionOf("BENCH-07", 2, 0));
    // sdb is pulled between the two lists: disk 2 must still be the stick F was found on.
    std::filesystem::remove(std::filesystem::path(root) / "sys/block/sdb");
    const auto afterAssociations = management.property("Win32_DiskDrive", "PNPDeviceID");
    ASSERT_EQ(afterAssociations.size(), 3u);
    EXPECT_EQ(afterAssociations[2], "USBSTOR\\DISK&VEN_KINGMAX&PROD_USB_FLASH_DRIVE&REV_PMAP\\07A1B2C3D4&0");
    // The next disk list is read afresh, and numbers what is there now.
    EXPECT_EQ(
        management.property("Win32_DiskDrive", "PNPDeviceID"),
        (std::vector<std::string>{"SCSI\\DISK&VEN_ATA&PROD_SAMSUNG_SSD_860&REV_RVT0\\7&8ED9ED53&0",
                                  "USBSTOR\\DISK&VEN_KINGMAX&PROD_USB_FLASH_DRIVE&REV_PMAP\\07A1B2C3D4&0"}));
}

} // namespace
} // namespace dravex
