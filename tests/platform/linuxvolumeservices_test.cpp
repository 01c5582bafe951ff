#include "platform/linux/linuxvolumeservices.h"

#include "fixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/statvfs.h>
#include <unistd.h>

namespace dravex {
namespace {

uint64_t bytesOf(const ByteCount &count) {
    return uint64_t{count.high} << 32 | count.low;
}

// What a volume query left behind, so a failed query can be seen to leave it untouched.
VolumeInformation untouchedInfo() {
    VolumeInformation info;
    info.volumeName = "untouched";
    info.serialNumber = 7;
    info.maximumComponentLength = 8;
    info.fileSystemFlags = 9;
    info.fileSystemName = "untouched";
    return info;
}

TEST(LinuxVolumeServices, DriveTypes) {
    FakeMounter mounter;
    LinuxVolumeServices services(sysroot("hub-two-sticks"), mounter);
    const struct {
        std::string root;
        unsigned type;
    } cases[] = {
        {"F:\\", kDriveRemovable},  {"G:\\", kDriveRemovable},
        {"f:\\", kDriveRemovable},  {"H:\\", kDriveNoRootDir},
        {"C:\\", kDriveNoRootDir},  {"Z:\\", kDriveNoRootDir},
        {"F:", kDriveNoRootDir},    {"F:/", kDriveNoRootDir},
        {"F:\\x", kDriveNoRootDir}, {"F\\", kDriveNoRootDir},
        {"FF:\\", kDriveNoRootDir}, {"6:\\", kDriveNoRootDir},
        {"", kDriveNoRootDir},      {std::string("F:\\\0", 4), kDriveNoRootDir},
    };
    for (const auto &c : cases)
        EXPECT_EQ(services.GetDriveTypeA(c.root), c.type) << c.root;
    EXPECT_TRUE(mounter.calls.empty());
}

TEST(LinuxVolumeServices, VolumeInformation) {
    const struct {
        const char *tree;
        const char *root;
        const char *label;
        const char *fileSystem;
        uint32_t serial;
    } cases[] = {
        {"hub-two-sticks", "F:\\", "PORT 2", "FAT32", 0xABCD1234},
        {"hub-two-sticks", "G:\\", "PORT10", "FAT32", 0x1111AAAA},
        {"card-reader", "G:\\", "CAMERA", "FAT", 0x0C1E55F0},
        {"odd-partitions", "F:\\", "SWAP", "exFAT", 0x4F2E0A17},
        // NTFS serials are not of the short form udev shows FAT ones in.
        {"odd-partitions", "G:\\", "DATA", "NTFS", 0},
        {"whole-disk", "F:\\", "WHOLE", "FAT32", 0x2222BBBB},
        {"labels", "F:\\", "MY DISK", "FAT32", 0x55550001},
        {"labels", "G:\\", "\xe4\xb8\xad\xe6\x96\x87", "FAT32", 0x55550002},
        {"labels", "I:\\", "\xe4\xb8\xad", "FAT32", 0x55550004},
        {"labels", "J:\\", "A\\xZZ\\x4", "FAT32", 0x55550005},
        {"labels", "K:\\", "", "FAT32", 0x55550006},
        // No label, no ID_PATH, no UUID, and mountinfo lines for it that are garbage before the good one.
        {"broken", "I:\\", "", "FAT", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.tree) + " " + c.root);
        FakeMounter mounter;
        LinuxVolumeServices services(sysroot(c.tree), mounter);
        services.refreshDriveList();
        VolumeInformation info;
        ASSERT_TRUE(services.GetVolumeInformationA(c.root, info));
        EXPECT_EQ(info.volumeName, c.label);
        EXPECT_EQ(info.fileSystemName, c.fileSystem);
        EXPECT_EQ(info.serialNumber, c.serial);
        EXPECT_EQ(info.maximumComponentLength, 255u);
        EXPECT_TRUE(mounter.calls.empty());
    }
}

TEST(LinuxVolumeServices, VolumeInformationFailures) {
    const struct {
        const char *tree;
        const char *root;
        const char *why;
    } cases[] = {
        {"hub-two-sticks", "H:\\", "no such drive"},
        {"hub-two-sticks", "F:", "not a root path"},
        {"card-reader", "F:\\", "empty slot"},
        {"odd-partitions", "H:\\", "no ID_FS_TYPE"},
        {"odd-partitions", "I:\\", "no udev record"},
        {"whole-disk", "G:\\", "medium without partitions or file system"},
        {"whole-disk", "I:\\", "the mounter cannot mount it"},
        {"labels", "H:\\", "label neither UTF-8 nor CP936"},
        {"broken", "F:\\", "size unreadable"},
        {"broken", "G:\\", "size garbage"},
        {"broken", "H:\\", "ID_FS_USAGE crypto"},
        {"broken", "J:\\", "no ID_FS_USAGE"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        FakeMounter mounter;
        LinuxVolumeServices services(sysroot(c.tree), mounter);
        VolumeInformation info = untouchedInfo();
        EXPECT_FALSE(services.GetVolumeInformationA(c.root, info));
        EXPECT_EQ(info.volumeName, "untouched");
        EXPECT_EQ(info.fileSystemName, "untouched");
        EXPECT_EQ(info.serialNumber, 7u);
        EXPECT_EQ(info.maximumComponentLength, 8u);
        EXPECT_EQ(info.fileSystemFlags, 9u);
    }
}

TEST(LinuxVolumeServices, MountsWhatIsNotMounted) {
    FakeMounter mounter;
    mounter.answers["sdd"] = "/media/op/LATE";
    LinuxVolumeServices services(sysroot("whole-disk"), mounter);

    VolumeInformation info;
    ASSERT_TRUE(services.GetVolumeInformationA("H:\\", info));
    EXPECT_EQ(info.volumeName, "LATE");
    EXPECT_EQ(mounter.calls, std::vector<std::string>{"sdd"});

    ByteCount available, total, free;
    ASSERT_TRUE(services.GetDiskFreeSpaceExA("H:\\", available, total, free));
    struct statvfs direct {};
    ASSERT_EQ(::statvfs((sysroot("whole-disk") + "/media/op/LATE").c_str(), &direct), 0);
    EXPECT_EQ(bytesOf(total), uint64_t{direct.f_blocks} * direct.f_frsize);
    EXPECT_EQ(services.nativePath("H:\\x"), sysroot("whole-disk") + "/media/op/LATE/x");

    // The mounter failing leaves the drive unreadable.
    mounter.calls.clear();
    EXPECT_FALSE(services.GetVolumeInformationA("I:\\", info));
    EXPECT_EQ(mounter.calls, std::vector<std::string>{"sde"});
}

TEST(LinuxVolumeServices, AFailedMountIsTriedOncePerScan) {
    FakeMounter mounter;
    LinuxVolumeServices services(sysroot("whole-disk"), mounter);
    services.refreshDriveList();
    ByteCount available, total, free;
    VolumeInformation info;
    EXPECT_FALSE(services.GetDiskFreeSpaceExA("I:\\", available, total, free));
    EXPECT_FALSE(services.GetVolumeInformationA("I:\\", info));
    EXPECT_EQ(services.nativePath("I:\\x"), std::nullopt);
    // Another volume is not held back by it.
    EXPECT_FALSE(services.GetVolumeInformationA("H:\\", info));
    EXPECT_EQ(mounter.calls, (std::vector<std::string>{"sde", "sdd"}));

    // The next scan tries again, and takes what the mounter now gives.
    mounter.answers["sde"] = "/media/op/LATE";
    services.refreshDriveList();
    EXPECT_TRUE(services.GetDiskFreeSpaceExA("I:\\", available, total, free));
    EXPECT_EQ(mounter.calls, (std::vector<std::string>{"sde", "sdd", "sde"}));
}

TEST(LinuxVolumeServices, FreeSpaceIsWhatStatvfsSays) {
    const struct {
        const char *tree;
        const char *root;
        const char *mountPoint;
    } cases[] = {
        {"hub-two-sticks", "F:\\", "/media/op/PORT 2"},
        // The bind mount of a subfolder, listed first, is not the volume's mount point.
        {"hub-two-sticks", "G:\\", "/media/op/PORT10"},
        {"odd-partitions", "G:\\", "/media/op/DATA"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.tree) + " " + c.root);
        FakeMounter mounter;
        LinuxVolumeServices services(sysroot(c.tree), mounter);
        ByteCount available, total, free;
        ASSERT_TRUE(services.GetDiskFreeSpaceExA(c.root, available, total, free));
        struct statvfs direct {};
        ASSERT_EQ(::statvfs((sysroot(c.tree) + c.mountPoint).c_str(), &direct), 0);
        EXPECT_EQ(bytesOf(total), uint64_t{direct.f_blocks} * direct.f_frsize);
        // Free space may move between the two calls on a busy machine; it cannot exceed the total.
        EXPECT_LE(bytesOf(free), bytesOf(total));
        EXPECT_LE(bytesOf(available), bytesOf(free));
        EXPECT_GT(bytesOf(total), 0u);
        EXPECT_EQ(services.nativePath(c.root), sysroot(c.tree) + c.mountPoint);
        EXPECT_TRUE(mounter.calls.empty());
    }
}

TEST(LinuxVolumeServices, FreeSpaceFailuresLeaveTheCountsAlone) {
    const struct {
        const char *tree;
        const char *root;
    } cases[] = {
        {"card-reader", "F:\\"}, {"card-reader", "H:\\"}, {"whole-disk", "G:\\"},
        {"whole-disk", "I:\\"},  {"broken", "H:\\"},      {"card-reader", "G:"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.tree) + " " + c.root);
        FakeMounter mounter;
        LinuxVolumeServices services(sysroot(c.tree), mounter);
        ByteCount available{1, 2}, total{3, 4}, free{5, 6};
        EXPECT_FALSE(services.GetDiskFreeSpaceExA(c.root, available, total, free));
        EXPECT_EQ(bytesOf(available), uint64_t{2} << 32 | 1);
        EXPECT_EQ(bytesOf(total), uint64_t{4} << 32 | 3);
        EXPECT_EQ(bytesOf(free), uint64_t{6} << 32 | 5);
    }
}

TEST(LinuxVolumeServices, FreeSpaceFailsWhenTheMountPointIsGone) {
    FakeMounter mounter;
    mounter.answers["sde"] = "/media/op/NOT-THERE";
    LinuxVolumeServices services(sysroot("whole-disk"), mounter);
    ByteCount available{1, 1}, total{1, 1}, free{1, 1};
    EXPECT_FALSE(services.GetDiskFreeSpaceExA("I:\\", available, total, free));
    EXPECT_EQ(bytesOf(total), uint64_t{1} << 32 | 1);
}

TEST(LinuxVolumeServices, NativePaths) {
    FakeMounter mounter;
    LinuxVolumeServices services(sysroot("hub-two-sticks"), mounter);
    const std::string stick = sysroot("hub-two-sticks") + "/media/op/PORT 2";
    const struct {
        std::string windowsPath;
        std::optional<std::string> nativePath;
    } cases[] = {
        {"F:\\", stick},
        {"f:\\", stick},
        {"F:\\a\\b.txt", stick + "/a/b.txt"},
        {"F:\\dir\\", stick + "/dir"},
        {"F:\\a\\\\b", stick + "/a/b"},
        {"F:\\a/b", stick + "/a/b"},
        {"F:\\.\\a\\..\\b", stick + "/b"},
        {"F:\\..\\..\\etc\\passwd", stick + "/etc/passwd"},
        // Folders of this machine, as the operator chose them or the tool's own folder gives them.
        {"/home/op/cust\\DOCS\\", "/home/op/cust/DOCS/"},
        {"/opt/dravex\\Volnum.txt", "/opt/dravex/Volnum.txt"},
        {"/", "/"},
        {"F:", std::nullopt},
        {"F:a", std::nullopt},
        {"H:\\a", std::nullopt},
        {"\\a", std::nullopt},
        {"a\\b", std::nullopt},
        {"cust/DOCS", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(services.nativePath(c.windowsPath), c.nativePath) << c.windowsPath;
}

TEST(LinuxVolumeServices, LettersHoldUntilTheListIsRefreshed) {
    const std::filesystem::path tree =
        std::filesystem::path(::testing::TempDir()) / ("dravex-refresh-" + std::to_string(::getpid()));
    std::filesystem::remove_all(tree);
    std::filesystem::copy(sysroot("hub-two-sticks"), tree,
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::copy_symlinks);
    FakeMounter mounter;
    LinuxVolumeServices services(tree.string(), mounter);
    VolumeInformation info;
    // Read on first use without a refresh.
    ASSERT_TRUE(services.GetVolumeInformationA("F:\\", info));
    EXPECT_EQ(info.volumeName, "PORT 2");

    // The stick on port 2 is pulled: F still names it until the next refresh.
    std::filesystem::remove(tree / "sys/block/sdc");
    EXPECT_EQ(services.GetDriveTypeA("G:\\"), kDriveRemovable);
    services.refreshDriveList();
    EXPECT_EQ(services.GetDriveTypeA("G:\\"), kDriveNoRootDir);
    ASSERT_TRUE(services.GetVolumeInformationA("F:\\", info));
    EXPECT_EQ(info.volumeName, "PORT10");
    std::filesystem::remove_all(tree);
}

} // namespace
} // namespace dravex

namespace dravex {
namespace {

TEST(LinuxVolumeServices, VolumeRecordsAreReadAgainAtEveryRefresh) {
    TemporaryFolder folder;
    const std::string tree = copySysroot("hub-two-sticks", folder.path());
    FakeMounter mounter;
    LinuxVolumeServices services(tree, mounter);
    VolumeInformation info;
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
}

} // namespace
} // namespace dravex
