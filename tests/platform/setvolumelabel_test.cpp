#include "platform/linux/windows/linuxvolumeservices.h"

#include "platform/linux/windows/fatlabel.h"

#include "fixtures.h"
#include "platform/linux/process/programrun.h"
#include "processcapture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

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
        EXPECT_EQ(runProgram({mkfs, std::string(mkfs) == "mkfs.exfat" ? "-L" : "-n", "OLD", image}), 0);
        return image;
    }

    // The label's bytes as blkid, and so udev and the scan, read them: from the root folder's entry, or
    // with field LABEL_FATBOOT from the boot sector.
    std::string rawLabelOf(const std::string &image, const char *field = "LABEL") {
        const ProcessResult result =
            runCaptured({"/usr/sbin/blkid", "-p", "-o", "value", "-s", field, image});
        return result.out.substr(0, result.out.find('\n'));
    }

    void expectCleanFat(const std::string &image) {
        const ProcessResult result = runCaptured({"/usr/sbin/fsck.vfat", "-n", image});
        EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
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
    // A label FAT cannot hold leaves the old one: 12 bytes, characters FAT refuses, 12 bytes in code page
    // 936, a character it lacks.
    for (const char *label : {"TWELVE CHARS", "A*B", "a.b",
                              "\xe4\xb8\xad\xe6\x96\x87\xe6\xa0\x87\xe7\xad\xbe"
                              "abcd",
                              "\xf0\x9f\x98\x80"})
        EXPECT_FALSE(services.SetVolumeLabelA("F:\\", label)) << label;
    EXPECT_EQ(labelOf(image), "OLD");
    // FAT keeps labels in upper case; a label that looks like an option is a label; empty removes it.
    for (const auto &[label, stored] : {std::pair{"NEW DISK", "NEW DISK"}, {"-r", "-R"}, {"", ""}}) {
        EXPECT_TRUE(services.SetVolumeLabelA("f:\\", label)) << label;
        EXPECT_EQ(labelOf(image), stored);
    }
    EXPECT_TRUE(m_mounter.calls.empty());
}

TEST_F(SetVolumeLabel, ChineseFatLabelsInCodePage936) {
    // FAT12 keeps its root folder in a fixed place, FAT32 in a cluster chain.
    for (const char *bits : {"12", "32"}) {
        SCOPED_TRACE(bits);
        const std::string image = m_tree + "/dev/sdb1";
        std::filesystem::remove(image);
        ASSERT_EQ(runProgram({"truncate", "-s", "40M", image}), 0);
        ASSERT_EQ(runProgram({"mkfs.vfat", "-F", bits, "-n", "OLD", image}), 0);
        LinuxVolumeServices services(m_tree, m_mounter);
        // 数据, 咫尺 and 中文标签abc, one after the other over the same entry.
        EXPECT_TRUE(services.SetVolumeLabelA("F:\\", "\xe6\x95\xb0\xe6\x8d\xae"));
        EXPECT_EQ(rawLabelOf(image), "\xca\xfd\xbe\xdd");
        // 咫尺 starts with the byte that marks a free folder entry, which the entry stores as 0x05.
        EXPECT_TRUE(services.SetVolumeLabelA("F:\\", "\xe5\x92\xab\xe5\xb0\xba"));
        EXPECT_EQ(rawLabelOf(image), "\xe5\xeb\xb3\xdf");
        // ASCII upper-cased: 11 bytes, the most FAT holds.
        EXPECT_TRUE(services.SetVolumeLabelA("F:\\", "\xe4\xb8\xad\xe6\x96\x87\xe6\xa0\x87\xe7\xad\xbe"
                                                     "abc"));
        for (const char *field : {"LABEL", "LABEL_FATBOOT"})
            EXPECT_EQ(rawLabelOf(image, field), "\xd6\xd0\xce\xc4\xb1\xea\xc7\xa9"
                                                "ABC")
                << field;
        // fsck.fat 4.2 calls every label beyond ASCII invalid; back in ASCII, through fatlabel, the file
        // system must be as clean as before.
        EXPECT_TRUE(services.SetVolumeLabelA("F:\\", "plain"));
        EXPECT_EQ(labelOf(image), "PLAIN");
        EXPECT_EQ(rawLabelOf(image, "LABEL_FATBOOT"), "PLAIN");
        expectCleanFat(image);
    }
}

TEST_F(SetVolumeLabel, AReadOnlyStickKeepsItsLabelAndSaysSo) {
    const std::string image = makeImage("sdb1");
    const std::string before = fileBytes(image);
    // The write-protect switch, as the kernel shows it on the disk and on its partition.
    for (const char *attribute : {"/sys/block/sdb/ro", "/sys/class/block/sdb1/ro"}) {
        SCOPED_TRACE(attribute);
        writeFileBytes(m_tree + attribute, "1\n");
        LinuxVolumeServices services(m_tree, m_mounter);
        // 数据 goes straight into the file system, NEW through fatlabel: neither may report success.
        EXPECT_FALSE(services.SetVolumeLabelA("F:\\", "\xe6\x95\xb0\xe6\x8d\xae"));
        EXPECT_FALSE(services.SetVolumeLabelA("F:\\", "NEW"));
        EXPECT_EQ(fileBytes(image), before);
        writeFileBytes(m_tree + attribute, "0\n");
    }
    EXPECT_TRUE(LinuxVolumeServices(m_tree, m_mounter).SetVolumeLabelA("F:\\", "\xe6\x95\xb0\xe6\x8d\xae"));
    EXPECT_EQ(rawLabelOf(image), "\xca\xfd\xbe\xdd");
}

// Puts a stand-in udevadm first on PATH that notes its arguments, and takes it away again.
class RecordingUdevadm {
public:
    explicit RecordingUdevadm(const std::filesystem::path &folder)
        : m_log((folder / "udevadm.log").string()), m_oldPath(std::getenv("PATH")) {
        const std::string program = (folder / "udevadm").string();
        writeFileBytes(program, "#!/bin/sh\necho \"$*\" >> \"$0.log\"\n");
        ::chmod(program.c_str(), 0755);
        ::setenv("PATH", (folder.string() + ":" + m_oldPath).c_str(), 1);
    }
    ~RecordingUdevadm() { ::setenv("PATH", m_oldPath.c_str(), 1); }

    std::string calls() const { return std::filesystem::exists(m_log) ? fileBytes(m_log) : std::string(); }

private:
    std::string m_log;
    std::string m_oldPath;
};

TEST_F(SetVolumeLabel, WaitsForUdevToReadTheVolumeAgainOnlyAfterALabelWasWritten) {
    const std::string image = makeImage("sdb1");
    RecordingUdevadm udevadm(m_folder.path());
    LinuxVolumeServices services(m_tree, m_mounter);
    EXPECT_FALSE(services.SetVolumeLabelA("F:\\", "A*B"));
    EXPECT_FALSE(services.SetVolumeLabelA("G:\\", "NEW"));
    EXPECT_EQ(udevadm.calls(), "");
    EXPECT_TRUE(services.SetVolumeLabelA("F:\\", "NEW"));
    const std::string waited = "trigger --action=change --settle " + image + "\n";
    EXPECT_EQ(udevadm.calls(), waited);
    EXPECT_TRUE(services.SetVolumeLabelA("F:\\", "\xe6\x95\xb0\xe6\x8d\xae"));
    EXPECT_EQ(udevadm.calls(), waited + waited);
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
    for (const char *root : {"G:\\", "H:\\", "I:\\", "J:\\", "K:\\", "L:\\", "N:\\", "G:", "G:\\x", ""})
        EXPECT_FALSE(services.SetVolumeLabelA(root, "TAKEN")) << root;
    for (const std::string &image : images)
        EXPECT_EQ(labelOf(image), "OLD") << image;
    // No device below the root; then udev saying the volume holds something other than FAT or exFAT.
    EXPECT_FALSE(services.SetVolumeLabelA("F:\\", "NEW"));
    const std::string image = makeImage("sdb1");
    const std::string record = m_tree + "/run/udev/data/b8:17";
    std::string text = fileBytes(record);
    text.replace(text.find("ID_FS_TYPE=vfat"), 15, "ID_FS_TYPE=ext4");
    writeFileBytes(record, text);
    EXPECT_FALSE(LinuxVolumeServices(m_tree, m_mounter).SetVolumeLabelA("F:\\", "NEW"));
    EXPECT_EQ(labelOf(image), "OLD");
}

// A 1 MiB FAT32 boot sector whose counts are the test's to choose, with the root folder at cluster 2.
std::string craftedFat32(uint32_t totalSectors, uint32_t rootCluster) {
    std::string image(1u << 20, '\0');
    const auto put16 = [&](size_t at, unsigned value) {
        image[at] = static_cast<char>(value & 0xFF);
        image[at + 1] = static_cast<char>(value >> 8 & 0xFF);
    };
    const auto put32 = [&](size_t at, uint32_t value) {
        put16(at, value & 0xFFFF);
        put16(at + 2, value >> 16);
    };
    put16(11, 512); // bytes a sector
    image[13] = 1;  // sectors a cluster
    put16(14, 32);  // reserved sectors
    image[16] = 2;  // FATs
    put32(32, totalSectors);
    put32(36, 8); // sectors a FAT
    put32(44, rootCluster);
    image[66] = 0x29; // has a label field
    image[510] = 0x55;
    image[511] = static_cast<char>(0xAA);
    return image;
}

TEST(WriteFatLabel, ChainsThatLoopOrLeaveTheDeviceAreRefusedUntouched) {
    TemporaryFolder folder;
    const std::string path = (folder.path() / "image").string();
    const std::string outside = (folder.path() / "outside").string();
    writeFileBytes(outside, "beside the image");
    // Where the FAT entry of cluster n lies in the crafted image.
    const auto fatEntry = [](uint32_t cluster) { return 32 * 512 + cluster * 4; };
    const struct {
        const char *what;
        uint32_t totalSectors;
        uint32_t rootCluster;
        std::vector<std::pair<uint32_t, uint32_t>> chain; // cluster, next
    } cases[] = {
        // The boot sector claims 2 TiB; the chain runs 2, 3, 2, 3... and would grow without end.
        {"a loop on a device claiming 2 TiB", 0xFFFFFFFF, 2, {{2, 3}, {3, 2}}},
        {"a cluster pointing to itself", 2048, 2, {{2, 2}}},
        // Valid for the claimed size, past the end of the 1 MiB the image has.
        {"a root folder past the device's end", 0xFFFFFFFF, 0x00100000, {}},
        {"a chain leaving the device", 0xFFFFFFFF, 2, {{2, 0x00200000}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::string image = craftedFat32(c.totalSectors, c.rootCluster);
        for (const auto &[cluster, next] : c.chain)
            for (int byte = 0; byte < 4; ++byte)
                image[fatEntry(cluster) + byte] = static_cast<char>(next >> (8 * byte) & 0xFF);
        writeFileBytes(path, image);
        EXPECT_FALSE(writeFatLabel(path, "LOOP"));
        EXPECT_EQ(fileBytes(path), image);
        EXPECT_EQ(fileBytes(outside), "beside the image");
    }
    // The same image with a chain that ends takes the label: what was refused was the chain.
    std::string image = craftedFat32(2048, 2);
    for (int byte = 0; byte < 4; ++byte)
        image[fatEntry(2) + byte] = static_cast<char>(0x0FFFFFFF >> (8 * byte) & 0xFF);
    writeFileBytes(path, image);
    EXPECT_TRUE(writeFatLabel(path, "ENDS"));
    // The root folder's first entry (cluster 2, after 32 reserved sectors and two FATs of 8) and the boot
    // sector's field.
    const std::string written = fileBytes(path);
    EXPECT_EQ(written.substr(48 * 512, 12), std::string("ENDS       \x08"));
    EXPECT_EQ(written.substr(71, 11), "ENDS       ");
}

} // namespace
} // namespace dravex
