#include "platform/linux/windows/linuxvolumeservices.h"

#include "fixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/statvfs.h>

namespace dravex {
namespace {

using Calls = std::vector<std::string>;

uint64_t bytesOf(const ByteCount &count) {
    return uint64_t{count.high} << 32 | count.low;
}

uint64_t statvfsTotal(const std::string &path) {
    struct statvfs direct {};
    EXPECT_EQ(::statvfs(path.c_str(), &direct), 0) << path;
    return uint64_t{direct.f_blocks} * direct.f_frsize;
}

TEST(LinuxVolumeServices, DriveTypes) {
    FakeMounter mounter;
    LinuxVolumeServices services(sysroot("hub-two-sticks"), mounter);
    const std::pair<std::string, unsigned> cases[] = {
        {"F:\\", kDriveRemovable},  {"f:\\", kDriveRemovable},  {"H:\\", kDriveNoRootDir},
        {"C:\\", kDriveNoRootDir},  {"F:", kDriveNoRootDir},    {"F:/", kDriveNoRootDir},
        {"F:\\x", kDriveNoRootDir}, {"FF:\\", kDriveNoRootDir}, {std::string("F:\\\0", 4), kDriveNoRootDir},
    };
    for (const auto &[root, type] : cases)
        EXPECT_EQ(services.GetDriveTypeA(root), type) << root;
    EXPECT_TRUE(mounter.calls.empty());
}

TEST(LinuxVolumeServices, VolumeInformation) {
    const struct {
        const char *tree;
        const char *root;
        const char *label; // nullptr: the query fails and leaves what it was given alone
        const char *fileSystem;
        uint32_t serial;
    } cases[] = {
        {"hub-two-sticks", "F:\\", "PORT 2", "FAT32", 0xABCD1234},
        {"card-reader", "G:\\", "CAMERA", "FAT", 0x0C1E55F0},
        {"odd-partitions", "F:\\", "SWAP", "exFAT", 0x4F2E0A17},
        // NTFS serials are not of the short form udev shows FAT ones in.
        {"odd-partitions", "G:\\", "DATA", "NTFS", 0},
        {"whole-disk", "F:\\", "WHOLE", "FAT32", 0x2222BBBB},
        {"labels", "G:\\", "中文", "FAT32", 0x55550002},
        {"labels", "J:\\", "A\\xZZ\\x4", "FAT32", 0x55550005},
        {"labels", "K:\\", "", "FAT32", 0x55550006},
        // Neither UTF-8 nor CP936: the stick still shows, its stray bytes as U+FFFD.
        {"labels", "H:\\", "BAD\xef\xbf\xbd\xef\xbf\xbd", "FAT32", 0x55550003},
        // No label, no ID_PATH, no UUID, and mountinfo lines for it that are garbage before the good one.
        {"broken", "I:\\", "", "FAT", 0},
        {"hub-two-sticks", "H:\\", nullptr, "no such drive", 0},
        {"hub-two-sticks", "F:", nullptr, "not a root path", 0},
        {"card-reader", "F:\\", nullptr, "empty slot", 0},
        {"odd-partitions", "H:\\", nullptr, "no ID_FS_TYPE", 0},
        {"odd-partitions", "I:\\", nullptr, "no udev record", 0},
        {"whole-disk", "G:\\", nullptr, "medium without partitions or file system", 0},
        {"broken", "F:\\", nullptr, "size unreadable", 0},
        {"broken", "H:\\", nullptr, "ID_FS_USAGE crypto", 0},
        {"broken", "J:\\", nullptr, "no ID_FS_USAGE", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.tree) + " " + c.root + " " + c.fileSystem);
        FakeMounter mounter;
        LinuxVolumeServices services(sysroot(c.tree), mounter);
        services.refreshDriveList();
        VolumeInformation info;
        info.volumeName = info.fileSystemName = "untouched";
        info.serialNumber = 7;
        info.maximumComponentLength = 8;
        info.fileSystemFlags = 9;
        EXPECT_EQ(services.GetVolumeInformationA(c.root, info), c.label != nullptr);
        EXPECT_EQ(info.volumeName, c.label ? c.label : "untouched");
        EXPECT_EQ(info.fileSystemName, c.label ? c.fileSystem : "untouched");
        EXPECT_EQ(info.serialNumber, c.label ? c.serial : 7u);
        EXPECT_EQ(info.maximumComponentLength, c.label ? 255u : 8u);
        if (!c.label) {
            EXPECT_EQ(info.fileSystemFlags, 9u);
        }
        EXPECT_TRUE(mounter.calls.empty());
    }
}

TEST(LinuxVolumeServices, MountsWhatIsNotMountedOncePerScan) {
    FakeMounter mounter;
    mounter.answers["sdd"] = "/media/op/LATE";
    LinuxVolumeServices services(sysroot("whole-disk"), mounter);
    services.refreshDriveList();
    VolumeInformation info;
    ByteCount available{1, 1}, total{1, 1}, free{1, 1};
    // The mounter failing leaves the drive unreadable, and is not asked again in the same scan.
    EXPECT_FALSE(services.GetDiskFreeSpaceExA("I:\\", available, total, free));
    EXPECT_FALSE(services.GetVolumeInformationA("I:\\", info));
    EXPECT_EQ(services.nativePath("I:\\x"), std::nullopt);
    EXPECT_EQ(bytesOf(total), uint64_t{1} << 32 | 1);
    // Another volume is not held back by it.
    ASSERT_TRUE(services.GetVolumeInformationA("H:\\", info));
    EXPECT_EQ(info.volumeName, "LATE");
    EXPECT_EQ(mounter.calls, (Calls{"sde", "sdd"}));
    ASSERT_TRUE(services.GetDiskFreeSpaceExA("H:\\", available, total, free));
    EXPECT_EQ(bytesOf(total), statvfsTotal(sysroot("whole-disk") + "/media/op/LATE"));
    EXPECT_EQ(services.nativePath("H:\\x"), sysroot("whole-disk") + "/media/op/LATE/x");
    mounter.calls.clear();

    // Each next scan tries again, and takes what the mounter now gives: a mount point that is not there
    // fails as well.
    mounter.answers["sde"] = "/media/op/NOT-THERE";
    services.refreshDriveList();
    EXPECT_FALSE(services.GetDiskFreeSpaceExA("I:\\", available, total, free));
    mounter.answers["sde"] = "/media/op/LATE";
    services.refreshDriveList();
    EXPECT_TRUE(services.GetDiskFreeSpaceExA("I:\\", available, total, free));
    EXPECT_EQ(mounter.calls, (Calls{"sde", "sde"}));
}

TEST(LinuxVolumeServices, FreeSpace) {
    const std::pair<const char *, const char *> mounted[] = {
        // The bind mount of a subfolder, listed first, is not the volume's mount point.
        {"hub-two-sticks", "/media/op/PORT10"},
        {"odd-partitions", "/media/op/DATA"},
    };
    for (const auto &[tree, mountPoint] : mounted) {
        SCOPED_TRACE(tree);
        FakeMounter mounter;
        LinuxVolumeServices services(sysroot(tree), mounter);
        ByteCount available, total, free;
        ASSERT_TRUE(services.GetDiskFreeSpaceExA("G:\\", available, total, free));
        EXPECT_EQ(bytesOf(total), statvfsTotal(sysroot(tree) + mountPoint));
        // Free space may move between the two calls on a busy machine; it cannot exceed the total.
        EXPECT_LE(bytesOf(free), bytesOf(total));
        EXPECT_LE(bytesOf(available), bytesOf(free));
        EXPECT_EQ(services.nativePath("G:\\"), sysroot(tree) + mountPoint);
        EXPECT_TRUE(mounter.calls.empty());
    }

    // Failures leave the counts alone.
    const std::pair<const char *, const char *> failing[] = {
        {"card-reader", "F:\\"}, {"card-reader", "H:\\"}, {"whole-disk", "G:\\"},
        {"broken", "H:\\"},      {"card-reader", "G:"},
    };
    for (const auto &[tree, root] : failing) {
        FakeMounter mounter;
        LinuxVolumeServices services(sysroot(tree), mounter);
        ByteCount available{1, 2}, total{3, 4}, free{5, 6};
        EXPECT_FALSE(services.GetDiskFreeSpaceExA(root, available, total, free)) << tree << " " << root;
        EXPECT_EQ(bytesOf(available), uint64_t{2} << 32 | 1);
        EXPECT_EQ(bytesOf(total), uint64_t{4} << 32 | 3);
        EXPECT_EQ(bytesOf(free), uint64_t{6} << 32 | 5);
    }
}

TEST(LinuxVolumeServices, NativePaths) {
    FakeMounter mounter;
    LinuxVolumeServices services(sysroot("hub-two-sticks"), mounter);
    const std::string stick = sysroot("hub-two-sticks") + "/media/op/PORT 2";
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"f:\\", stick},
        {"F:\\a\\b.txt", stick + "/a/b.txt"},
        {"F:\\dir\\", stick + "/dir"},
        {"F:\\a\\\\b", stick + "/a/b"},
        {"F:\\.\\a\\..\\b", stick + "/b"},
        {"F:\\..\\..\\etc\\passwd", stick + "/etc/passwd"},
        // Folders of this machine, as the operator chose them or the tool's own folder gives them.
        {"/home/op/cust\\DOCS\\", "/home/op/cust/DOCS/"},
        {"/opt/dravex\\Volnum.txt", "/opt/dravex/Volnum.txt"},
        {"F:", std::nullopt},
        {"F:a", std::nullopt},
        {"H:\\a", std::nullopt},
        {"\\a", std::nullopt},
        {"cust/DOCS", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &[windowsPath, nativePath] : cases)
        EXPECT_EQ(services.nativePath(windowsPath), nativePath) << windowsPath;
}

TEST(LinuxVolumeServices, DrivesAndRecordsHoldUntilTheListIsRefreshed) {
    TemporaryFolder folder;
    const std::string tree = copySysroot("hub-two-sticks", folder.path());
    FakeMounter mounter;
    LinuxVolumeServices services(tree, mounter);
    VolumeInformation info;
    // Read on first use without a refresh.
    ASSERT_TRUE(services.GetVolumeInformationA("F:\\", info));
    EXPECT_EQ(info.volumeName, "PORT 2");

    // Relabelled: a walk between two scans keeps what it read, the next scan sees the new label.
    const std::string record = tree + "/run/udev/data/b8:33";
    std::string text = fileBytes(record);
    text.replace(text.find("PORT\\x202"), 9, "NEW");
    writeFileBytes(record, text);
    ASSERT_TRUE(services.GetVolumeInformationA("F:\\", info));
    EXPECT_EQ(info.volumeName, "PORT 2");
    services.refreshDriveList();
    ASSERT_TRUE(services.GetVolumeInformationA("F:\\", info));
    EXPECT_EQ(info.volumeName, "NEW");

    // The stick on port 2 is pulled: the letters stay until the next refresh, then G moves to F.
    std::filesystem::remove(tree + "/sys/block/sdc");
    EXPECT_EQ(services.GetDriveTypeA("G:\\"), kDriveRemovable);
    services.refreshDriveList();
    EXPECT_EQ(services.GetDriveTypeA("G:\\"), kDriveNoRootDir);
    ASSERT_TRUE(services.GetVolumeInformationA("F:\\", info));
    EXPECT_EQ(info.volumeName, "PORT10");
}

} // namespace
} // namespace dravex
