#include "platform/linux/sysfs/drivemap.h"

#include "fixtures.h"
#include "platform/linux/windows/linuxvolumeservices.h"
#include "scan/drivescan.h"

#include <gtest/gtest.h>

namespace dravex {
namespace {

// What the tests compare of a mapped volume, in one line.
std::string describe(const MappedVolume &v) {
    return std::string(v.letter ? std::string(1, *v.letter) : "-") + " " + v.volumeName +
           " disk=" + v.diskName + " part=" + std::to_string(v.partitionNumber) +
           (v.hasMedium ? " medium " : " empty ") + std::to_string(v.major) + ":" + std::to_string(v.minor);
}

std::vector<std::string> describeAll(const DriveMap &map) {
    std::vector<std::string> lines;
    for (const MappedVolume &volume : map.volumes())
        lines.push_back(describe(volume));
    return lines;
}

TEST(NaturalLess, Table) {
    const struct {
        const char *left;
        const char *right;
        bool less;
    } cases[] = {
        {"usb-0:2:1.0", "usb-0:10:1.0", true},
        {"usb-0:10:1.0", "usb-0:2:1.0", false},
        {"usb-0:1.2:1.0", "usb-0:1.10:1.0", true},
        {"port09", "port9", true},
        {"port010", "port9", false},
        {"sdb", "sdb", false},
        {"sdb", "sdb1", true},
        {"99999999999999999999999", "100000000000000000000000", true},
        {"", "a", true},
        {"pci-0000:00:14.0", "sdg", true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(naturalLess(c.left, c.right), c.less) << c.left << " < " << c.right;
}

TEST(DriveMap, FixtureTable) {
    const struct {
        const char *tree;
        std::vector<std::string> volumes;
    } cases[] = {
        // Fixed system disk and optical drive left out; port 2 before port 10.
        {"hub-two-sticks", {"F sdc1 disk=sdc part=1 medium 8:33", "G sdb1 disk=sdb part=1 medium 8:17"}},
        // The empty slot keeps a letter, so the other slot's letter does not move when a card goes in.
        {"card-reader", {"F sdd disk=sdd part=0 empty 8:48", "G sde1 disk=sde part=1 medium 8:65"}},
        {"odd-partitions",
         {"F sdb1 disk=sdb part=1 medium 8:17", "G sdb2 disk=sdb part=2 medium 8:18",
          "H sdb3 disk=sdb part=3 medium 8:19", "I sdb5 disk=sdb part=5 medium 8:21"}},
        {"whole-disk",
         {"F sdb disk=sdb part=0 medium 8:16", "G sdc disk=sdc part=0 medium 8:32",
          "H sdd disk=sdd part=0 medium 8:48", "I sde disk=sde part=0 medium 8:64"}},
        // Unreadable or garbage "removable" and a garbage "dev" leave sdb, sdc and sdf out; unreadable
        // or garbage "size" is no medium; sdg has no ID_PATH and sorts by its kernel name.
        {"broken",
         {"F sdd disk=sdd part=0 empty 8:48", "G sde disk=sde part=0 empty 8:64",
          "H sdh1 disk=sdh part=1 medium 8:113", "I sdg1 disk=sdg part=1 medium 8:97",
          "J sdg2 disk=sdg part=2 medium 8:98"}},
        {"no-such-tree", {}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(describeAll(DriveMap::read(SystemRoot(sysroot(c.tree)))), c.volumes) << c.tree;

    const DriveMap map = DriveMap::read(SystemRoot(sysroot("hub-two-sticks")));
    ASSERT_NE(map.find('F'), nullptr);
    EXPECT_EQ(map.find('F')->portPath, "pci-0000:00:14.0-usb-0:2:1.0-scsi-0:0:0:0");
    EXPECT_EQ(map.find('H'), nullptr);
}

TEST(DriveMap, NoLetterPastZ) {
    const DriveMap map = DriveMap::read(SystemRoot(sysroot("many-sticks")));
    ASSERT_EQ(map.volumes().size(), 23u);
    // Kernel names run against the ports: port 1 is sdx, port 23 is sdb.
    for (size_t i = 0; i < map.volumes().size(); ++i) {
        const MappedVolume &volume = map.volumes()[i];
        SCOPED_TRACE(describe(volume));
        EXPECT_EQ(volume.diskName, "sd" + std::string(1, static_cast<char>('x' - i)));
        const std::optional<char> letter =
            i < 21 ? std::optional<char>(static_cast<char>('F' + i)) : std::nullopt;
        EXPECT_EQ(volume.letter, letter);
    }
    EXPECT_EQ(map.find('Z')->diskName, "sdd");
}

// The rows a scan shows over the Linux layer on a fixture tree: letter, label, file system and, for a
// drive that could not be read, its message. Capacities depend on the disk the fixture lies on.
std::vector<std::string> scanRows(const std::string &fixture, std::string &status) {
    FakeMounter mounter;
    mounter.answers["sdd"] = "/media/op/LATE";
    LinuxVolumeServices volumes(sysroot(fixture), mounter);
    DriveTable table;
    MainWindowState window;
    DriveScan(volumes, table, window, Variant::V2).chus();
    std::vector<std::string> rows;
    for (const DriveSlot &slot : table.slots)
        if (!slot.letter.empty())
            rows.push_back(slot.letter + "|" + slot.volumeLabel + "|" + slot.fileSystem +
                           (slot.capacity.empty() ? "|" + slot.usedSpace : ""));
    status = window.panel(1);
    return rows;
}

TEST(ScanOverLinuxLayer, BadDeviceDataGivesUnreadableRowsNeverACrash) {
    using Rows = std::vector<std::string>;
    const struct {
        const char *fixture;
        Rows rows;
        const char *status;
    } cases[] = {
        // F and G (size unreadable) and H (no file system) fail and are replaced by I; J's record has no
        // ID_FS_USAGE, so it is no file system we read, and stays as the failure row.
        {"broken", {"I|卷标:|FAT", "J|||不能得到J磁盘信息"}, "列举完成...共有1个U盘。"},
        // Bytes neither UTF-8 nor CP936 (H) show as U+FFFD; the drive stays in the table.
        {"labels",
         {"F|卷标:MY DISK|FAT32", "G|卷标:中文|FAT32", "H|卷标:BAD\xef\xbf\xbd\xef\xbf\xbd|FAT32",
          "I|卷标:中|FAT32", "J|卷标:A\\xZZ\\x4|FAT32", "K|卷标:|FAT32"},
         "列举完成...共有6个U盘。"},
        // G: a medium with neither partitions nor file system; I: a mount that fails.
        {"whole-disk",
         {"F|卷标:WHOLE|FAT32", "H|卷标:LATE|FAT32", "I|||不能得到I磁盘信息"},
         "列举完成...共有2个U盘。"},
    };
    for (const auto &c : cases) {
        std::string status;
        EXPECT_EQ(scanRows(c.fixture, status), c.rows) << c.fixture;
        EXPECT_EQ(status, c.status) << c.fixture;
    }
}

} // namespace
} // namespace dravex
