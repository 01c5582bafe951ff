#include "platform/linux/process/fallbackdiskactions.h"

#include "fixtures.h"

#include <gtest/gtest.h>

namespace dravex {
namespace {

// Keeps every command line instead of running it, and answers with the exit code the test sets.
class FallbackDiskActionsTest : public ::testing::Test {
protected:
    FallbackDiskActions actionsOn(const std::string &fixture) {
        m_tree = copySysroot(fixture, m_folder.path());
        std::filesystem::create_directories(m_tree + "/dev");
        return FallbackDiskActions(SystemRoot(m_tree), [this](const std::vector<std::string> &arguments) {
            m_commands.push_back(arguments);
            return m_exitCode;
        });
    }

    // Gives the disk the sysfs file the kernel offers for deleting its SCSI device.
    std::string deleteFile(const std::string &disk) {
        std::filesystem::create_directories(m_tree + "/sys/block/" + disk + "/device");
        const std::string path = m_tree + "/sys/block/" + disk + "/device/delete";
        writeFileBytes(path, "");
        return path;
    }

    TemporaryFolder m_folder;
    std::string m_tree;
    std::vector<std::vector<std::string>> m_commands;
    std::optional<int> m_exitCode = 0;
};

using Commands = std::vector<std::vector<std::string>>;

TEST_F(FallbackDiskActionsTest, UnmountsEveryMountPointAndMountsBackWhereItWas) {
    FallbackDiskActions actions = actionsOn("hub-two-sticks");
    writeFileBytes(m_tree + "/dev/sdb1", "image");
    // Nothing was unmounted by us, so nothing is mounted.
    EXPECT_FALSE(actions.mount("sdb1"));
    EXPECT_TRUE(m_commands.empty());

    ASSERT_TRUE(actions.unmount("sdb1"));
    EXPECT_EQ(m_commands, (Commands{{"umount", m_tree + "/media/op/PORT10"},
                                    {"umount", m_tree + "/media/op/PORT10/sub"}}));
    m_commands.clear();
    // Where the whole volume was, not where one of its folders was bound.
    EXPECT_EQ(actions.mount("sdb1"), "/media/op/PORT10");
    EXPECT_EQ(m_commands, (Commands{{"mount", m_tree + "/dev/sdb1", m_tree + "/media/op/PORT10"}}));
    // Once only.
    EXPECT_FALSE(actions.mount("sdb1"));
    EXPECT_EQ(m_commands.size(), 1u);
}

TEST_F(FallbackDiskActionsTest, BtrfsMountIsFoundByItsSource) {
    FallbackDiskActions actions = actionsOn("system-sticks");
    ASSERT_TRUE(actions.unmount("sdf1"));
    EXPECT_EQ(m_commands, (Commands{{"umount", m_tree + "/media/op/BTRFS"}}));
}

TEST_F(FallbackDiskActionsTest, FailedUnmountLeavesNothingToMountBack) {
    FallbackDiskActions actions = actionsOn("guarded-sticks");
    writeFileBytes(m_tree + "/dev/sdb1", "image");
    m_exitCode = 32;
    EXPECT_FALSE(actions.unmount("sdb1"));
    m_exitCode = std::nullopt;
    EXPECT_FALSE(actions.unmount("sdb1"));
    m_exitCode = 0;
    EXPECT_FALSE(actions.mount("sdb1"));
    EXPECT_EQ(m_commands.size(), 2u);
    // A volume that is not mounted needs nothing; a name that is no block device is refused.
    EXPECT_TRUE(actions.unmount("sdf"));
    EXPECT_FALSE(actions.unmount("../sdb1"));
    EXPECT_FALSE(actions.unmount("sdz9"));
    EXPECT_EQ(m_commands.size(), 2u);
}

TEST_F(FallbackDiskActionsTest, PowerOffDeletesOnlyAWholeRemovableStick) {
    FallbackDiskActions actions = actionsOn("guarded-sticks");
    const std::string stick = deleteFile("sdb");
    const std::string slot = deleteFile("sdg");
    const std::string fixed = deleteFile("sdh");
    EXPECT_TRUE(actions.powerOff("sdb"));
    EXPECT_EQ(fileBytes(stick), "1");
    EXPECT_FALSE(actions.powerOff("sdg"));
    EXPECT_FALSE(actions.powerOff("sdh"));
    EXPECT_EQ(fileBytes(slot), "");
    EXPECT_EQ(fileBytes(fixed), "");
    // No such file: the kernel offers no way, and none is made up.
    EXPECT_FALSE(actions.powerOff("sdc"));
    EXPECT_FALSE(std::filesystem::exists(m_tree + "/sys/block/sdc/device/delete"));
    EXPECT_FALSE(actions.powerOff("../block/sdb"));
    EXPECT_TRUE(m_commands.empty());
}

TEST_F(FallbackDiskActionsTest, PowerOffLeavesADiskWithAHolderAndClosesNoHolder) {
    FallbackDiskActions actions = actionsOn("guarded-sticks");
    const std::string stick = deleteFile("sdb");
    // A mapping opened on the stick's partition, a LUKS volume or an LVM physical volume.
    std::filesystem::create_directories(m_tree + "/sys/block/sdb/sdb1/holders/dm-4");
    EXPECT_FALSE(actions.powerOff("sdb"));
    EXPECT_FALSE(actions.closeHolder("sdb1", "dm-4"));
    EXPECT_EQ(fileBytes(stick), "");
    EXPECT_TRUE(m_commands.empty());
}

TEST_F(FallbackDiskActionsTest, EjectRunsEjectOnTheDiskNode) {
    FallbackDiskActions actions = actionsOn("guarded-sticks");
    writeFileBytes(m_tree + "/dev/sdg", "image");
    EXPECT_TRUE(actions.eject("sdg"));
    EXPECT_EQ(m_commands, (Commands{{"eject", m_tree + "/dev/sdg"}}));
    m_exitCode = 1;
    EXPECT_FALSE(actions.eject("sdg"));
    // Without a node that passes the guard's check nothing is run.
    EXPECT_FALSE(actions.eject("sdb"));
    EXPECT_EQ(m_commands.size(), 2u);
}

} // namespace
} // namespace dravex
