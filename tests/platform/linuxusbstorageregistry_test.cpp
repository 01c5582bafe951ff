#include "platform/linux/windows/linuxusbstorageregistry.h"

#include "platform/linux/sysfs/diskinventory.h"
#include "platform/linux/windows/identitytext.h"
#include "platform/linux/windows/linuxvolumeservices.h"

#include "fixtures.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace dravex {
namespace {

const std::string kEnum = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\USBSTOR\\Enum\\";
using Entries = std::vector<std::string>;

TEST(IdentityText, UsbFields) {
    const std::pair<const char *, std::optional<std::string>> hexIds[] = {
        {"0951", "0951"}, {"abcd", "ABCD"}, {"aBc", "0ABC"}, {" 08\n", "0008"}, {"", {}},
        {"12345", {}},    {"0x12", {}},     {"zzzz", {}},    {"12 4", {}},
    };
    for (const auto &[text, id] : hexIds)
        EXPECT_EQ(usbHexId(text), id) << text;

    const std::pair<const char *, std::optional<unsigned>> indexes[] = {
        {"0", 0u}, {"10", 10u}, {"999999999", 999999999u}, {"01", {}}, {"-1", {}}, {" 1", {}},
        {"", {}},  {"1a", {}},  {"4294967296", {}},
    };
    for (const auto &[name, index] : indexes)
        EXPECT_EQ(parseValueIndex(name), index) << name;

    const std::pair<std::string, bool> serials[] = {
        {"07a1b2C3d4", true},
        {"0x5a3b-_.#", true},
        {"", false},
        {"SER,IAL", false},
        {"SER IAL", false},
        {"A\\B", false},
        {"A&0", false},
        {"\x01x", false},
        {"caf\xc3\xa9", false},
        {std::string(126, 'A'), true},
        {std::string(127, 'A'), false},
    };
    for (const auto &[serial, usable] : serials)
        EXPECT_EQ(isUsableSerial(serial), usable) << serial;

    EXPECT_EQ(generatedInstanceId("1-3", 0), "7&E23FCF30&0");
    EXPECT_EQ(generatedInstanceId("1-3", 2), "7&E23FCF30&2");
    EXPECT_NE(generatedInstanceId("1-4", 0), generatedInstanceId("1-3", 0));

    const std::pair<const char *, const char *> folders[] = {
        {"/sys/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1.4/2-1.4:1.0/host3/target3:0:0/3:0:0:1/block/sdc",
         "/sys/devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1.4"},
        // A root hub's interface is no device's.
        {"/sys/devices/pci0000:00/0000:00:14.0/usb1/1-0:1.0", ""},
        {"/sys/devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda", ""},
        {"1-3/1-3:1.0", "1-3"},
        {":/:", ""},
    };
    for (const auto &[path, folder] : folders)
        EXPECT_EQ(usbDeviceFolder(path), folder) << path;

    const std::pair<const char *, std::optional<unsigned>> luns[] = {
        {"6:0:0:3", 3u}, {"10:0:0:12", 12u},        {"6:0:0", {}}, {"6:0:0:0:0", {}}, {"6::0:0", {}},
        {"6:0:0:", {}},  {"6:0:0:99999999999", {}},
    };
    for (const auto &[name, lun] : luns)
        EXPECT_EQ(scsiAddressLun(name), lun) << name;
}

TEST(LinuxUsbStorageRegistry, EntriesOfTheFixtures) {
    const std::pair<const char *, Entries> cases[] = {
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
        {"no-such-tree", {}},
    };
    for (const auto &[tree, entries] : cases) {
        SCOPED_TRACE(tree);
        FakeMounter mounter;
        LinuxVolumeServices volumes(sysroot(tree), mounter);
        LinuxUsbStorageRegistry registry(volumes, sysroot(tree));
        EXPECT_EQ(registry.entries(), entries);
        EXPECT_EQ(registry.RegRead(kEnum + "Count"), std::to_string(entries.size()));
        for (size_t i = 0; i < entries.size(); ++i)
            EXPECT_EQ(registry.RegRead(kEnum + std::to_string(i)), entries[i]) << i;
        EXPECT_EQ(registry.RegRead(kEnum + std::to_string(entries.size())), std::nullopt);
    }
}

TEST(LinuxUsbStorageRegistry, PathsItAnswers) {
    FakeMounter mounter;
    LinuxVolumeServices volumes(sysroot("identity-two-sticks"), mounter);
    LinuxUsbStorageRegistry registry(volumes, sysroot("identity-two-sticks"));
    const std::string second = "USB\\VID_1234&PID_ABCD\\AA04012700007245";
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"hkey_local_machine\\system\\currentcontrolset\\services\\usbstor\\enum\\1", second},
        {kEnum + "count", "2"},
        {kEnum + "01", {}},
        {kEnum + "+1", {}},
        {kEnum + "1\\", {}},
        {kEnum + "Counts", {}},
        {kEnum + "4294967297", {}},
        {kEnum, {}},
        {"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\USBSTOR\\Enum2\\Count", {}},
        {"HKEY_CURRENT_USER\\SYSTEM\\CurrentControlSet\\Services\\USBSTOR\\Enum\\Count", {}},
        {"HKEY_LOCAL_MACHINE/SYSTEM/CurrentControlSet/Services/USBSTOR/Enum/Count", {}},
    };
    for (const auto &[path, value] : cases)
        EXPECT_EQ(registry.RegRead(path), value) << path;
}

TEST(LinuxUsbStorageRegistry, EachReadingOfTheDriveListGetsItsOwnList) {
    TemporaryFolder folder;
    const std::filesystem::path root = copySysroot("identity-card-reader", folder.path());
    const std::filesystem::path stick = root / "sys/bus/usb/devices/1-5:1.0";
    const std::filesystem::path unplugged = root / "unplugged";
    const std::string reader = "USB\\VID_058F&PID_6366\\058F63666433";
    const std::string sandisk = "USB\\VID_0781&PID_5567\\4C530001230509116373";
    FakeMounter mounter;
    LinuxVolumeServices volumes(root.string(), mounter);
    LinuxUsbStorageRegistry registry(volumes, root.string());
    const auto read = [&registry](const std::string &name) { return registry.RegRead(kEnum + name); };

    // The stick without a disk yet is pulled in the middle of a walk: the walk goes on over the list its
    // Count was read from, so its count and its entries agree; so does every walk until the scan reads the
    // drive list again, as the scan's rows must all see one state of the machine.
    ASSERT_EQ(read("Count"), "2");
    EXPECT_EQ(read("0"), reader);
    std::filesystem::rename(stick, unplugged);
    EXPECT_EQ(read("1"), sandisk);
    EXPECT_EQ(read("Count"), "2");
    volumes.refreshDriveList();
    EXPECT_EQ(read("Count"), "1");
    EXPECT_EQ(read("0"), reader);
    EXPECT_EQ(read("1"), std::nullopt);

    // Plugged in again before the next scan: that scan lists it.
    std::filesystem::rename(unplugged, stick);
    volumes.refreshDriveList();
    EXPECT_EQ(read("Count"), "2");
    EXPECT_EQ(read("1"), sandisk);
}

TEST(DiskInventoryUsb, FollowsTheDiskLinkInsideTheRoot) {
    TemporaryFolder folder;
    const std::filesystem::path root = copySysroot("identity-card-reader", folder.path());
    const std::filesystem::path block = root / "sys/block";
    const std::string slot =
        "../devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0/host6/target6:0:0/6:0:0:1/block/sdc";
    std::filesystem::create_directory_symlink("./../block/" + slot, block / "dotted");
    std::filesystem::create_directory_symlink("/sys" + slot.substr(2), block / "absolute");
    std::filesystem::create_directory_symlink("../../../../../../../../../../../.." + slot.substr(2),
                                              block / "escapes");
    std::filesystem::create_directory_symlink("../devices/missing/sdq", block / "gone");
    std::filesystem::create_directories(block / "plain");
    const SystemRoot system(root.string());
    const auto attachmentOf = [&system](const std::string &name) {
        const auto disk = DiskInventory::readDisk(system, name);
        return disk ? disk->usb : std::nullopt;
    };

    for (const char *name : {"sdc", "dotted"}) {
        const auto second = attachmentOf(name);
        ASSERT_TRUE(second.has_value()) << name;
        EXPECT_EQ(second->portPath, "1-4");
        EXPECT_EQ(second->deviceFolder, "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-4");
        EXPECT_EQ(second->lun, 1u);
    }
    const auto first = attachmentOf("sdb");
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->lun, 0u);
    // Out of the root, even where the machine's own folders would lie, into nothing, or no USB at all.
    for (const char *name : {"escapes", "absolute", "gone", "plain", "sdq", "", "..", "../block/sdc"})
        EXPECT_FALSE(attachmentOf(name).has_value()) << name;
}

} // namespace
} // namespace dravex
