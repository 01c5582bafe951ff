#include "fixtures.h"
#include "platform/linux/sysfs/disklock.h"
#include "platform/linux/windows/linuxvolumeservices.h"

#include <gtest/gtest.h>

#include <fstream>

namespace dravex {
namespace {

TEST(DiskLock, HeldUntilReleasedAndSeenByOthers) {
    TemporaryFolder folder;
    const std::string node = folder.path().string() + "/sdb";
    std::ofstream(node).close();
    EXPECT_FALSE(isDiskLocked(node));
    {
        std::optional<DiskLock> lock = DiskLock::acquire(node);
        ASSERT_TRUE(lock);
        EXPECT_TRUE(isDiskLocked(node));
        // Moved, it is still the one lock, released once.
        std::optional<DiskLock> moved(std::move(*lock));
        lock.reset();
        EXPECT_TRUE(isDiskLocked(node));
    }
    EXPECT_FALSE(isDiskLocked(node));

    EXPECT_FALSE(DiskLock::acquire(folder.path().string() + "/missing"));
    EXPECT_FALSE(isDiskLocked(folder.path().string() + "/missing"));
}

// A helper holding the disk's lock has unmounted it on purpose: the scan leaves it unmounted and tries
// again at the next scan.
TEST(DiskLock, TheVolumeServicesDoNotMountALockedDisk) {
    TemporaryFolder folder;
    const std::string tree = copySysroot("whole-disk", folder.path());
    std::filesystem::create_directories(tree + "/dev");
    std::ofstream(tree + "/dev/sdd").close();
    FakeMounter mounter;
    mounter.answers["sdd"] = "/media/op/LATE";
    LinuxVolumeServices services(tree, mounter);
    VolumeInformation info;
    {
        const auto lock = DiskLock::acquire(tree + "/dev/sdd");
        ASSERT_TRUE(lock);
        services.refreshDriveList();
        EXPECT_FALSE(services.GetVolumeInformationA("H:\\", info));
        EXPECT_TRUE(mounter.calls.empty());
    }
    services.refreshDriveList();
    ASSERT_TRUE(services.GetVolumeInformationA("H:\\", info));
    EXPECT_EQ(info.volumeName, "LATE");
    EXPECT_EQ(mounter.calls, std::vector<std::string>{"sdd"});
}

} // namespace
} // namespace dravex
