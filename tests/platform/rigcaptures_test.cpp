// The Linux layer on fixture trees captured from the rig's real kernel, udev and UDisks2
// (tests/rig/capture-fixtures.sh): each tree must read as the sticks that were plugged when it was taken
// (tests/rig/capturemain.cpp says which).
#include "fixtures.h"
#include "platform/linux/sysfs/cardreader.h"
#include "platform/linux/sysfs/drivemap.h"
#include "platform/linux/sysfs/volumeguard.h"
#include "platform/linux/windows/linuxmanagementdata.h"
#include "platform/linux/windows/linuxusbstorageregistry.h"
#include "platform/linux/windows/linuxvolumeservices.h"
#include "usbid/usbidentitylookup.h"

#include <gtest/gtest.h>

namespace dravex {
namespace {

// "F:dummy_hcd.0/1" for each volume: its letter, port and partition number ("-" without a letter).
std::vector<std::string> lettersPortsPartitions(const std::string &tree) {
    std::vector<std::string> volumes;
    const DriveMap map = DriveMap::read(SystemRoot(sysroot(tree)));
    for (const MappedVolume &volume : map.volumes()) {
        const size_t start = volume.portPath.find("dummy_hcd.");
        const std::string port =
            start == std::string::npos
                ? volume.portPath
                : volume.portPath.substr(start, volume.portPath.find('-', start) - start);
        volumes.push_back(std::string(1, volume.letter.value_or('-')) + ":" + port + "/" +
                          std::to_string(volume.partitionNumber) + (volume.hasMedium ? "" : " empty"));
    }
    return volumes;
}

TEST(RigCaptures, LettersFollowThePortsOfRealSticks) {
    std::vector<std::string> ten;
    for (int port = 0; port < 10; ++port)
        ten.push_back(std::string(1, static_cast<char>('F' + port)) + ":dummy_hcd." + std::to_string(port) +
                      (port == 7 ? "/0" : "/1"));
    EXPECT_EQ(lettersPortsPartitions("rig-ten-sticks"), ten);
    std::vector<std::string> eleven = ten;
    eleven.push_back("P:dummy_hcd.10/1");
    EXPECT_EQ(lettersPortsPartitions("rig-eleven-sticks"), eleven);
    // A file system on the whole disk, a partition without one, an exFAT stick without a partition table.
    EXPECT_EQ(lettersPortsPartitions("rig-whole-disk"),
              (std::vector<std::string>{"F:dummy_hcd.0/0", "G:dummy_hcd.1/1", "H:dummy_hcd.2/0"}));
    // The reader's slots are LUNs of one USB device; the stick's CD-ROM takes no letter.
    EXPECT_EQ(lettersPortsPartitions("rig-card-reader"),
              (std::vector<std::string>{"F:dummy_hcd.0/1", "G:dummy_hcd.0/0 empty", "H:dummy_hcd.0/0 empty",
                                        "I:dummy_hcd.0/0 empty"}));
    EXPECT_EQ(lettersPortsPartitions("rig-cdrom-stick"), std::vector<std::string>{"F:dummy_hcd.0/1"});
    // The fixed USB disk takes no letter.
    EXPECT_EQ(lettersPortsPartitions("rig-guarded-sticks"),
              (std::vector<std::string>{"F:dummy_hcd.1/1", "G:dummy_hcd.2/1", "H:dummy_hcd.3/1"}));
}

TEST(RigCaptures, CardReaderSlotsAndGuardedSticks) {
    const SystemRoot reader(sysroot("rig-card-reader"));
    const DriveMap readerMap = DriveMap::read(reader);
    for (const MappedVolume &volume : readerMap.volumes())
        EXPECT_TRUE(isCardReaderSlot(DiskInventory::read(reader), volume.diskName)) << volume.diskName;
    const SystemRoot stick(sysroot("rig-ten-sticks"));
    EXPECT_FALSE(isCardReaderSlot(DiskInventory::read(stick), DriveMap::read(stick).find('F')->diskName));

    const SystemRoot guarded(sysroot("rig-guarded-sticks"));
    const DriveMap map = DriveMap::read(guarded);
    EXPECT_EQ(checkVolume(guarded, map, 'F').refusal, Refusal::SystemMount);
    EXPECT_EQ(checkVolume(guarded, map, 'G').refusal, Refusal::ActiveSwap);
    EXPECT_EQ(checkVolume(guarded, map, 'H').refusal, Refusal::None);
    EXPECT_EQ(checkVolume(guarded, map, 'I').refusal, Refusal::NotMapped);
}

// The identity lookup over the captured management data and USB storage list, as the scan makes it with
// "查看VPSN" ticked: what each gadget declared, in Windows' upper case.
TEST(RigCaptures, IdentitiesAsTheGadgetsDeclaredThem) {
    struct Expected {
        char letter;
        const char *vendor, *product, *revision, *serial, *vidPid;
    };
    const std::pair<const char *, std::vector<Expected>> trees[] = {
        {"rig-identity",
         {{'F', "KINGSTON", "DATATRAVELER", "PMAP", "RIG00A4C3FAE22BE", "VID_0951&PID_1666"},
          // No serial: like Windows, the device identifier carries a made-up instance ("7&...&0"), which
          // matches no entry of the USB storage list.
          {'G', "SMI", "USB", "1100", "7", ""},
          {'H', "GENERIC", "FLASH", "8.07", "0123456789ABCDEF", "VID_058F&PID_6387"},
          {'I', "KINGSTON", "DATATRAVELER", "PMAP", "RIG03A4C3FAE22BE", "VID_0951&PID_1666"}}},
        {"rig-card-reader", {{'F', "GENERIC", "STORAGE", "1404", "RIG00A4C3FAE22BE", "VID_05E3&PID_0751"}}},
    };
    for (const auto &[tree, expected] : trees) {
        FakeMounter mounter;
        LinuxVolumeServices volumes(sysroot(tree), mounter);
        LinuxManagementData management(volumes, sysroot(tree));
        LinuxUsbStorageRegistry registry(volumes, sysroot(tree));
        UsbIdentityLookup lookup(management, registry);
        for (const Expected &stick : expected) {
            SCOPED_TRACE(std::string(tree) + " " + stick.letter);
            lookup.LookupDriveIdentity(std::string(1, stick.letter));
            const UsbIdentity &identity = lookup.identity();
            EXPECT_EQ(identity.vendor + "|" + identity.product + "|" + identity.revision + "|" +
                          identity.serial + "|" + identity.vidPid,
                      std::string(stick.vendor) + "|" + stick.product + "|" + stick.revision + "|" +
                          stick.serial + "|" + stick.vidPid);
        }
    }
}

} // namespace
} // namespace dravex
