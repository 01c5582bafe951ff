#include "platform/linux/sysfs/mountinfo.h"

#include <gtest/gtest.h>

#include <tuple>

namespace dravex {
namespace {

auto fields(const MountEntry &e) {
    return std::tie(e.major, e.minor, e.root, e.mountPoint, e.fsType, e.source);
}

struct MountInfoCase {
    const char *name;
    std::string text;
    std::vector<MountEntry> expected;
};

TEST(ParseMountInfo, Table) {
    const std::vector<MountInfoCase> cases = {
        {"plain line with one optional field",
         "36 25 8:17 / /media/op/STICK rw,nosuid shared:100 - vfat /dev/sdb1 rw,fmask=0022\n",
         {{8, 17, "/", "/media/op/STICK", "vfat", "/dev/sdb1"}}},
        {"no optional field, no final newline",
         "36 25 8:17 / /mnt rw - vfat /dev/sdb1 rw",
         {{8, 17, "/", "/mnt", "vfat", "/dev/sdb1"}}},
        {"several optional fields",
         "36 25 259:3 /sub /mnt/x rw shared:1 master:2 propagate_from:3 - ext4 /dev/nvme0n1p3 rw",
         {{259, 3, "/sub", "/mnt/x", "ext4", "/dev/nvme0n1p3"}}},
        {"escaped blank, tab, newline and backslash",
         "36 25 8:17 /a\\040b /media/op/MY\\040DISK\\011x\\012y\\134z rw - vfat /dev/my\\040dev rw",
         {{8, 17, "/a b", "/media/op/MY DISK\tx\ny\\z", "vfat", "/dev/my dev"}}},
        {"escapes that are not three octal digits stay literal",
         "36 25 8:17 / /m\\04x\\400\\9 rw - vfat src rw",
         {{8, 17, "/", "/m\\04x\\400\\9", "vfat", "src"}}},
        {"escape cut off at the end of the field",
         "36 25 8:17 / /m\\04 rw - vfat src rw",
         {{8, 17, "/", "/m\\04", "vfat", "src"}}},
        {"too few fields", "36 25 8:17 / /mnt rw - vfat\n", {}},
        {"no separator", "36 25 8:17 / /mnt rw shared:1 vfat /dev/sdb1 rw\n", {}},
        {"separator without file system and source", "36 25 8:17 / /mnt rw a b c -\n", {}},
        {"device that is no major:minor",
         "36 25 sdb1 / /mnt rw - vfat /dev/sdb1 rw\n36 25 8: / /mnt rw - vfat s rw\n",
         {}},
        {"device numbers beyond range", "36 25 8:99999999999 / /mnt rw - vfat /dev/sdb1 rw\n", {}},
        {"empty text", "", {}},
        {"malformed lines between good ones are skipped",
         "garbage\n\n\t\n36 25 8:17 / /a rw - vfat s rw\n36 25 8:17 / /b rw\n37 25 8:33 / /c rw - exfat t "
         "rw\n",
         {{8, 17, "/", "/a", "vfat", "s"}, {8, 33, "/", "/c", "exfat", "t"}}},
        {"bytes that are not text",
         std::string(1, '\0') + "\xff 25 8:1 / /a rw - vfat s rw\n\xfe\n",
         {{8, 1, "/", "/a", "vfat", "s"}}},
    };
    for (const MountInfoCase &c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<MountEntry> parsed = parseMountInfo(c.text);
        ASSERT_EQ(parsed.size(), c.expected.size());
        for (size_t i = 0; i < parsed.size(); ++i)
            EXPECT_EQ(fields(parsed[i]), fields(c.expected[i])) << "entry " << i;
    }
}

} // namespace
} // namespace dravex
