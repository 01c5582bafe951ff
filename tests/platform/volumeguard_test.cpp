#include "platform/linux/sysfs/volumeguard.h"

#include "platform/linux/sysfs/mountsource.h"

#include "fixtures.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace dravex {
namespace {

TEST(VolumeGuard, RefusesEveryDiskThatIsNotAPlainStick) {
    const SystemRoot root(sysroot("guarded-sticks"));
    const DriveMap map = DriveMap::read(root);
    const struct {
        char letter;
        Refusal refusal;
        const char *detail;
        const char *volume;
    } cases[] = {
        {'F', Refusal::None, "", "sdb1"},
        {'f', Refusal::None, "", "sdb1"},
        // / on the second partition refuses the first one as well.
        {'G', Refusal::SystemMount, "sdc2 /", ""},
        {'H', Refusal::SystemMount, "sdc2 /", ""},
        {'I', Refusal::ActiveSwap, "sdd2", ""},
        // /home lives on a device-mapper volume stacked on the stick's partition.
        {'K', Refusal::SystemMount, "dm-0 /home", ""},
        {'L', Refusal::NoMedium, "sdf", ""},
        {'M', Refusal::None, "", "sdg1"},
        // The fixed disks (sda, and sdh that says it is fixed) have no letter at all.
        {'N', Refusal::NotMapped, "N:", ""},
        {'1', Refusal::NotMapped, "1:", ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.letter);
        const VolumeCheck check = checkVolume(root, map, c.letter);
        EXPECT_EQ(check.refusal, c.refusal);
        EXPECT_EQ(check.detail, c.detail);
        EXPECT_EQ(check.volume.has_value(), c.refusal == Refusal::None);
        EXPECT_EQ(check.volume ? check.volume->volumeName : "", c.volume);
    }
}

TEST(VolumeGuard, FindsSystemMountsByTheirSourceAndLiveMedia) {
    const SystemRoot root(sysroot("system-sticks"));
    const DriveMap map = DriveMap::read(root);
    const struct {
        char letter;
        const char *detail;
    } cases[] = {
        // / on btrfs: an anonymous device number, the source /dev/sdb2.
        {'F', "sdb2 /"},
        {'G', "sdb2 /"},
        {'H', "sdc1 /run/live/medium"},
        // btrfs on an encrypted volume, named by its mapper name.
        {'I', "dm-1 /home"},
        // A udev link as the source.
        {'J', "sde1 /boot"},
        {'K', ""},
        {'L', "sdg1 /cdrom"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.letter);
        const VolumeCheck check = checkVolume(root, map, c.letter);
        EXPECT_EQ(check.refusal, *c.detail ? Refusal::SystemMount : Refusal::None);
        EXPECT_EQ(check.detail, c.detail);
    }
}

TEST(VolumeGuard, MountSourceNames) {
    TemporaryFolder folder;
    const std::string tree = copySysroot("system-sticks", folder.path());
    std::filesystem::create_symlink("loop-b", tree + "/dev/loop-a");
    std::filesystem::create_symlink("loop-a", tree + "/dev/loop-b");
    // An absolute target is read inside the tree, never on the machine.
    std::filesystem::create_symlink("/dev/sdf1", tree + "/dev/disk/by-uuid/absolute");
    const SystemRoot root(tree);
    const struct {
        const char *source;
        const char *kernelName;
    } cases[] = {
        {"/dev/sdb2", "sdb2"},
        {"/dev/mapper/cryptHome", "dm-1"},
        {"/dev/mapper/../sdb1", "sdb1"},
        {"/dev/disk/by-uuid/5e1f0b7a-0c4e-4d2b-8f57-6a1d2e3f4a5b", "sde1"},
        {"/dev/disk/by-uuid/absolute", "sdf1"},
        {"/dev/mapper/nobody", ""},
        {"/dev/loop-a", ""},
        {"/dev/../etc/passwd", ""},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(sourceKernelName(root, c.source), c.kernelName) << c.source;
}

TEST(VolumeGuard, DiskWithoutMediumPassesOnlyWhereTheCallerAllowsIt) {
    TemporaryFolder folder;
    const std::string tree = copySysroot("guarded-sticks", folder.path());
    const SystemRoot root(tree);
    const DriveMap map = DriveMap::read(root);
    const VolumeCheck empty = checkVolume(root, map, 'L', GuardRules{MediumRule::MayBeMissing});
    ASSERT_TRUE(empty.volume);
    EXPECT_FALSE(empty.volume->hasMedium);
    EXPECT_EQ(empty.volume->diskName, "sdf");
    EXPECT_EQ(checkVolume(root, map, 'L').refusal, Refusal::NoMedium);
    // The stick / runs from, reporting no medium: its partitions are still there, and G: is now all of it.
    writeFileBytes(tree + "/sys/block/sdc/size", "0\n");
    const DriveMap emptied = DriveMap::read(root);
    EXPECT_EQ(checkVolume(root, emptied, 'G').refusal, Refusal::NoMedium);
    EXPECT_EQ(checkVolume(root, emptied, 'G', GuardRules{MediumRule::MayBeMissing}).refusal,
              Refusal::SystemMount);
}

TEST(VolumeGuard, RefusesWhatChangedAfterTheMapWasRead) {
    TemporaryFolder folder;
    const std::string tree = copySysroot("guarded-sticks", folder.path());
    const SystemRoot root(tree);
    const DriveMap map = DriveMap::read(root);
    // A swap listed under another path still counts; the heading alone lists nothing.
    const std::string swaps = fileBytes(tree + "/proc/swaps");
    writeFileBytes(tree + "/proc/swaps", "sdb1 Type Size Used Priority\n");
    EXPECT_EQ(checkVolume(root, map, 'F').refusal, Refusal::None);
    writeFileBytes(tree + "/proc/swaps",
                   "Filename Type Size Used Priority\n/dev/disk/by-x/../../sdb1 partition 1 0 -2\n");
    EXPECT_EQ(checkVolume(root, map, 'F').refusal, Refusal::ActiveSwap);
    writeFileBytes(tree + "/proc/swaps", swaps);
    // Without the mount table nothing can be confirmed.
    std::filesystem::rename(tree + "/proc/self/mountinfo", tree + "/mountinfo");
    EXPECT_EQ(checkVolume(root, map, 'F').refusal, Refusal::Unconfirmed);
    std::filesystem::rename(tree + "/mountinfo", tree + "/proc/self/mountinfo");
    // A disk that says it is fixed now.
    writeFileBytes(tree + "/sys/block/sdb/removable", "0\n");
    const VolumeCheck check = checkVolume(root, map, 'F');
    EXPECT_EQ(check.refusal, Refusal::NotRemovable);
    EXPECT_FALSE(check.volume);
}

TEST(VolumeGuard, DevicePathBelowAFixtureRootIsOnlyAPlainFile) {
    TemporaryFolder folder;
    const std::string tree = copySysroot("guarded-sticks", folder.path());
    const SystemRoot root(tree);
    const VolumeCheck check = checkVolume(root, DriveMap::read(root), 'F');
    ASSERT_TRUE(check.volume);
    EXPECT_FALSE(volumeDevicePath(root, *check.volume));

    std::filesystem::create_directories(tree + "/dev");
    writeFileBytes(tree + "/dev/sdb1", "image");
    EXPECT_EQ(volumeDevicePath(root, *check.volume), tree + "/dev/sdb1");

    // A link could lead anywhere, a real disk included.
    std::filesystem::remove(tree + "/dev/sdb1");
    std::filesystem::create_symlink(tree + "/image", tree + "/dev/sdb1");
    writeFileBytes(tree + "/image", "image");
    EXPECT_FALSE(volumeDevicePath(root, *check.volume));
    std::filesystem::remove(tree + "/dev/sdb1");
    std::filesystem::create_directory(tree + "/dev/sdb1");
    EXPECT_FALSE(volumeDevicePath(root, *check.volume));

    MappedVolume escaping = *check.volume;
    escaping.volumeName = "../image";
    EXPECT_FALSE(volumeDevicePath(root, escaping));
    // On the machine itself the path must be that volume's block device: /dev/null is a character device.
    MappedVolume null;
    null.volumeName = "null";
    null.major = 1;
    null.minor = 3;
    EXPECT_FALSE(volumeDevicePath(SystemRoot("/"), null));
}

} // namespace
} // namespace dravex
