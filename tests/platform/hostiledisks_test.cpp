// Disks the tool must never touch, and letters that no longer name what the tool saw: copies of the
// guarded-sticks tree changed into each hostile situation.
#include "platform/linux/debuglog.h"
#include "platform/linux/sysfs/diskinventory.h"
#include "platform/linux/sysfs/drivemap.h"
#include "platform/linux/sysfs/volumeguard.h"

#include "fixtures.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace dravex {
namespace {

namespace fs = std::filesystem;

class HostileDisks : public ::testing::Test {
protected:
    void SetUp() override { m_tree = copySysroot("guarded-sticks", m_folder.path()); }

    SystemRoot root() const { return SystemRoot(m_tree); }
    VolumeCheck check(char letter, const GuardRules &rules = {}) const {
        return checkVolume(root(), DriveMap::read(root()), letter, rules);
    }
    void appendMount(const std::string &line) {
        writeFileBytes(m_tree + "/proc/self/mountinfo",
                       fileBytes(m_tree + "/proc/self/mountinfo") + line + "\n");
    }
    // A device-mapper device dm-<number> stacked on the partition, as sysfs shows one.
    void stackOn(const std::string &disk, const std::string &partition, int number, const std::string &name) {
        const std::string holder = "dm-" + std::to_string(number);
        fs::create_directories(m_tree + "/sys/block/" + disk + "/" + partition + "/holders/" + holder);
        fs::create_directories(m_tree + "/sys/class/block/" + holder + "/dm");
        writeFileBytes(m_tree + "/sys/class/block/" + holder + "/dev",
                       "254:" + std::to_string(number) + "\n");
        writeFileBytes(m_tree + "/sys/class/block/" + holder + "/dm/name", name + "\n");
    }

    TemporaryFolder m_folder;
    std::string m_tree;
};

TEST_F(HostileDisks, AMountOutsideTheMediaFoldersRefusesTheStick) {
    ASSERT_EQ(check('F').refusal, Refusal::None);
    const std::pair<const char *, bool> places[] = {
        {"/media/op/BACKUP", true},
        {"/run/media/op/X", true},
        {"/mnt", true},
        {"/mnt/stick", true},
        {"/home/op", false},
        {"/var/log", false},
        {"/srv/data", false},
        {"/mediax", false},
        {"/run/mediasomething", false},
        {"/tmp", false},
    };
    const std::string mountinfo = fileBytes(m_tree + "/proc/self/mountinfo");
    for (const auto &[place, allowed] : places) {
        SCOPED_TRACE(place);
        writeFileBytes(m_tree + "/proc/self/mountinfo", mountinfo);
        // A second mount of the stick, bound elsewhere.
        appendMount(std::string("90 22 8:17 / ") + place + " rw,relatime shared:90 - vfat /dev/sdb1 rw");
        const VolumeCheck result = check('F');
        EXPECT_EQ(result.refusal, allowed ? Refusal::None : Refusal::SystemMount);
        EXPECT_EQ(result.detail, allowed ? "" : std::string("sdb1 ") + place);
    }
}

TEST_F(HostileDisks, EveryMemberOfABtrfsHoldingTheSystemIsRefused) {
    // / on a btrfs of two devices: the machine's sda1 and the stick's sdb1. mountinfo names sda1 only, and
    // btrfs gives its mounts an anonymous device number.
    appendMount("91 1 0:45 / / rw,relatime shared:91 - btrfs /dev/sda1 rw");
    ASSERT_EQ(check('F').refusal, Refusal::None);
    for (const char *member : {"sda1", "sdb1"})
        fs::create_directories(m_tree + "/sys/fs/btrfs/7e2f0e5c-1a2b-4c3d-9e8f-0a1b2c3d4e5f/devices/" +
                               std::string(member));
    const VolumeCheck result = check('F');
    EXPECT_EQ(result.refusal, Refusal::SystemMount);
    EXPECT_EQ(result.detail, "sdb1 /");
    // A btrfs the stick is no member of leaves it alone.
    fs::remove(m_tree + "/sys/fs/btrfs/7e2f0e5c-1a2b-4c3d-9e8f-0a1b2c3d4e5f/devices/sdb1");
    EXPECT_EQ(check('F').refusal, Refusal::None);
}

TEST_F(HostileDisks, HoldersRefuseEveryWriterAndAreNamed) {
    stackOn("sdb", "sdb1", 7, "luks-5e1f0b7a");
    const VolumeCheck writer = check('F');
    EXPECT_EQ(writer.refusal, Refusal::Stacked);
    EXPECT_EQ(writer.detail, "dm-7 luks-5e1f0b7a (sdb1)");
    EXPECT_EQ(writer.holder, "dm-7");
    EXPECT_EQ(writer.heldDevice, "sdb1");
    EXPECT_FALSE(writer.volume);
    // Eject may go on to close it.
    GuardRules eject;
    eject.allowStacked = true;
    EXPECT_EQ(check('F', eject).refusal, Refusal::None);
    // Mounted outside the media folders, the mapping refuses the stick even for eject.
    appendMount("92 22 254:7 / /home rw,relatime shared:92 - ext4 /dev/mapper/luks-5e1f0b7a rw");
    const VolumeCheck mounted = check('F', eject);
    EXPECT_EQ(mounted.refusal, Refusal::SystemMount);
    EXPECT_EQ(mounted.detail, "dm-7 /home");
}

TEST_F(HostileDisks, ALetterThatNamesAnotherDiskThanAtTheScanIsRefused) {
    const DriveMap map = DriveMap::read(root());
    const std::string text = scannedDisksText(map);
    EXPECT_EQ(text.substr(0, 15), "F=sdb:,G=sdc:,H");
    const auto scanned = parseScannedDisks(text);
    ASSERT_TRUE(scanned);
    GuardRules rules;
    rules.scanned = &*scanned;
    EXPECT_EQ(check('F', rules).refusal, Refusal::None);

    // F: was pulled after the scan: G:'s stick is F: now.
    ScannedDisks moved = *scanned;
    moved['F'] = moved['G'];
    rules.scanned = &moved;
    const VolumeCheck result = check('F', rules);
    EXPECT_EQ(result.refusal, Refusal::OtherDisk);
    EXPECT_EQ(result.detail, "F: sdb");
    // A letter the scan did not see.
    moved.erase('F');
    EXPECT_EQ(check('F', rules).refusal, Refusal::OtherDisk);

    // Same name, another medium: the kernel's sequence number tells them apart.
    writeFileBytes(m_tree + "/sys/block/sdb/diskseq", "31\n");
    const DriveMap numbered = DriveMap::read(root());
    ScannedDisks seen = *parseScannedDisks(scannedDisksText(numbered));
    EXPECT_EQ(seen['F'].diskseq, 31u);
    rules.scanned = &seen;
    EXPECT_EQ(checkVolume(root(), numbered, 'F', rules).refusal, Refusal::None);
    writeFileBytes(m_tree + "/sys/block/sdb/diskseq", "32\n");
    EXPECT_EQ(checkVolume(root(), numbered, 'F', rules).refusal, Refusal::OtherDisk);
    // The same without a scan handed over: the map the caller holds is older than the disk.
    EXPECT_EQ(checkVolume(root(), numbered, 'F').refusal, Refusal::OtherDisk);
}

TEST(ScannedDisks, OnlyWellFormedListsAreRead) {
    const auto disks = parseScannedDisks("F=sdb:12,G=sdc:");
    ASSERT_TRUE(disks);
    EXPECT_EQ(disks->at('F').diskName, "sdb");
    EXPECT_EQ(disks->at('F').diskseq, 12u);
    EXPECT_FALSE(disks->at('G').diskseq);
    EXPECT_TRUE(parseScannedDisks("").has_value());
    for (const char *bad : {"F=sdb", "f=sdb:1", "F=:1", "F=sdb:x", "F=sdb:1,F=sdc:2", "F=../sda:", "F:sdb:1",
                            "F=sdb:1,", "=sdb:1", "F=sd,b:1"})
        EXPECT_FALSE(parseScannedDisks(bad).has_value()) << bad;
}

TEST_F(HostileDisks, AnExtendedPartitionsContainerGetsNoLetter) {
    // sdb gets an extended partition sdb2 holding the logical sdb5.
    const std::string disk = m_tree + "/sys/block/sdb";
    const auto addPartition = [&](const std::string &name, unsigned number, const std::string &sectors,
                                  const std::string &udev) {
        fs::create_directories(disk + "/" + name);
        writeFileBytes(disk + "/" + name + "/dev", "8:" + std::to_string(16 + number) + "\n");
        writeFileBytes(disk + "/" + name + "/partition", std::to_string(number) + "\n");
        writeFileBytes(disk + "/" + name + "/size", sectors + "\n");
        writeFileBytes(m_tree + "/run/udev/data/b8:" + std::to_string(16 + number), udev);
    };
    addPartition("sdb2", 2, "2", "E:ID_PART_ENTRY_SCHEME=dos\nE:ID_PART_ENTRY_TYPE=0xf\n");
    addPartition("sdb5", 5, "20480", "E:ID_PART_ENTRY_SCHEME=dos\nE:ID_PART_ENTRY_TYPE=0xb\n");
    const auto volumesOfSdb = [&] {
        std::vector<std::string> names;
        const DriveMap map = DriveMap::read(root());
        for (const MappedVolume &volume : map.volumes())
            if (volume.diskName == "sdb")
                names.push_back(std::string(1, *volume.letter) + volume.volumeName);
        return names;
    };
    EXPECT_EQ(volumesOfSdb(), (std::vector<std::string>{"Fsdb1", "Gsdb5"}));
    // Without udev's record the kernel's stub of one or two sectors gives the container away.
    fs::remove(m_tree + "/run/udev/data/b8:18");
    EXPECT_EQ(volumesOfSdb(), (std::vector<std::string>{"Fsdb1", "Gsdb5"}));
    const auto disk2 = DiskInventory::readDisk(root(), "sdb");
    ASSERT_TRUE(disk2);
    ASSERT_EQ(disk2->partitions.size(), 3u);
    EXPECT_TRUE(disk2->partitions[1].extendedContainer);
    EXPECT_FALSE(disk2->partitions[2].extendedContainer);
}

TEST_F(HostileDisks, InventoryReadsEachDiskOnceWithWhatTheOthersNeed) {
    stackOn("sdb", "sdb1", 3, "vg0-data");
    writeFileBytes(m_tree + "/sys/block/sdb/diskseq", "17\n");
    const DiskInventory inventory = DiskInventory::read(root());
    const DiskRecord *sdb = inventory.find("sdb");
    ASSERT_TRUE(sdb);
    EXPECT_EQ(sdb->diskseq, 17u);
    EXPECT_EQ(sdb->removable, true);
    EXPECT_TRUE(sdb->hasMedium());
    ASSERT_TRUE(sdb->usb);
    EXPECT_EQ(sdb->usb->portPath, "1-1");
    ASSERT_EQ(sdb->partitions.size(), 1u);
    EXPECT_EQ(sdb->partitions[0].holders, std::vector<std::string>{"dm-3"});
    EXPECT_EQ(sdb->partitions[0].fileSystemType(), "vfat");
    EXPECT_EQ(sdb->partitions[0].labelBytes(), "PLAIN");
    // A disk whose number cannot be read is listed, but never given a letter.
    fs::remove(m_tree + "/sys/block/sdb/dev");
    const DiskInventory broken = DiskInventory::read(root());
    ASSERT_TRUE(broken.find("sdb"));
    EXPECT_FALSE(broken.find("sdb")->disk.hasNumber);
    EXPECT_EQ(DriveMap::build(broken).volumes().front().diskName, "sdc");
}

TEST(PlatformDebug, SwitchedOnByItsAreaOrAll) {
    EXPECT_TRUE(isDebugEnabled("platform", "platform"));
    EXPECT_TRUE(isDebugEnabled("platform", "ui,platform"));
    EXPECT_TRUE(isDebugEnabled("platform", "scan platform"));
    EXPECT_TRUE(isDebugEnabled("platform", "all"));
    for (const char *off : {"", "platforms", "plat", "ui", "PLATFORM", ",,"})
        EXPECT_FALSE(isDebugEnabled("platform", off)) << off;
}

} // namespace
} // namespace dravex
