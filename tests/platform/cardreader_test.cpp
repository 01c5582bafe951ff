#include "platform/linux/sysfs/cardreader.h"

#include "fixtures.h"
#include "platform/linux/windows/identitytext.h"

#include <gtest/gtest.h>

namespace dravex {
namespace {

TEST(CardReaderPaths, Table) {
    const std::pair<const char *, const char *> interfaces[] = {
        {"pci-0000:00:14.0-usb-0:1.4:1.0-scsi-0:0:0:0", "pci-0000:00:14.0-usb-0:1.4:1.0"},
        {"pci-0000:00:14.0-usb-0:3:1.0", "pci-0000:00:14.0-usb-0:3:1.0"},
        {"pci-0000:00:17.0-ata-1", ""},
    };
    for (const auto &[idPath, interface] : interfaces)
        EXPECT_EQ(usbInterfacePath(idPath), interface) << idPath;
    const std::pair<const char *, const char *> devices[] = {
        {"/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1.4/1-1.4:1.0/host3/block/sdb",
         "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1.4"},
        {"/sys/devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda", ""},
        {"", ""},
    };
    for (const auto &[sysfs, device] : devices)
        EXPECT_EQ(usbDeviceFolder(sysfs), device) << sysfs;
}

TEST(CardReaderSlot, SlotsShareAUsbDeviceSticksDoNot) {
    const SystemRoot guarded(sysroot("guarded-sticks"));
    EXPECT_TRUE(isCardReaderSlot(DiskInventory::read(guarded), "sdg"));
    EXPECT_TRUE(isCardReaderSlot(DiskInventory::read(guarded), "sdf"));
    EXPECT_FALSE(isCardReaderSlot(DiskInventory::read(guarded), "sdb"));
    EXPECT_FALSE(isCardReaderSlot(DiskInventory::read(guarded), "sda"));
    const SystemRoot reader(sysroot("card-reader"));
    EXPECT_TRUE(isCardReaderSlot(DiskInventory::read(reader), "sde"));
    const SystemRoot hub(sysroot("hub-two-sticks"));
    EXPECT_FALSE(isCardReaderSlot(DiskInventory::read(hub), "sdb"));
    EXPECT_FALSE(isCardReaderSlot(DiskInventory::read(hub), "sdc"));
}

TEST(CardReaderSlot, SysfsParentAloneIsEnough) {
    // Without udev records only sysfs tells the slots apart from two sticks.
    TemporaryFolder folder;
    const std::string tree = copySysroot("guarded-sticks", folder.path());
    std::filesystem::remove_all(tree + "/run/udev/data");
    const SystemRoot root(tree);
    EXPECT_TRUE(isCardReaderSlot(DiskInventory::read(root), "sdg"));
    EXPECT_FALSE(isCardReaderSlot(DiskInventory::read(root), "sdb"));
}

TEST(CardReaderSlot, CdRomUnitOfAStickIsNoSlot) {
    TemporaryFolder folder;
    const std::string tree = copySysroot("cdrom-stick", folder.path());
    const SystemRoot root(tree);
    EXPECT_FALSE(isCardReaderSlot(DiskInventory::read(root), "sdb"));
    // Each sign alone is enough: with its kernel name gone udev's ID_CDROM tells, without udev the SCSI type.
    std::filesystem::rename(tree + "/sys/block/sr0", tree + "/sys/block/sdx");
    EXPECT_FALSE(isCardReaderSlot(DiskInventory::read(root), "sdb"));
    std::filesystem::remove_all(tree + "/run/udev/data");
    EXPECT_FALSE(isCardReaderSlot(DiskInventory::read(root), "sdb"));
    // A second unit of any other type is a slot.
    writeFileBytes(tree + "/sys/block/sdx/device/type", "0\n");
    EXPECT_TRUE(isCardReaderSlot(DiskInventory::read(root), "sdb"));
}

} // namespace
} // namespace dravex
