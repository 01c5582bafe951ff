#include "platform/linux/linuxusbstorageregistry.h"

#include "platform/linux/identitytext.h"

#include "fixtures.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace dravex {
namespace {

const std::string kEnum = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\USBSTOR\\Enum\\";

TEST(UsbHexId, Table) {
    const struct {
        const char *text;
        std::optional<std::string> id;
    } cases[] = {
        {"0951", "0951"}, {"abcd", "ABCD"}, {"aBc", "0ABC"}, {"8", "0008"},    {" 08\n", "0008"},
        {"", {}},         {"\n", {}},       {"12345", {}},   {"0x12", {}},     {"zzzz", {}},
        {"12 4", {}},     {"-1", {}},       {"1g", {}},      {"\xff\xfe", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(usbHexId(c.text), c.id) << c.text;
}

TEST(ParseValueIndex, Table) {
    const struct {
        const char *name;
        std::optional<unsigned> index;
    } cases[] = {
        {"0", 0u},   {"1", 1u},          {"10", 10u},        {"999999999", 999999999u},
        {"00", {}},  {"01", {}},         {"-1", {}},         {"+1", {}},
        {" 1", {}},  {"1 ", {}},         {"", {}},           {"1a", {}},
        {"0x1", {}}, {"9999999999", {}}, {"4294967296", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(parseValueIndex(c.name), c.index) << c.name;
}

TEST(IsUsableSerial, Table) {
    const struct {
        std::string serial;
        bool usable;
    } cases[] = {
        {"AA04012700007245", true},
        {"07a1b2C3d4", true},
        {"0x5a3b-_.#", true},
        {"", false},
        {"SER,IAL", false},
        {"SER IAL", false},
        {"A\\B", false},
        {"A&0", false},
        {"\x01"
         "bad",
         false},
        {"caf\xc3\xa9", false},
        {std::string(126, 'A'), true},
        {std::string(127, 'A'), false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(isUsableSerial(c.serial), c.usable) << c.serial;
}

TEST(GeneratedInstanceId, FollowsThePortAndTheLun) {
    EXPECT_EQ(generatedInstanceId("1-3", 0), "7&E23FCF30&0");
    EXPECT_EQ(generatedInstanceId("1-3", 2), "7&E23FCF30&2");
    EXPECT_NE(generatedInstanceId("1-4", 0), generatedInstanceId("1-3", 0));
    EXPECT_EQ(generatedInstanceId("", 0), "7&811C9DC5&0");
}

TEST(UsbDeviceFolder, Table) {
    const struct {
        const char *path;
        const char *folder;
    } cases[] = {
        {"/sys/devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/host8/target8:0:0/8:0:0:0/block/sdd",
         "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-3"},
        {"/sys/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1.4/2-1.4:1.0/host3/target3:0:0/3:0:0:1/block/sdc",
         "/sys/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1.4"},
        // A root hub's interface is no device's.
        {"/sys/devices/pci0000:00/0000:00:14.0/usb1/1-0:1.0", ""},
        {"/sys/devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda", ""},
        {"/sys/devices/platform/soc/fe340000.mmc/mmc_host/mmc0/mmc0:aaaa/block/mmcblk0", ""},
        {"1-3/1-3:1.0", "1-3"},
        {"", ""},
        {"/", ""},
        {":/:", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(usbDeviceFolder(c.path), c.folder) << c.path;
}

TEST(ScsiAddressLun, Table) {
    const struct {
        const char *name;
        std::optional<unsigned> lun;
    } cases[] = {
        {"6:0:0:0", 0u},           {"6:0:0:3", 3u}, {"10:0:0:12", 12u}, {"6:0:0", {}},  {"6:0:0:0:0", {}},
        {"target6:0:0", {}},       {"6::0:0", {}},  {"6:0:0:", {}},     {":0:0:0", {}}, {"", {}},
        {"6:0:0:99999999999", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(scsiAddressLun(c.name), c.lun) << c.name;
}

TEST(LinuxUsbStorageRegistry, EntriesOfTheFixtures) {
    const struct {
        const char *tree;
        std::vector<std::string> entries;
    } cases[] = {
        // Port 2 before port 10; the keyboard on port 7 is no mass storage. Recent and older udev keys alike.
        {"identity-two-sticks",
         {"USB\\VID_0951&PID_1666\\07a1b2C3d4", "USB\\VID_1234&PID_ABCD\\AA04012700007245"}},
        // One entry for the reader's two slots; the stick whose disk is not there yet from its descriptors.
        {"identity-card-reader",
         {"USB\\VID_058F&PID_6366\\058F63666433", "USB\\VID_0781&PID_5567\\4C530001230509116373"}},
        {"identity-no-serial", {"USB\\VID_090C&PID_1000\\7&E23FCF30&0"}},
        // The SD card in the machine's own slot is no USB mass storage.
        {"identity-sd-card", {"USB\\VID_1234&PID_ABCD\\CARDSTICK01"}},
        // Ids udev and the device get wrong fall back in turn, to 0000 at last; a serial with "," is
        // replaced.
        {"identity-hostile",
         {"USB\\VID_0000&PID_0000\\7&E43FD256&0", "USB\\VID_1B1C&PID_1A0F\\HOSTILE02",
          "USB\\VID_ABCD&PID_EF01\\7&E23FCF30&0"}},
    };
    for (const auto &c : cases) {
        LinuxUsbStorageRegistry registry(sysroot(c.tree));
        EXPECT_EQ(registry.entries(), c.entries) << c.tree;
        EXPECT_EQ(registry.RegRead(kEnum + "Count"), std::to_string(c.entries.size())) << c.tree;
        for (size_t i = 0; i < c.entries.size(); ++i)
            EXPECT_EQ(registry.RegRead(kEnum + std::to_string(i)), c.entries[i]) << c.tree << " " << i;
        EXPECT_EQ(registry.RegRead(kEnum + std::to_string(c.entries.size())), std::nullopt) << c.tree;
    }
}

TEST(LinuxUsbStorageRegistry, PathsItAnswers) {
    LinuxUsbStorageRegistry registry(sysroot("identity-two-sticks"));
    const std::string second = "USB\\VID_1234&PID_ABCD\\AA04012700007245";
    const struct {
        std::string path;
        std::optional<std::string> value;
    } cases[] = {
        {kEnum + "1", second},
        {"hkey_local_machine\\system\\currentcontrolset\\services\\usbstor\\enum\\1", second},
        {"HKEY_LOCAL_MACHINE\\SYSTEM\\CURRENTCONTROLSET\\SERVICES\\USBSTOR\\ENUM\\COUNT", "2"},
        {kEnum + "count", "2"},
        {kEnum + "01", {}},
        {kEnum + "+1", {}},
        {kEnum + "-0", {}},
        {kEnum + " 1", {}},
        {kEnum + "1 ", {}},
        {kEnum + "1\\", {}},
        {kEnum + "Counts", {}},
        {kEnum + "4294967297", {}},
        {kEnum, {}},
        {kEnum.substr(0, kEnum.size() - 1), {}},
        {"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\USBSTOR\\Enum2\\Count", {}},
        {"HKEY_CURRENT_USER\\SYSTEM\\CurrentControlSet\\Services\\USBSTOR\\Enum\\Count", {}},
        {"HKEY_LOCAL_MACHINE/SYSTEM/CurrentControlSet/Services/USBSTOR/Enum/Count", {}},
        {"", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(registry.RegRead(c.path), c.value) << c.path;
}

TEST(LinuxUsbStorageRegistry, NothingPresent) {
    TemporaryFolder empty;
    LinuxUsbStorageRegistry registry(empty.path().string());
    EXPECT_EQ(registry.RegRead(kEnum + "Count"), "0");
    EXPECT_EQ(registry.RegRead(kEnum + "0"), std::nullopt);
}

TEST(LinuxUsbStorageRegistry, EachWalkReadsTheListAfresh) {
    TemporaryFolder folder;
    const std::filesystem::path root = copySysroot("identity-card-reader", folder.path());
    const std::filesystem::path stick = root / "sys/bus/usb/devices/1-5:1.0";
    const std::filesystem::path unplugged = root / "unplugged";
    const std::string reader = "USB\\VID_058F&PID_6366\\058F63666433";
    const std::string sandisk = "USB\\VID_0781&PID_5567\\4C530001230509116373";
    LinuxUsbStorageRegistry registry(root.string());

    // The stick without a disk yet is pulled in the middle of a walk: the walk goes on over the list its
    // Count was read from, so its count and its entries agree.
    ASSERT_EQ(registry.RegRead(kEnum + "Count"), "2");
    EXPECT_EQ(registry.RegRead(kEnum + "0"), reader);
    std::filesystem::rename(stick, unplugged);
    EXPECT_EQ(registry.RegRead(kEnum + "1"), sandisk);
    // The next walk sees it gone.
    EXPECT_EQ(registry.RegRead(kEnum + "Count"), "1");
    EXPECT_EQ(registry.RegRead(kEnum + "0"), reader);
    EXPECT_EQ(registry.RegRead(kEnum + "1"), std::nullopt);

    // Plugged in again between two walks: the next one lists it.
    std::filesystem::rename(unplugged, stick);
    EXPECT_EQ(registry.RegRead(kEnum + "Count"), "2");
    EXPECT_EQ(registry.RegRead(kEnum + "1"), sandisk);

    // A numbered read that does not go on upwards starts a reading of its own, Count or not.
    std::filesystem::rename(stick, unplugged);
    EXPECT_EQ(registry.RegRead(kEnum + "1"), std::nullopt);
    std::filesystem::rename(unplugged, stick);
    EXPECT_EQ(registry.RegRead(kEnum + "0"), reader);
    EXPECT_EQ(registry.RegRead(kEnum + "1"), sandisk);
}

TEST(UsbAttachmentOf, FollowsTheDiskLinkInsideTheRoot) {
    TemporaryFolder folder;
    const std::filesystem::path root = copySysroot("identity-card-reader", folder.path());
    const std::filesystem::path block = root / "sys/block";
    const std::string slot =
        "../devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0/host6/target6:0:0/6:0:0:1/block/sdc";
    std::filesystem::create_directory_symlink("./../block/" + slot, block / "dotted");
    std::filesystem::create_directory_symlink("../../../../../../../../../../../.." + slot.substr(2),
                                              block / "escapes");
    std::filesystem::create_directory_symlink("/sys" + slot.substr(2), block / "absolute");
    std::filesystem::create_directory_symlink("../devices/missing/sdq", block / "gone");
    std::filesystem::create_directories(block / "plain");
    const SystemRoot system(root.string());

    const auto second = usbAttachmentOf(system, "sdc");
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->portPath, "1-4");
    EXPECT_EQ(second->deviceFolder, "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-4");
    EXPECT_EQ(second->lun, 1u);
    const auto first = usbAttachmentOf(system, "sdb");
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->lun, 0u);
    const auto dotted = usbAttachmentOf(system, "dotted");
    ASSERT_TRUE(dotted.has_value());
    EXPECT_EQ(dotted->deviceFolder, second->deviceFolder);
    // Out of the root, even where the machine's own folders would lie, into nothing, or no USB at all.
    for (const char *name : {"escapes", "absolute", "gone", "plain", "sdq", "", ".", "..", "../block/sdc"})
        EXPECT_FALSE(usbAttachmentOf(system, name).has_value()) << name;
}

} // namespace
} // namespace dravex
