#include "platform/linux/linuxmanagementdata.h"

#include "platform/linux/identitytext.h"
#include "platform/linux/linuxusbstorageregistry.h"

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
        {"USB Flash Drive 16GB", 16, "USB_Flash_Drive"},
        {"Generic-", 8, "Generic-"},
        {"SD/MMC", 16, "SD/MMC"},
        {"A&B\\C,D", 8, "A_B_C_D"},
        {std::string("\x01\x7f\xc3\xa9", 4), 8, "____"},
        {" lead", 8, "_lead"},
        {"", 8, ""},
        {"1.0.0.0.0", 4, "1.0."},
    };
    for (const auto &c : cases)
        EXPECT_EQ(deviceIdField(c.text, c.width), c.field) << c.text;
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
    // Recent udev's ID_USB_ keys on sdb, older udev's ID_ keys on sdc: the same ids from both.
    EXPECT_EQ(
        management.property("Win32_DiskDrive", "PNPDeviceID"),
        (std::vector<std::string>{"SCSI\\DISK&VEN_ATA&PROD_Samsung_SSD_860&REV_RVT0\\7&8ED9ED53&0",
                                  "USBSTOR\\DISK&VEN_ABC&PROD_FLASH_DISK&REV_1100\\AA04012700007245&0",
                                  "USBSTOR\\DISK&VEN_Kingmax&PROD_USB_Flash_Drive&REV_PMAP\\07a1b2C3d4&0"}));
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
        (std::vector<std::string>{"USBSTOR\\DISK&VEN_Generic-&PROD_SD/MMC&REV_1.00\\058F63666433&0",
                                  "USBSTOR\\DISK&VEN_Generic-&PROD_MS/MS-Pro&REV_1.00\\058F63666433&1"}));
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
        (std::vector<std::string>{"USBSTOR\\DISK&VEN_Intenso&PROD_Rainbow_Line&REV_8.07\\7&E43FD256&0",
                                  "USBSTOR\\DISK&VEN_&PROD_&REV_\\HOSTILE02&0",
                                  "USBSTOR\\DISK&VEN_Say\"hi\"_&PROD_Very_Long_Model_&REV_1.0.\\7&E23FCF30&0",
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

// The logic finds a letter's disk through Antecedent's number and that disk's USB identity through
// PNPDeviceID and the registry list: all three must name the same stick.
TEST(LinuxManagementData, LettersDisksAndRegistryAgree) {
    const struct {
        const char *tree;
        std::map<char, std::string> letterIds; // the stick's instance id, as the registry lists it
    } cases[] = {
        {"identity-two-sticks", {{'F', "07a1b2C3d4"}, {'G', "AA04012700007245"}}},
        {"identity-card-reader", {{'G', "058F63666433"}}},
        {"identity-no-serial", {{'F', "7&E23FCF30&0"}}},
        {"identity-sd-card", {{'F', "CARDSTICK01"}}},
        {"identity-hostile", {{'F', "7&E23FCF30&0"}, {'G', "HOSTILE02"}}},
    };
    for (const auto &c : cases) {
        Management management(sysroot(c.tree));
        LinuxUsbStorageRegistry registry(sysroot(c.tree));
        const auto entries = registry.entries();
        const auto drives = management.instancesOf("Win32_DiskDrive");
        std::map<char, std::string> found;
        for (const ManagementInstance &link : management.instancesOf("Win32_LogicalDiskToPartition")) {
            const std::string antecedent = link.properties.at("Antecedent");
            const std::string dependent = link.properties.at("Dependent");
            const size_t hash = antecedent.find("Disk #");
            ASSERT_NE(hash, std::string::npos) << antecedent;
            const std::string number = antecedent.substr(hash + 6, antecedent.find(',', hash) - hash - 6);
            const char letter = dependent.at(dependent.size() - 3);
            for (const ManagementInstance &drive : drives) {
                if (drive.properties.at("Name") != "\\\\.\\PHYSICALDRIVE" + number)
                    continue;
                const std::string pnp = drive.properties.at("PNPDeviceID");
                const std::string instance = pnp.substr(pnp.rfind('\\') + 1);
                for (const std::string &entry : entries) {
                    const std::string id = entry.substr(entry.rfind('\\') + 1);
                    if (instance == id || instance.compare(0, id.size() + 1, id + "&") == 0)
                        found[letter] = id;
                }
            }
        }
        EXPECT_EQ(found, c.letterIds) << c.tree;
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

} // namespace
} // namespace dravex
