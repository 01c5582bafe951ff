#include "helpers/format.h"

#include "helperfixtures.h"
#include "helpers/formattexts.h"
#include "platform/linux/process/programrun.h"

#include <gtest/gtest.h>

namespace dravex {
namespace {

constexpr uint64_t kMiB = 1u << 20;
// Twelve bytes in code page 936: one more than a FAT label holds.
const char *const kSixChinese = "数据数据数据";

TEST(ParseFormatCommand, CommandLinesTheToolBuilds) {
    const struct {
        const char *text;
        char letter;
        FormatFileSystem fileSystem;
        const char *label;
        bool quick;
    } cases[] = {
        {"H:/FS:FAT32/V:DATA/q/y", 'H', FormatFileSystem::Fat32, "DATA", true},
        {"H:/FS:FAT/y", 'H', FormatFileSystem::Fat, "", false},
        {"H:/FS:FAT/q/y", 'H', FormatFileSystem::Fat, "", true},
        {"h:/fs:fat32/v:data/Q/Y", 'H', FormatFileSystem::Fat32, "data", true},
        {"Z:/FS:exFAT/V:MY DISK/y", 'Z', FormatFileSystem::Exfat, "MY DISK", false},
        {"F:/FS:FAT/V: LEAD /q/y", 'F', FormatFileSystem::Fat, " LEAD ", true},
        {"F:/FS:FAT/V:/y", 'F', FormatFileSystem::Fat, "", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        const ParsedFormatCommand parsed = parseFormatCommand(c.text);
        ASSERT_TRUE(parsed.command) << parsed.problem;
        EXPECT_EQ(parsed.command->letter, c.letter);
        EXPECT_EQ(parsed.command->fileSystem, c.fileSystem);
        EXPECT_EQ(parsed.command->label, c.label);
        EXPECT_EQ(parsed.command->quick, c.quick);
    }
}

TEST(ParseFormatCommand, BadCommandLinesSayWhatIsWrong) {
    const std::pair<const char *, std::vector<const char *>> cases[] = {
        {formattexts::kBadLetter, {"", "H", "HH:/FS:FAT/y", "1:/FS:FAT/y", ":/FS:FAT/y"}},
        {formattexts::kMissingYes, {"H:/FS:FAT", "H:/FS:FAT/q", "H:/FS:FAT/y/q"}},
        {formattexts::kMissingFileSystem, {"H:/y", "H: /FS:FAT/y", "H:/V:DATA/FS:FAT/y"}},
        {formattexts::kUnknownFileSystem, {"H:/FS:HPFS/y", "H:/FS:/y", "H:/FS:FAT32 /y"}},
        {formattexts::kNtfsUnsupported, {"H:/FS:NTFS/q/y"}},
        {formattexts::kBadSwitch, {"H:/FS:FAT/X:1/y", "H:/FS:FAT/y/y"}},
        // "/q" inside a label is no switch when more follows it, and so no label either.
        {formattexts::kLabelSlash, {"H:/FS:FAT/V:A/B/y", "H:/FS:FAT/V:A/QB/y"}},
    };
    for (const auto &[problem, texts] : cases) {
        for (const char *text : texts) {
            const ParsedFormatCommand parsed = parseFormatCommand(text);
            EXPECT_FALSE(parsed.command) << text;
            EXPECT_EQ(parsed.problem.rfind(problem, 0), 0u) << text << " -> " << parsed.problem;
        }
    }
}

TEST(FormatLabel, WhatEachFileSystemHolds) {
    // FAT counts code page 936 bytes, two for each Chinese character, eleven in all; exFAT counts characters.
    const struct {
        FormatFileSystem fileSystem;
        std::vector<const char *> fitting;
        std::vector<const char *> refused;
    } cases[] = {
        {FormatFileSystem::Fat32, {"", "ELEVEN CHAR"}, {"TWELVE CHARS", "中文标签abcd"}},
        {FormatFileSystem::Fat,
         {"my-disk_1", "中", "中文标签abc"},
         {"A*B", "A.B", "A\tB", "\xf0\x9f\x98\x80", "\xff"}},
        {FormatFileSystem::Exfat, {"中文 ABCDEFGH"}, {"中文 ABCDEFGHI", "A\x01", "\xff"}},
    };
    for (const auto &c : cases) {
        for (const char *label : c.fitting)
            EXPECT_EQ(labelProblem(c.fileSystem, label), "") << label;
        for (const char *label : c.refused)
            EXPECT_NE(labelProblem(c.fileSystem, label), "") << label;
    }
    EXPECT_EQ(labelProblem(FormatFileSystem::Fat, kSixChinese).rfind(formattexts::kFatLabelTooLong, 0), 0u);
    EXPECT_EQ(labelProblem(FormatFileSystem::Fat, "A?").rfind(formattexts::kFatLabelCharacters, 0), 0u);
}

TEST(FormatMkfs, ArgumentsPerFileSystemAndSize) {
    FormatCommand fat;
    fat.fileSystem = FormatFileSystem::Fat;
    using Arguments = std::vector<std::string>;
    EXPECT_EQ(mkfsArguments(fat, "/dev/sdb1", 16 * kMiB - 512, false),
              (Arguments{"mkfs.vfat", "-F", "12", "/dev/sdb1"}));
    EXPECT_EQ(mkfsArguments(fat, "/dev/sdb1", 16 * kMiB, false),
              (Arguments{"mkfs.vfat", "-F", "16", "/dev/sdb1"}));
    FormatCommand fat32 = fat;
    fat32.fileSystem = FormatFileSystem::Fat32;
    fat32.label = "MY DISK";
    EXPECT_EQ(mkfsArguments(fat32, "/dev/sdb", 8000 * kMiB, true),
              (Arguments{"mkfs.vfat", "-F", "32", "-n", "MY DISK", "-I", "/dev/sdb"}));
    FormatCommand exfat = fat32;
    exfat.fileSystem = FormatFileSystem::Exfat;
    exfat.label = "My Disk";
    EXPECT_EQ(mkfsArguments(exfat, "/dev/sdb1", 8000 * kMiB, false),
              (Arguments{"mkfs.exfat", "-L", "My Disk", "/dev/sdb1"}));
    // FAT labels in upper case; one beyond ASCII is written after mkfs.
    fat32.label = "My Disk";
    EXPECT_EQ(mkfsArguments(fat32, "/dev/sdb1", 8000 * kMiB, false),
              (Arguments{"mkfs.vfat", "-F", "32", "-n", "MY DISK", "/dev/sdb1"}));
    fat32.label = "数据";
    EXPECT_EQ(mkfsArguments(fat32, "/dev/sdb1", 8000 * kMiB, false),
              (Arguments{"mkfs.vfat", "-F", "32", "/dev/sdb1"}));
}

// Fills a file of the given size with a pattern no file system writes.
void writeMarkerImage(const std::string &path, uint64_t size) {
    std::string bytes;
    bytes.reserve(size);
    while (bytes.size() < size)
        bytes += "DRAVEX-MARKER-0123456789abcdef!";
    bytes.resize(size);
    writeFileBytes(path, bytes);
}

bool hasMarker(const std::string &path) {
    return fileBytes(path).find("DRAVEX-MARKER-0123456789abcdef!") != std::string::npos;
}

std::string labelOf(const std::string &image) {
    const ProcessResult result = runCaptured({"/usr/sbin/fatlabel", image});
    return result.out.substr(0, result.out.find('\n'));
}

// The label's bytes as blkid, and so udev and the scan, read them: from the root folder's entry, or with
// field LABEL_FATBOOT from the boot sector.
std::string rawLabelOf(const std::string &image, const char *field = "LABEL") {
    const ProcessResult result = runCaptured({"/usr/sbin/blkid", "-p", "-o", "value", "-s", field, image});
    return result.out.substr(0, result.out.find('\n'));
}

bool isCleanFat(const std::string &image) {
    const ProcessResult result = runCaptured({"/usr/sbin/fsck.vfat", "-n", image});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    return result.exitCode == 0;
}

// Runs format in-process on the image of sdb1 (F:), whose contents a test sets first.
class FormatRun : public HelperFixture {
protected:
    void SetUp() override {
        HelperFixture::SetUp();
        m_image = m_tree + "/dev/sdb1";
    }
    std::string m_image;
    int format(const std::string &command) {
        HelperContext helper = context();
        return runFormat(command, helper);
    }
};

TEST_F(FormatRun, QuickFat32WithLabelLeavesTheDataArea) {
    writeMarkerImage(m_image, 40 * kMiB);
    m_actions.mountPoints["sdb1"] = "/media/op/DATA";
    EXPECT_EQ(format("F:/FS:FAT32/V:DATA/q/y"), kExitDone) << m_err.str();
    EXPECT_EQ(labelOf(m_image), "DATA");
    EXPECT_TRUE(isCleanFat(m_image));
    EXPECT_TRUE(hasMarker(m_image));
    EXPECT_EQ(m_actions.calls, (std::vector<std::string>{"unmount sdb1", "mount sdb1"}));
    EXPECT_NE(m_out.str().find("/media/op/DATA"), std::string::npos);
    EXPECT_EQ(m_out.str().find("%"), std::string::npos);
}

TEST_F(FormatRun, FullFormatZerosTheWholeVolumeFirst) {
    writeMarkerImage(m_image, 16 * kMiB);
    EXPECT_EQ(format("f:/fs:fat/v:full/y"), kExitDone) << m_err.str();
    EXPECT_FALSE(hasMarker(m_image));
    EXPECT_EQ(fileBytes(m_image).size(), 16 * kMiB);
    EXPECT_EQ(labelOf(m_image), "FULL");
    EXPECT_TRUE(isCleanFat(m_image));
    EXPECT_NE(m_out.str().find("100%"), std::string::npos);
}

TEST_F(FormatRun, ChineseLabelInCodePage936) {
    for (const char *fileSystem : {"FAT", "FAT32"}) {
        SCOPED_TRACE(fileSystem);
        ASSERT_EQ(dravex::runProgram({"truncate", "-s", "40M", m_image}), 0);
        // The ASCII letter upper-cased, the rest in GBK.
        EXPECT_EQ(format(std::string("F:/FS:") + fileSystem + "/V:数据u/q/y"), kExitDone) << m_err.str();
        for (const char *field : {"LABEL", "LABEL_FATBOOT"})
            EXPECT_EQ(rawLabelOf(m_image, field), "\xca\xfd\xbe\xddU") << field;
        // fsck.fat 4.2 calls every label beyond ASCII invalid: check the rest with an ASCII one.
        ASSERT_EQ(dravex::runProgram({"fatlabel", m_image, "X"}), 0);
        EXPECT_TRUE(isCleanFat(m_image));
    }
}

TEST_F(FormatRun, FailuresBeforeAndInMkfsMountNothing) {
    writeMarkerImage(m_image, 8 * kMiB);
    const std::string before = fileBytes(m_image);
    // A label FAT cannot hold is refused before anything is unmounted.
    EXPECT_EQ(format("F:/FS:FAT32/V:TWELVE CHARS/y"), kExitBadCommandLine);
    EXPECT_EQ(format(std::string("F:/FS:FAT/V:") + kSixChinese + "/q/y"), kExitBadCommandLine);
    EXPECT_TRUE(m_actions.calls.empty());
    m_actions.failing.insert("unmount");
    EXPECT_EQ(format("F:/FS:FAT32/y"), kExitFailed);
    EXPECT_EQ(m_actions.calls, std::vector<std::string>{"unmount sdb1"});
    EXPECT_EQ(fileBytes(m_image), before);
    EXPECT_NE(m_err.str().find("sdb1"), std::string::npos);
    // Far too small for any FAT.
    writeFileBytes(m_image, std::string(16 * 1024, 'x'));
    m_actions.failing.clear();
    m_actions.calls.clear();
    EXPECT_EQ(format("F:/FS:FAT32/q/y"), kExitFailed);
    EXPECT_EQ(m_actions.calls, std::vector<std::string>{"unmount sdb1"});
    EXPECT_NE(m_err.str().find("mkfs.vfat"), std::string::npos);
}

TEST_F(FormatRun, NotMountedNeedsNoUnmount) {
    ASSERT_EQ(dravex::runProgram({"truncate", "-s", "8M", m_image}), 0);
    writeFileBytes(m_tree + "/proc/self/mountinfo", "");
    EXPECT_EQ(format("F:/FS:FAT/q/y"), kExitDone) << m_err.str();
    EXPECT_EQ(m_actions.calls, std::vector<std::string>{"mount sdb1"});
}

using FormatProgram = HelperFixture;

TEST_F(FormatProgram, OnlyThePlainSticksAreEverWritten) {
    // Every volume of the tree, the fixed disks' included, has an image; every letter is tried.
    const std::vector<std::string> volumes = {"sda1", "sdb1", "sdc1", "sdc2", "sdd1", "sdd2",
                                              "sde1", "sdf",  "sdg1", "sdh1", "dm-0"};
    std::map<std::string, std::string> before;
    for (const std::string &volume : volumes) {
        writeMarkerImage(m_tree + "/dev/" + volume, 4 * kMiB);
        before[volume] = fileBytes(m_tree + "/dev/" + volume);
    }
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const ProcessResult result =
            runProgram(DRAVEX_FORMAT_PROGRAM, {std::string(1, letter) + ":/FS:FAT/V:X/q/y"});
        const bool plain = letter == 'F' || letter == 'M';
        EXPECT_EQ(result.exitCode, plain ? kExitDone : kExitRefused) << letter << " " << result.err;
        EXPECT_EQ(result.err.find("错误：") != std::string::npos, !plain) << letter;
    }
    for (const std::string &volume : volumes) {
        const bool formatted = volume == "sdb1" || volume == "sdg1";
        EXPECT_EQ(fileBytes(m_tree + "/dev/" + volume) == before[volume], !formatted) << volume;
    }
    EXPECT_EQ(labelOf(m_tree + "/dev/sdb1"), "X");
}

TEST_F(FormatProgram, BadCommandLinesLeaveTheStickALabelWithBlanksArrivesWhole) {
    const std::string image = m_tree + "/dev/sdb1";
    writeMarkerImage(image, 8 * kMiB);
    const std::string before = fileBytes(image);
    for (const std::vector<std::string> &arguments : std::vector<std::vector<std::string>>{
             {}, {"F:/FS:FAT32/q"}, {"F:/FS:NTFS/y"}, {"F:", "/FS:FAT/y"}, {"F:/FS:FAT/V:A/B/y"}}) {
        const ProcessResult result = runProgram(DRAVEX_FORMAT_PROGRAM, arguments);
        EXPECT_EQ(result.exitCode, kExitBadCommandLine) << result.err;
        EXPECT_NE(result.err.find("错误："), std::string::npos);
    }
    EXPECT_EQ(fileBytes(image), before);
    // The tool's command line "format.com F:/FS:FAT/V:MY DISK/q/y" reaches us as two arguments.
    const ProcessResult result = runProgram(DRAVEX_FORMAT_PROGRAM, {"F:/FS:FAT/V:MY", "DISK/q/y"});
    EXPECT_EQ(result.exitCode, kExitDone) << result.err;
    EXPECT_EQ(labelOf(image), "MY DISK");
}

} // namespace
} // namespace dravex
