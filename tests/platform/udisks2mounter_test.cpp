#include "platform/linux/udisks2/udisks2mounter.h"

#include <gtest/gtest.h>

namespace dravex {
namespace {

TEST(UDisks2BlockObjectPath, Table) {
    const struct {
        const char *kernelName;
        const char *objectPath;
    } cases[] = {
        {"sdb1", "/org/freedesktop/UDisks2/block_devices/sdb1"},
        {"mmcblk0p1", "/org/freedesktop/UDisks2/block_devices/mmcblk0p1"},
        {"dm-0", "/org/freedesktop/UDisks2/block_devices/dm_2d0"},
        {"a/b c", "/org/freedesktop/UDisks2/block_devices/a_2fb_20c"},
        {"\xe4", "/org/freedesktop/UDisks2/block_devices/_e4"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(udisks2BlockObjectPath(c.kernelName), c.objectPath);
}

} // namespace
} // namespace dravex
