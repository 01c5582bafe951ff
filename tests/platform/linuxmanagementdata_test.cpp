#include "platform/linux/windows/linuxmanagementdata.h"

#include "platform/linux/windows/identitytext.h"
#include "platform/linux/windows/linuxusbstorageregistry.h"
#include "platform/linux/windows/iconvcodepage.h"
#include "platform/sim/simbench.h"
#include "station/qastation.h"
#include "usbid/usbidentitylookup.h"

#include "fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>

namespace dravex {
namespace {

using Lines = std::vector<std::string>;

// The instances of a class, reading the tree as the tool would after its scan.
class Management {
public:
    explicit Management(const std::string &root) : m_volumes(root, m_mounter), m_data(m_volumes, root) {}

    std::vector<ManagementInstance> instancesOf(const std::string &className) {
        auto instances = m_data.InstancesOf(className);
        EXPECT_TRUE(instances.has_value()) << className;
        return instances.value_or(std::vector<ManagementInstance>{});
    }

    // Each instance as its named properties joined by "|", "<none>" for one it lacks.
    Lines lines(const std::string &className, const Lines &names) {
        Lines lines;
        for (const ManagementInstance &instance : instancesOf(className)) {
            std::string line;
            for (const std::string &name : names) {
                const auto found = instance.properties.find(name);
                line += (line.empty() ? "" : "|") +
                        (found == instance.properties.end() ? "<none>" : found->second);
            }
            lines.push_back(line);
        }
        return lines;
    }

    Lines links() { return lines("Win32_LogicalDiskToPartition", {"Antecedent", "Dependent"}); }

    LinuxVolumeServices &volumes() { return m_volumes; }

private:
    FakeMounter m_mounter;
    LinuxVolumeServices m_volumes;
    LinuxManagementData m_data;
};

// Names built from runs of every kind and of different lengths, letters of both cases, leading zeros and
// bytes beyond ASCII.
std::vector<std::string> awkwardDiskNames() {
    const std::vector<std::string> pieces = {"",   "a", "b",  "AA",   "_", "0",
                                             "00", "1", "10", "\xff", " ", "sd"};
    std::vector<std::string> names;
    for (const std::string &first : pieces)
        for (const std::string &second : pieces)
            names.push_back(first + second);
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

TEST(IdentityText, DiskNameOrderIsStrictAndTransitive) {
    // Once b < AA < _ < b, which left std::sort's result to chance.
    EXPECT_TRUE(diskNameLess("b", "AA"));
    EXPECT_TRUE(diskNameLess("_", "AA"));
    EXPECT_TRUE(diskNameLess("_", "b"));
    const std::vector<std::string> names = awkwardDiskNames();
    ASSERT_GT(names.size(), 100u);
    for (const std::string &a : names) {
        EXPECT_FALSE(diskNameLess(a, a)) << a;
        for (const std::string &b : names) {
            const bool less = diskNameLess(a, b);
            // Exactly one of a < b, b < a, a == b: a total order, so equal names are the only ties.
            EXPECT_EQ(int{less} + int{diskNameLess(b, a)} + int{a == b}, 1) << a << " / " << b;
            if (!less)
                continue;
            for (const std::string &c : names) {
                if (diskNameLess(b, c) && !diskNameLess(a, c))
                    ADD_FAILURE() << a << " < " << b << " < " << c << " but not " << a << " < " << c;
            }
        }
    }
}

std::string link(const std::string &host, unsigned disk, char letter) {
    return "\\\\" + host + "\\root\\cimv2:Win32_DiskPartition.DeviceID=\"Disk #" + std::to_string(disk) +
           ", Partition #0\"|\\\\" + host + "\\root\\cimv2:Win32_LogicalDisk.DeviceID=\"" +
           std::string(1, letter) + ":\"";
}

TEST(IdentityText, DiskNamesAndFields) {
    const struct {
        const char *left;
        const char *right;
        bool less;
    } order[] = {
        {"sda", "sdb", true},          {"sdz", "sdaa", true},         {"sdaa", "sdab", true},
        {"nvme0n2", "nvme0n10", true}, {"nvme1n1", "nvme0n1", false}, {"sdb", "mmcblk0", true},
        {"sda", "sda", false},         {"sd01", "sd1", true},         {"", "sda", true},
    };
    for (const auto &c : order)
        EXPECT_EQ(diskNameLess(c.left, c.right), c.less) << c.left << " < " << c.right;

    // Kernel names keep their order; any other bytes get one too.
    const std::vector<std::string> sorted = {"",    "-",    "0",   "sd01", "sd1",  "sda",
                                             "sdb", "sdb1", "sdz", "sdaa", "sdab", "mmcblk0"};
    for (size_t i = 0; i + 1 < sorted.size(); ++i)
        EXPECT_TRUE(diskNameLess(sorted[i], sorted[i + 1])) << sorted[i] << " < " << sorted[i + 1];

    for (const char *name :
         {"loop0", "ram0", "zram0", "dm-0", "md127", "nbd3", "sr0", "fd0", "mmcblk0boot0", "mmcblk0rpmb"})
        EXPECT_TRUE(isVirtualDiskName(name)) << name;
    for (const char *name : {"sda", "nvme0n1", "mmcblk0", "loop", "dm-", ""})
        EXPECT_FALSE(isVirtualDiskName(name)) << name;

    const struct {
        std::string text;
        size_t width;
        std::string field;
    } fields[] = {
        {"FLASH DISK      ", 16, "FLASH_DISK"},
        {"USB Flash Drive 16GB", 16, "USB_FLASH_DRIVE"},
        {"a&b\\c,d", 8, "A_B_C_D"},
        {std::string("\x01\x7f\xc3\xa9", 4), 8, "____"},
        {" lead", 8, "_LEAD"},
        {"", 8, ""},
        {"zyx{|}~`@[", 16, "ZYX{|}~`@["},
    };
    for (const auto &c : fields)
        EXPECT_EQ(deviceIdField(c.text, c.width), c.field) << c.text;

    const std::pair<const char *, const char *> hosts[] = {{"bench-07\n", "BENCH-07"},
                                                           {" my host\\\"name:\x01\n", "MYHOSTNAME"},
                                                           {"\n", "LOCALHOST"},
                                                           {"\\\\\"", "LOCALHOST"},
                                                           {"a.b_c", "A.B_C"}};
    for (const auto &[text, name] : hosts)
        EXPECT_EQ(managementHostName(text), name) << text;
}

TEST(IdentityText, MofObjectText) {
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
        // Quotes, line ends and control bytes inside a text keep the description one property a line.
        {{{"Caption", {"say \"hi\"\nb\tc\x01", false}}},
         "\ninstance of Win32_DiskDrive\n{\n\tCaption = \"say \\\"hi\\\"\\nb\\tc\\x01\";\n};\n"},
        // Numbers are bare; a "number" that is none is quoted.
        {{{"Size", {"4026531840", true}}, {"Index", {"1;\n}", true}}, {"Name", {"42", false}}},
         "\ninstance of Win32_DiskDrive\n{\n\tIndex = \"1;\\n}\";\n\tName = \"42\";\n\tSize = "
         "4026531840;\n};\n"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(mofObjectText("Win32_DiskDrive", c.properties), c.text);
}

TEST(LinuxManagementData, ClassNamesAndDiskNumbers) {
    Management management(sysroot("identity-two-sticks"));
    EXPECT_EQ(management.instancesOf("  Win32_DiskDrive\t ").size(), 3u);
    EXPECT_EQ(management.instancesOf(" Win32_LogicalDiskToPartition ").size(), 2u);
    for (const char *unknown : {"win32_diskdrive", "Win32_DiskDrives", "Win32_LogicalDisk", "   "})
        EXPECT_TRUE(management.instancesOf(unknown).empty()) << unknown;

    const std::pair<const char *, size_t> trees[] = {
        // The loop device and the optical drive are no disks; the system disk (sda) and the two sticks are.
        {"identity-two-sticks", 3},
        // The eMMC boot area is none either: sdb and mmcblk0.
        {"identity-sd-card", 2},
        // A listed disk whose folder is gone keeps its number, so the others' do not move: sdb to sdd, sdz.
        {"identity-hostile", 4},
    };
    for (const auto &[tree, disks] : trees)
        EXPECT_EQ(Management(sysroot(tree)).instancesOf("Win32_DiskDrive").size(), disks) << tree;
}

TEST(LinuxManagementData, FixtureTrees) {
    const Lines kDiskProperties = {"PNPDeviceID",  "Caption", "InterfaceType",  "MediaType",
                                   "SerialNumber", "Size",    "BytesPerSector", "Partitions"};
    const struct {
        const char *tree;
        Lines links;
        Lines disks;
    } cases[] = {
        // F is the stick on port 2, the kernel's sdc: disk 2; G on port 10 is sdb: disk 1. Recent udev's
        // ID_USB_ keys on sdb, older udev's ID_ keys on sdc give the same ids, upper case as Windows writes
        // them; SerialNumber keeps the device's own case.
        {"identity-two-sticks",
         {link("BENCH-07", 2, 'F'), link("BENCH-07", 1, 'G')},
         {"SCSI\\DISK&VEN_ATA&PROD_SAMSUNG_SSD_860&REV_RVT0\\7&8ED9ED53&0|Samsung SSD 860 EVO 500GB|IDE|"
          "Fixed hard disk media|S3Z1NB0K123456A|500107862016|512|2",
          "USBSTOR\\DISK&VEN_ABC&PROD_FLASH_DISK&REV_1100\\AA04012700007245&0|ABC FLASH DISK USB Device|USB|"
          "Removable Media|AA04012700007245|4026531840|512|1",
          "USBSTOR\\DISK&VEN_KINGMAX&PROD_USB_FLASH_DRIVE&REV_PMAP\\07A1B2C3D4&0|Kingmax USB Flash Drive "
          "16GB "
          "Pro USB Device|USB|Removable Media|07a1b2C3d4|15489564672|4096|1"}},
        // Only the slot with a card has a volume. One device, one serial; the slot's LUN ends each id.
        {"identity-card-reader",
         {link("BENCH-07", 1, 'G')},
         {"USBSTOR\\DISK&VEN_GENERIC-&PROD_SD/MMC&REV_1.00\\058F63666433&0|Generic- SD/MMC USB Device|USB|"
          "Removable Media|058F63666433|<none>|512|0",
          "USBSTOR\\DISK&VEN_GENERIC-&PROD_MS/MS-PRO&REV_1.00\\058F63666433&1|Generic- MS/MS-Pro USB Device|"
          "USB|Removable Media|058F63666433|1977614336|512|1"}},
        {"identity-no-serial",
         {link("LOCALHOST", 0, 'F')},
         {"USBSTOR\\DISK&VEN_SMI&PROD_USB_DISK&REV_1100\\7&E23FCF30&0|SMI USB_DISK USB Device|USB|Removable "
          "Media|<none>|4026531840|512|1"}},
        // The SD card in the machine's own slot is no USB disk.
        {"identity-sd-card",
         {link("LOCALHOST", 0, 'F'), link("LOCALHOST", 1, 'G')},
         {"USBSTOR\\DISK&VEN_ABC&PROD_FLASH_DISK&REV_1100\\CARDSTICK01&0|ABC FLASH_DISK USB Device|USB|"
          "Removable Media|CARDSTICK01|4026531840|512|1",
          "SCSI\\DISK&VEN_&PROD_SD32G&REV_\\7&4EF5EED6&0|SD32G|SCSI|Removable Media|0x5a3b1c2d|31914983424|"
          "512|0"}},
        // sdb: no udev record, the SCSI inquiry instead; a serial with control bytes and ","; garbage size,
        // block size and "removable". sdc: hardly any udev keys. sdd: texts that would break the id. sdz:
        // gone.
        {"identity-hostile",
         {link("MYHOSTNAME", 2, 'F'), link("MYHOSTNAME", 1, 'G')},
         {"USBSTOR\\DISK&VEN_INTENSO&PROD_RAINBOW_LINE&REV_8.07\\7&E43FD256&0|Intenso Rainbow Line USB "
          "Device|USB|Fixed hard disk media|<none>|<none>|512|0",
          "USBSTOR\\DISK&VEN_&PROD_&REV_\\HOSTILE02&0|USB Device|USB|Removable "
          "Media|HOSTILE02|4026531840|512|0",
          "USBSTOR\\DISK&VEN_SAY\"HI\"_&PROD_VERY_LONG_MODEL_&REV_1.0.\\7&E23FCF30&0|Say\"hi\"\\ "
          "Very_Long_Model_Name_Beyond_Sixteen USB Device|USB|Removable Media|<none>|4026531840|512|1",
          "SCSI\\DISK&VEN_&PROD_&REV_\\7&CA24CEB8&0|<none>|SCSI|Fixed hard disk media|<none>|<none>|512|0"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.tree);
        Management management(sysroot(c.tree));
        EXPECT_EQ(management.links(), c.links);
        EXPECT_EQ(management.lines("Win32_DiskDrive", kDiskProperties), c.disks);
    }
}

TEST(LinuxManagementData, ObjectTexts) {
    Management management(sysroot("identity-two-sticks"));
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

TEST(LinuxManagementData, DiskNumbersHoldFromAssociationsToTheNextDiskList) {
    TemporaryFolder folder;
    const std::string root = copySysroot("identity-two-sticks", folder.path());
    Management management(root);
    management.volumes().refreshDriveList();
    ASSERT_EQ(management.links(), (Lines{link("BENCH-07", 2, 'F'), link("BENCH-07", 1, 'G')}));
    // sdb, the stick behind G, is pulled between the two lists: disk 2 must still be the stick F was found
    // on.
    std::filesystem::remove(std::filesystem::path(root) / "sys/block/sdb");
    const Lines afterAssociations = management.lines("Win32_DiskDrive", {"PNPDeviceID"});
    ASSERT_EQ(afterAssociations.size(), 3u);
    EXPECT_EQ(afterAssociations[2], "USBSTOR\\DISK&VEN_KINGMAX&PROD_USB_FLASH_DRIVE&REV_PMAP\\07A1B2C3D4&0");
    // After the next scan's reading of the drive list the disks after sdb move up a number, and G has no disk
    // left.
    management.volumes().refreshDriveList();
    EXPECT_EQ(management.lines("Win32_DiskDrive", {"Name"}),
              (Lines{"\\\\.\\PHYSICALDRIVE0", "\\\\.\\PHYSICALDRIVE1"}));
    EXPECT_EQ(management.links(), Lines{link("BENCH-07", 1, 'F')});
}

// Most identity trees list their volumes unmounted: each mounts at the tree's root, which is all a scan
// needs of it.
class MountsAtRoot : public Mounter {
public:
    std::optional<std::string> mount(const std::string &) override { return "/"; }
};

// The real identity lookup over the Linux services, and a scan with "查看VPSN" ticked that uses it.
class IdentityOverLinux {
public:
    explicit IdentityOverLinux(const std::string &root)
        : m_volumes(root, m_mounter), m_management(m_volumes, root), m_registry(m_volumes, root),
          m_lookup(m_management, m_registry),
          m_services{m_volumes, m_idle, m_idle, m_codePage, m_idle, m_management, m_registry, m_idle,
                     m_idle.capacityReports(), m_idle.productionLog(), "C:\\"},
          m_station(Variant::V2, m_services) {
        m_station.state().check2 = kChecked;
    }

    // Letter, name, serial and key of each row, "|"-joined.
    Lines scan() {
        m_station.scan();
        Lines rows;
        for (const DriveSlot &slot : m_station.driveTable().slots)
            if (!slot.letter.empty())
                rows.push_back(slot.letter + "|" + slot.deviceName + "|" + slot.deviceSerial + "|" +
                               slot.deviceKey);
        return rows;
    }

    std::string lookUp(const std::string &letter) {
        m_lookup.LookupDriveIdentity(letter);
        const UsbIdentity &id = m_lookup.identity();
        return id.vendor + "|" + id.product + "|" + id.revision + "|" + id.serial + "|" + id.vidPid;
    }

private:
    MountsAtRoot m_mounter;
    LinuxVolumeServices m_volumes;
    LinuxManagementData m_management;
    LinuxUsbStorageRegistry m_registry;
    UsbIdentityLookup m_lookup;
    // What a scan does not ask of the machine comes from an idle simulated bench.
    SimBench m_idle;
    IconvCodePage m_codePage;
    PlatformServices m_services;
    QaStation m_station;
};

TEST(IdentityOverLinux, ScanWithIdentityBoxTicked) {
    const std::pair<const char *, Lines> cases[] = {
        // F's serial 07a1b2C3d4 is mixed case: the id's upper-case form matches neither form of the entry's.
        // Only the first "_"-word of a product shows.
        {"identity-two-sticks",
         {"F|KINGMAX USB PMAP|S/N:07A1B2C3D4|", "G|ABC FLASH 1100|S/N:AA04012700007245|VID_1234&PID_ABCD"}},
        // The reader's card in its second slot; the device's one entry serves both slots.
        {"identity-card-reader", {"G|GENERIC- MS/MS-PRO 1.00|S/N:058F63666433|VID_058F&PID_6366"}},
        // A made-up instance id: its first "&"-piece is all the serial there is, and no entry ends in it.
        {"identity-no-serial", {"F|SMI USB 1100|S/N:7|"}},
        // The SD card in the machine's own slot is no USB disk: empty vendor and revision, no entry.
        {"identity-sd-card", {"F|ABC FLASH 1100|S/N:CARDSTICK01|VID_1234&PID_ABCD", "G| SD32G |S/N:7|"}},
        // Texts that would break the id leave only their first words. G's record lacks the file-system keys
        // too, so its volume cannot be read and the scan looks nothing up for it.
        {"identity-hostile", {"F|SAY\"HI\" VERY 1.0.|S/N:7|", "G|||"}},
    };
    for (const auto &[tree, rows] : cases)
        EXPECT_EQ(IdentityOverLinux(sysroot(tree)).scan(), rows) << tree;
}

TEST(IdentityOverLinux, DirectLookups) {
    // A disk without vendor, product or revision anywhere: its own serial still finds its entry.
    IdentityOverLinux hostile(sysroot("identity-hostile"));
    hostile.scan();
    EXPECT_EQ(hostile.lookUp("G"), "|||HOSTILE02|VID_1B1C&PID_1A0F");

    IdentityOverLinux reader(sysroot("identity-card-reader"));
    reader.scan();
    ASSERT_EQ(reader.lookUp("G"), "GENERIC-|MS/MS-PRO|1.00|058F63666433|VID_058F&PID_6366");
    // F is the reader's empty slot, Z no drive at all: neither has an association, so nothing of G stays.
    for (const char *letter : {"F", "Z", ""})
        EXPECT_EQ(reader.lookUp(letter), "||||") << letter;
}

} // namespace
} // namespace dravex
