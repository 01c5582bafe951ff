#include "helpers/format.h"

#include "helperfixtures.h"
#include "helpers/formattexts.h"
#include "platform/linux/programrun.h"

#include <gtest/gtest.h>

namespace dravex {
namespace {

constexpr uint64_t kMiB = 1u << 20;

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
    const struct {
        const char *text;
        const char *problem;
    } cases[] = {
        {"", formattexts::kBadLetter},
        {"H", formattexts::kBadLetter},
        {"HH:/FS:FAT/y", formattexts::kBadLetter},
        {"1:/FS:FAT/y", formattexts::kBadLetter},
        {":/FS:FAT/y", formattexts::kBadLetter},
        {"H:/FS:FAT", formattexts::kMissingYes},
        {"H:/FS:FAT/q", formattexts::kMissingYes},
        {"H:/FS:FAT/y/q", formattexts::kMissingYes},
        {"H:/y", formattexts::kMissingFileSystem},
        {"H: /FS:FAT/y", formattexts::kMissingFileSystem},
        {"H:/V:DATA/FS:FAT/y", formattexts::kMissingFileSystem},
        {"H:/FS:HPFS/y", formattexts::kUnknownFileSystem},
        {"H:/FS:/y", formattexts::kUnknownFileSystem},
        {"H:/FS:FAT32 /y", formattexts::kUnknownFileSystem},
        {"H:/FS:NTFS/q/y", formattexts::kNtfsUnsupported},
        {"H:/FS:FAT/X:1/y", formattexts::kBadSwitch},
        {"H:/FS:FAT/y/y", formattexts::kBadSwitch},
        {"H:/FS:FAT/V:A/B/y", formattexts::kLabelSlash},
        // "/q" inside a label is no switch when more follows it, and so no label either.
        {"H:/FS:FAT/V:A/QB/y", formattexts::kLabelSlash},
    };
    for (const auto &c : cases) {
        const ParsedFormatCommand parsed = parseFormatCommand(c.text);
        EXPECT_FALSE(parsed.command) << c.text;
        EXPECT_EQ(parsed.problem.rfind(c.problem, 0), 0u) << c.text << " -> " << parsed.problem;
    }
}

TEST(FormatLabel, WhatEachFileSystemHolds) {
    const struct {
        FormatFileSystem fileSystem;
        const char *label;
        bool fits;
    } cases[] = {
        {FormatFileSystem::Fat32, "", true},
        {FormatFileSystem::Fat32, "ELEVEN CHAR", true},
        {FormatFileSystem::Fat32, "TWELVE CHARS", false},
        {FormatFileSystem::Fat, "A*B", false},
        {FormatFileSystem::Fat, "A.B", false},
        {FormatFileSystem::Fat, "A\tB", false},
        {FormatFileSystem::Fat, "my-disk_1", true},
        // Code page 936: two bytes for each Chinese character, eleven in all.
        {FormatFileSystem::Fat, "\xe4\xb8\xad", true},
        {FormatFileSystem::Fat,
         "\xe4\xb8\xad\xe6\x96\x87\xe6\xa0\x87\xe7\xad\xbe"
         "abc",
         true},
        {FormatFileSystem::Fat32,
         "\xe4\xb8\xad\xe6\x96\x87\xe6\xa0\x87\xe7\xad\xbe"
         "abcd",
         false},
        {FormatFileSystem::Fat, "\xf0\x9f\x98\x80", false},
        {FormatFileSystem::Fat, "\xff", false},
        {FormatFileSystem::Exfat, "\xe4\xb8\xad\xe6\x96\x87 ABCDEFGH", true},
        {FormatFileSystem::Exfat, "\xe4\xb8\xad\xe6\x96\x87 ABCDEFGHI", false},
        {FormatFileSystem::Exfat, "A\x01", false},
        {FormatFileSystem::Exfat, "\xff", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(labelProblem(c.fileSystem, c.label).empty(), c.fits) << c.label;
    EXPECT_EQ(labelProblem(FormatFileSystem::Fat,
                           "\xe6\x95\xb0\xe6\x8d\xae\xe6\x95\xb0\xe6\x8d\xae\xe6\x95\xb0\xe6\x8d\xae")
                  .rfind(formattexts::kFatLabelTooLong, 0),
              0u);
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
    fat32.label = "\xe6\x95\xb0\xe6\x8d\xae";
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

using FormatRun = HelperFixture;

TEST_F(FormatRun, QuickFat32WithLabel) {
    const std::string image = m_tree + "/dev/sdb1";
    ASSERT_EQ(dravex::runProgram({"truncate", "-s", "40M", image}), 0);
    m_actions.mountPoints["sdb1"] = "/media/op/DATA";
    HelperContext helper = context();
    EXPECT_EQ(runFormat("F:/FS:FAT32/V:DATA/q/y", helper), kExitDone) << m_err.str();
    EXPECT_EQ(labelOf(image), "DATA");
    EXPECT_TRUE(isCleanFat(image));
    EXPECT_EQ(m_actions.calls, (std::vector<std::string>{"unmount sdb1", "mount sdb1"}));
    EXPECT_NE(m_out.str().find("/media/op/DATA"), std::string::npos);
    EXPECT_EQ(m_out.str().find("%"), std::string::npos);
}

TEST_F(FormatRun, FullFormatZerosTheWholeVolumeFirst) {
    const std::string image = m_tree + "/dev/sdb1";
    writeMarkerImage(image, 16 * kMiB);
    HelperContext helper = context();
    EXPECT_EQ(runFormat("f:/fs:fat/v:full/y", helper), kExitDone) << m_err.str();
    EXPECT_FALSE(hasMarker(image));
    EXPECT_EQ(fileBytes(image).size(), 16 * kMiB);
    EXPECT_EQ(labelOf(image), "FULL");
    EXPECT_TRUE(isCleanFat(image));
    EXPECT_NE(m_out.str().find("100%"), std::string::npos);
}

TEST_F(FormatRun, ChineseLabelInCodePage936) {
    const std::string image = m_tree + "/dev/sdb1";
    for (const char *fileSystem : {"FAT", "FAT32"}) {
        SCOPED_TRACE(fileSystem);
        ASSERT_EQ(dravex::runProgram({"truncate", "-s", "40M", image}), 0);
        HelperContext helper = context();
        // 数据u: the ASCII letter upper-cased, the rest in GBK.
        EXPECT_EQ(runFormat(std::string("F:/FS:") + fileSystem +
                                "/V:\xe6\x95\xb0\xe6\x8d\xae"
                                "u/q/y",
                            helper),
                  kExitDone)
            << m_err.str();
        for (const char *field : {"LABEL", "LABEL_FATBOOT"})
            EXPECT_EQ(rawLabelOf(image, field), "\xca\xfd\xbe\xddU") << field;
        // fsck.fat 4.2 calls every label beyond ASCII invalid: check the rest with an ASCII one.
        ASSERT_EQ(dravex::runProgram({"fatlabel", image, "X"}), 0);
        EXPECT_TRUE(isCleanFat(image));
    }
}

TEST_F(FormatRun, QuickFormatLeavesTheDataArea) {
    const std::string image = m_tree + "/dev/sdb1";
    writeMarkerImage(image, 8 * kMiB);
    HelperContext helper = context();
    EXPECT_EQ(runFormat("F:/FS:FAT/q/y", helper), kExitDone) << m_err.str();
    EXPECT_TRUE(hasMarker(image));
    EXPECT_TRUE(isCleanFat(image));
}

TEST_F(FormatRun, NothingTouchedWhenAStepBeforeMkfsFails) {
    const std::string image = m_tree + "/dev/sdb1";
    writeMarkerImage(image, 8 * kMiB);
    const std::string before = fileBytes(image);
    {
        // A label FAT cannot hold is refused before anything is unmounted.
        HelperContext helper = context();
        EXPECT_EQ(runFormat("F:/FS:FAT32/V:TWELVE CHARS/y", helper), kExitBadCommandLine);
        // Six Chinese characters are twelve bytes.
        EXPECT_EQ(
            runFormat(
                "F:/FS:FAT/V:\xe6\x95\xb0\xe6\x8d\xae\xe6\x95\xb0\xe6\x8d\xae\xe6\x95\xb0\xe6\x8d\xae/q/y",
                helper),
            kExitBadCommandLine);
        EXPECT_TRUE(m_actions.calls.empty());
    }
    {
        m_actions.failing.insert("unmount");
        HelperContext helper = context();
        EXPECT_EQ(runFormat("F:/FS:FAT32/y", helper), kExitFailed);
        EXPECT_EQ(m_actions.calls, std::vector<std::string>{"unmount sdb1"});
    }
    EXPECT_EQ(fileBytes(image), before);
    EXPECT_NE(m_err.str().find("sdb1"), std::string::npos);
}

TEST_F(FormatRun, FailedMkfsIsAFailureAndMountsNothing) {
    // Far too small for any FAT.
    writeFileBytes(m_tree + "/dev/sdb1", std::string(16 * 1024, 'x'));
    HelperContext helper = context();
    EXPECT_EQ(runFormat("F:/FS:FAT32/q/y", helper), kExitFailed);
    EXPECT_EQ(m_actions.calls, std::vector<std::string>{"unmount sdb1"});
    EXPECT_NE(m_err.str().find("mkfs.vfat"), std::string::npos);
}

TEST_F(FormatRun, NotMountedNeedsNoUnmount) {
    ASSERT_EQ(dravex::runProgram({"truncate", "-s", "8M", m_tree + "/dev/sdb1"}), 0);
    writeFileBytes(m_tree + "/proc/self/mountinfo", "");
    HelperContext helper = context();
    EXPECT_EQ(runFormat("F:/FS:FAT/q/y", helper), kExitDone) << m_err.str();
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

TEST_F(FormatProgram, BadCommandLinesLeaveTheStick) {
    writeMarkerImage(m_tree + "/dev/sdb1", 4 * kMiB);
    const std::string before = fileBytes(m_tree + "/dev/sdb1");
    const std::vector<std::vector<std::string>> commandLines = {
        {},
        {"F:/FS:FAT"},
        {"F:/FS:FAT32/q"},
        {"F:/FS:HPFS/y"},
        {"F:/FS:NTFS/y"},
        {"F:", "/FS:FAT/y"},
        {"F:/FS:FAT/V:A/B/y"},
    };
    for (const auto &arguments : commandLines) {
        const ProcessResult result = runProgram(DRAVEX_FORMAT_PROGRAM, arguments);
        EXPECT_EQ(result.exitCode, kExitBadCommandLine) << result.err;
        EXPECT_NE(result.err.find("错误："), std::string::npos);
    }
    EXPECT_EQ(fileBytes(m_tree + "/dev/sdb1"), before);
}

TEST_F(FormatProgram, LabelWithBlanksArrivesWhole) {
    ASSERT_EQ(dravex::runProgram({"truncate", "-s", "8M", m_tree + "/dev/sdb1"}), 0);
    // The tool's command line "format.com F:/FS:FAT/V:MY DISK/q/y" reaches us as two arguments.
    const ProcessResult result = runProgram(DRAVEX_FORMAT_PROGRAM, {"F:/FS:FAT/V:MY", "DISK/q/y"});
    EXPECT_EQ(result.exitCode, kExitDone) << result.err;
    EXPECT_EQ(labelOf(m_tree + "/dev/sdb1"), "MY DISK");
}

} // namespace
} // namespace dravex
