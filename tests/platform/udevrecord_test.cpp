#include "platform/linux/sysfs/udevrecord.h"

#include <gtest/gtest.h>

namespace dravex {
namespace {

TEST(ParseUdevRecord, TakesPropertyLinesOnly) {
    const UdevRecord record = parseUdevRecord("S:disk/by-label/STICK\n"
                                              "L:0\n"
                                              "I:1234567\n"
                                              "E:ID_FS_TYPE=vfat\n"
                                              "E:ID_FS_LABEL_ENC=MY\\x20DISK\n"
                                              "E:ID_PATH=pci-0000:00:14.0-usb-0:2:1.0-scsi-0:0:0:0\n"
                                              "E:EQUALS=a=b\n"
                                              "E:EMPTY=\n"
                                              "E:NOEQUALS\n"
                                              "E:=novalue\n"
                                              "e:LOWER=x\n"
                                              "G:systemd\n"
                                              "E:LAST=no newline");
    const UdevRecord expected = {
        {"ID_FS_TYPE", "vfat"},
        {"ID_FS_LABEL_ENC", "MY\\x20DISK"},
        {"ID_PATH", "pci-0000:00:14.0-usb-0:2:1.0-scsi-0:0:0:0"},
        {"EQUALS", "a=b"},
        {"EMPTY", ""},
        {"LAST", "no newline"},
    };
    EXPECT_EQ(record, expected);
}

TEST(ParseUdevRecord, GarbageGivesNoProperties) {
    EXPECT_TRUE(parseUdevRecord("").empty());
    EXPECT_TRUE(parseUdevRecord(std::string(1, '\0') + "\xff\nE\nE:").empty());
}

TEST(DecodeUdevEscapes, Table) {
    const struct {
        std::string escaped;
        std::string decoded;
    } cases[] = {
        {"PLAIN", "PLAIN"},
        {"MY\\x20DISK", "MY DISK"},
        {"\\x5c\\x2F\\x4a", "\\/J"},
        {"\\xd6\\xd0\\xce\\xc4", "\xd6\xd0\xce\xc4"},
        {"a\\x00b", std::string("a\0b", 3)},
        {"\\xZZ", "\\xZZ"},
        {"\\x4", "\\x4"},
        {"end\\x", "end\\x"},
        {"\\\\x20", "\\ "},
        {"\\y20", "\\y20"},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(decodeUdevEscapes(c.escaped), c.decoded) << c.escaped;
}

TEST(WindowsFileSystemName, Table) {
    const struct {
        const char *type;
        const char *version;
        const char *name;
    } cases[] = {
        {"vfat", "FAT32", "FAT32"}, {"vfat", "FAT16", "FAT"},  {"vfat", "FAT12", "FAT"},
        {"vfat", "", "FAT"},        {"exfat", "1.0", "exFAT"}, {"ntfs", "", "NTFS"},
        {"ext4", "1.0", "EXT4"},    {"btrfs", "", "BTRFS"},    {"iso9660", "", "ISO9660"},
        {"", "FAT32", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(windowsFileSystemName(c.type, c.version), c.name) << c.type << " " << c.version;
}

} // namespace
} // namespace dravex
