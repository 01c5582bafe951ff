#include "platform/linux/drivemap.h"

#include "fixtures.h"

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
        {"port9", "port09", false},
        {"port09", "port9", true},
        {"port010", "port9", false},
        {"a", "b", true},
        {"sdb", "sdb", false},
        {"sdb", "sdb1", true},
        {"99999999999999999999999", "100000000000000000000000", true},
        {"", "a", true},
        {"a", "", false},
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
    for (const auto &c : cases) {
        SCOPED_TRACE(c.tree);
        EXPECT_EQ(describeAll(DriveMap::read(SystemRoot(sysroot(c.tree)))), c.volumes);
    }
}

TEST(DriveMap, RecordsThePortPath) {
    const DriveMap map = DriveMap::read(SystemRoot(sysroot("hub-two-sticks")));
    ASSERT_NE(map.find('F'), nullptr);
    EXPECT_EQ(map.find('F')->portPath, "pci-0000:00:14.0-usb-0:2:1.0-scsi-0:0:0:0");
    EXPECT_EQ(map.find('H'), nullptr);
    EXPECT_EQ(map.find('A'), nullptr);
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

} // namespace
} // namespace dravex
