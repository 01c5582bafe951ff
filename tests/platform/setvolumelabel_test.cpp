#include "platform/linux/linuxvolumeservices.h"

#include "fixtures.h"
#include "platform/linux/programrun.h"
#include "processcapture.h"

#include <gtest/gtest.h>

namespace dravex {
namespace {

// A copy of guarded-sticks with a real 8 MiB FAT image as the device of every volume named.
class SetVolumeLabel : public ::testing::Test {
protected:
    void SetUp() override {
        m_tree = copySysroot("guarded-sticks", m_folder.path());
        std::filesystem::create_directories(m_tree + "/dev");
    }

    std::string makeImage(const std::string &volume, const char *mkfs = "mkfs.vfat") {
        const std::string image = m_tree + "/dev/" + volume;
        EXPECT_EQ(runProgram({"truncate", "-s", "8M", image}), 0);
        EXPECT_EQ(runProgram({mkfs, std::string(mkfs) == "mkfs.vfat" ? "-n" : "-L", "OLD", image}), 0);
        return image;
    }

    std::string labelOf(const std::string &image) {
        const ProcessResult result = runCaptured({"/usr/sbin/fatlabel", image});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return result.out.substr(0, result.out.find('\n'));
    }

    TemporaryFolder m_folder;
    std::string m_tree;
    FakeMounter m_mounter;
};

TEST_F(SetVolumeLabel, FatLabelIsWrittenAndReadsBack) {
    const std::string image = makeImage("sdb1");
    LinuxVolumeServices services(m_tree, m_mounter);
    EXPECT_TRUE(services.SetVolumeLabelA("F:\\", "NEW DISK"));
    EXPECT_EQ(labelOf(image), "NEW DISK");
    // A label that looks like an option is a label.
    EXPECT_TRUE(services.SetVolumeLabelA("f:\\", "-r"));
    EXPECT_EQ(labelOf(image), "-r");
    // An empty label removes it.
    EXPECT_TRUE(services.SetVolumeLabelA("F:\\", ""));
    EXPECT_EQ(labelOf(image), "");
    EXPECT_TRUE(m_mounter.calls.empty());
}

TEST_F(SetVolumeLabel, LabelFatCannotHoldLeavesTheOldOne) {
    const std::string image = makeImage("sdb1");
    LinuxVolumeServices services(m_tree, m_mounter);
    EXPECT_FALSE(services.SetVolumeLabelA("F:\\", "TWELVE CHARS"));
    EXPECT_FALSE(services.SetVolumeLabelA("F:\\", "A*B"));
    EXPECT_EQ(labelOf(image), "OLD");
}

TEST_F(SetVolumeLabel, ExfatThroughExfatlabel) {
    const std::string image = makeImage("sdb1", "mkfs.exfat");
    const std::string record = m_tree + "/run/udev/data/b8:17";
    std::string text = fileBytes(record);
    text.replace(text.find("ID_FS_TYPE=vfat"), 15, "ID_FS_TYPE=exfat");
    writeFileBytes(record, text);
    LinuxVolumeServices services(m_tree, m_mounter);
    EXPECT_TRUE(services.SetVolumeLabelA("F:\\", "EX LABEL"));
    const ProcessResult result = runCaptured({"/usr/sbin/exfatlabel", image});
    EXPECT_NE(result.out.find("label: EX LABEL"), std::string::npos) << result.out;
    EXPECT_FALSE(services.SetVolumeLabelA("F:\\", "-x"));
}

TEST_F(SetVolumeLabel, RefusedWhereTheGuardOrTheFileSystemSaysNo) {
    // Every volume gets an image, so only the refusal can keep its label.
    const std::vector<std::string> images = {makeImage("sdc1"), makeImage("sdd1"), makeImage("sde1"),
                                             makeImage("sdf"),  makeImage("sdh1"), makeImage("sda1")};
    LinuxVolumeServices services(m_tree, m_mounter);
    for (const char *root :
         {"G:\\", "H:\\", "I:\\", "J:\\", "K:\\", "L:\\", "N:\\", "Z:\\", "G:", "G:\\x", ""})
        EXPECT_FALSE(services.SetVolumeLabelA(root, "TAKEN")) << root;
    for (const std::string &image : images)
        EXPECT_EQ(labelOf(image), "OLD") << image;
}

TEST_F(SetVolumeLabel, RefusedWithoutAnImageOrForAnotherFileSystem) {
    LinuxVolumeServices services(m_tree, m_mounter);
    // No device below the root.
    EXPECT_FALSE(services.SetVolumeLabelA("F:\\", "NEW"));
    // udev says the volume holds something other than FAT or exFAT.
    const std::string image = makeImage("sdb1");
    const std::string record = m_tree + "/run/udev/data/b8:17";
    std::string text = fileBytes(record);
    text.replace(text.find("ID_FS_TYPE=vfat"), 15, "ID_FS_TYPE=ext4");
    writeFileBytes(record, text);
    LinuxVolumeServices other(m_tree, m_mounter);
    EXPECT_FALSE(other.SetVolumeLabelA("F:\\", "NEW"));
    EXPECT_EQ(labelOf(image), "OLD");
}

} // namespace
} // namespace dravex
