#include "helpers/format.h"

#include "helperfixtures.h"
#include "helpers/formattexts.h"
#include "helpers/helpertexts.h"
#include "platform/linux/process/programrun.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(FormatSize, LimitsAtAndAroundEachEdge) {
    constexpr uint64_t kTiB = kMiB << 20;
    const uint64_t fat16Largest = 4294639615; // 768 + 65525 * 128 sectors, less one byte
    const uint64_t fat32Smallest = 66654 * 512;
    const uint64_t exfatSmallest = 2 * kMiB + 512;
    const uint64_t exfatLargest = 0xFFFFFFF5ull * 128 * 1024;
    enum Verdict { Fits, Small, Large };
    const struct {
        FormatFileSystem fileSystem;
        std::vector<std::pair<uint64_t, Verdict>> sizes;
    } cases[] = {
        {FormatFileSystem::Fat,
         {{0, Small},
          {65535, Small},
          {65536, Fits},
          {16 * kMiB - 512, Fits},
          {16 * kMiB, Fits},
          {fat16Largest - 512, Fits},
          {fat16Largest, Fits},
          {fat16Largest + 1, Large},
          {4096 * kMiB, Large},
          {64 * 1024 * kMiB, Large}}},
        {FormatFileSystem::Fat32,
         {{0, Small},
          {10 * kMiB, Small},
          {32 * kMiB, Small},
          {fat32Smallest - 512, Small},
          {fat32Smallest - 1, Small},
          {fat32Smallest, Fits},
          {fat32Smallest + 512, Fits},
          {260 * kMiB, Fits},
          {64 * 1024 * kMiB, Fits},
          {2 * kTiB - 1, Fits},
          {2 * kTiB, Large}}},
        {FormatFileSystem::Exfat,
         {{0, Small},
          {2 * kMiB, Small},
          {exfatSmallest - 1, Small},
          {exfatSmallest, Fits},
          {2 * kTiB, Fits},
          {exfatLargest, Fits},
          {exfatLargest + 1, Large}}},
    };
    for (const auto &c : cases) {
        for (const auto &[size, verdict] : c.sizes) {
            const std::string why = sizeProblem(c.fileSystem, size);
            SCOPED_TRACE(std::to_string(size) + " " + why);
            EXPECT_EQ(why.empty(), verdict == Fits);
            if (verdict != Fits) {
                EXPECT_EQ(why.rfind(verdict == Small ? formattexts::kTooSmall : formattexts::kTooLarge, 0),
                          0u);
                EXPECT_NE(why.find("容量 " + std::to_string(size) + " 字节"), std::string::npos);
            }
        }
    }
    // The limits the messages give are the sizes at the edge.
    EXPECT_NE(sizeProblem(FormatFileSystem::Fat32, kMiB).find("至少需要 34126848 字节"), std::string::npos);
    EXPECT_NE(sizeProblem(FormatFileSystem::Fat, 5 * 1024 * kMiB)
                  .find("FAT16：容量 5368709120 字节，最多 4294639615 字节"),
              std::string::npos);
    EXPECT_NE(sizeProblem(FormatFileSystem::Fat, 1024).find("FAT12"), std::string::npos);
}

// The clusters of the FAT in an image, counted from its boot sector.
uint64_t fatClusters(const std::string &image) {
    std::ifstream file(image, std::ios::binary);
    unsigned char boot[512] = {};
    file.read(reinterpret_cast<char *>(boot), sizeof boot);
    const auto le16 = [&](int at) { return uint64_t{boot[at]} | uint64_t{boot[at + 1]} << 8; };
    const auto le32 = [&](int at) { return le16(at) | le16(at + 2) << 16; };
    const uint64_t bytesPerSector = le16(11);
    const uint64_t total = le16(19) != 0 ? le16(19) : le32(32);
    const uint64_t fatSectors = le16(22) != 0 ? le16(22) : le32(36);
    const uint64_t rootSectors = (le16(17) * 32 + bytesPerSector - 1) / bytesPerSector;
    const uint64_t dataStart = le16(14) + boot[16] * fatSectors + rootSectors;
    return boot[13] == 0 || total < dataStart ? 0 : (total - dataStart) / boot[13];
}

// mkfs on a sparse image of the size: its exit code and whether it warned.
ProcessResult mkfsOn(const std::string &image, uint64_t size, const std::vector<std::string> &mkfs) {
    std::filesystem::remove(image);
    EXPECT_EQ(dravex::runProgram({"truncate", "-s", std::to_string(size), image}), 0);
    std::vector<std::string> command = mkfs;
    command.push_back(image);
    return runCaptured(command);
}

TEST(FormatSize, MkfsMakesAConformingFileSystemAtEachEdgeWeAllow) {
    TemporaryFolder folder;
    const std::string image = (folder.path() / "image").string();
    const std::vector<std::string> fat12 = {"/usr/sbin/mkfs.fat", "-F", "12", "-I"};
    const std::vector<std::string> fat16 = {"/usr/sbin/mkfs.fat", "-F", "16", "-I"};
    const std::vector<std::string> fat32 = {"/usr/sbin/mkfs.fat", "-F", "32", "-I"};
    const std::vector<std::string> exfat = {"/usr/sbin/mkfs.exfat"};
    // The smallest FAT32 we let through, and sizes where mkfs.fat's clusters grow, have enough clusters.
    for (const uint64_t size : {uint64_t{66654 * 512}, 100 * kMiB, 260 * kMiB, 270 * kMiB, 300 * kMiB}) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(sizeProblem(FormatFileSystem::Fat32, size).empty());
        const ProcessResult made = mkfsOn(image, size, fat32);
        EXPECT_EQ(made.exitCode, 0) << made.err;
        EXPECT_EQ(made.out.find("WARNING") + made.err.find("WARNING"), 2 * std::string::npos) << made.err;
        EXPECT_GE(fatClusters(image), 65525u);
    }
    // Where we refuse, mkfs.fat would have warned: the limit is real.
    const ProcessResult small = mkfsOn(image, 32 * kMiB, fat32);
    EXPECT_NE(small.err.find("WARNING"), std::string::npos) << small.err;
    EXPECT_LT(fatClusters(image), 65525u);

    // The largest FAT16 we let through is made; 4 GiB, which we refuse, is not.
    ASSERT_TRUE(sizeProblem(FormatFileSystem::Fat, 4294639615).empty());
    EXPECT_EQ(mkfsOn(image, 4294639615, fat16).exitCode, 0);
    EXPECT_LE(fatClusters(image), 65524u);
    EXPECT_NE(mkfsOn(image, 4096 * kMiB, fat16).exitCode, 0);

    EXPECT_EQ(mkfsOn(image, 64 * 1024, fat12).exitCode, 0);
    EXPECT_EQ(mkfsOn(image, 16 * kMiB - 512, fat12).exitCode, 0);
    EXPECT_LE(fatClusters(image), 4084u);
    EXPECT_NE(mkfsOn(image, 32 * 1024, fat12).exitCode, 0);

    EXPECT_EQ(mkfsOn(image, 2 * kMiB + 512, exfat).exitCode, 0);
    EXPECT_NE(mkfsOn(image, 2 * kMiB, exfat).exitCode, 0);
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

// Puts a stand-in mkfs.vfat first on PATH that exits with the given code, and takes it away again.
class StandInMkfs {
public:
    StandInMkfs(const std::filesystem::path &folder, int exitCode) : m_oldPath(std::getenv("PATH")) {
        const std::string program = (folder / "mkfs.vfat").string();
        writeFileBytes(program, "#!/bin/sh\nexit " + std::to_string(exitCode) + "\n");
        ::chmod(program.c_str(), 0755);
        ::setenv("PATH", (folder.string() + ":" + m_oldPath).c_str(), 1);
    }
    ~StandInMkfs() { ::setenv("PATH", m_oldPath.c_str(), 1); }

private:
    std::string m_oldPath;
};

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

TEST_F(FormatRun, UnmountsBeforeLockingTheDiskAndAgainUnderTheLockWhenMountedMeanwhile) {
    writeMarkerImage(m_image, 40 * kMiB);
    RemountingDiskActions actions(m_tree);
    HelperContext helper{SystemRoot(m_tree), actions, m_out, m_err};
    EXPECT_EQ(runFormat("F:/FS:FAT32/V:DATA/q/y", helper), kExitDone) << m_err.str();
    EXPECT_EQ(actions.lockedAtUnmount, (std::vector<bool>{false, true}));
    EXPECT_EQ(actions.calls, (std::vector<std::string>{"unmount sdb1", "unmount sdb1", "mount sdb1"}));
    EXPECT_TRUE(isCleanFat(m_image));
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
    writeMarkerImage(m_image, 40 * kMiB);
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
    // mkfs itself failing is said with its name and exit code.
    StandInMkfs mkfs(m_folder.path(), 7);
    m_actions.failing.clear();
    m_actions.calls.clear();
    EXPECT_EQ(format("F:/FS:FAT32/q/y"), kExitFailed);
    EXPECT_EQ(m_actions.calls, std::vector<std::string>{"unmount sdb1"});
    EXPECT_NE(m_err.str().find(std::string(formattexts::kMkfsFailed) + "mkfs.vfat 7"), std::string::npos)
        << m_err.str();
}

// The allocated size of a file: a sparse image that anything wrote to grows.
uint64_t allocatedBytes(const std::string &path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return static_cast<uint64_t>(status.st_blocks) * 512;
}

std::string bytesAt(const std::string &path, uint64_t offset, size_t count) {
    std::ifstream file(path, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(offset));
    std::string bytes(count, '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<size_t>(file.gcount()));
    return bytes;
}

TEST_F(FormatRun, SizesNoFileSystemFitsAreRefusedBeforeAnythingIsTouched) {
    m_actions.mountPoints["sdb1"] = "/media/op/DATA";
    const struct {
        uint64_t size;
        const char *command;
        const char *says;
    } cases[] = {
        // A 10 MiB stick would get a FAT32 with too few clusters; the full format would zero it first.
        {10 * kMiB, "F:/FS:FAT32/y", "FAT32：容量 10485760 字节，至少需要 34126848 字节"},
        {10 * kMiB, "F:/FS:FAT32/V:DATA/q/y", "FAT32"},
        {2 * kMiB, "F:/FS:exFAT/y", "exFAT：容量 2097152 字节，至少需要 2097664 字节"},
        {32 * 1024, "F:/FS:FAT/q/y", "FAT12：容量 32768 字节，至少需要 65536 字节"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.command);
        writeMarkerImage(m_image, c.size);
        const std::string before = fileBytes(m_image);
        m_err.str("");
        EXPECT_EQ(format(c.command), kExitRefused);
        EXPECT_EQ(m_err.str().rfind(std::string("错误：") + formattexts::kTooSmall, 0), 0u) << m_err.str();
        EXPECT_NE(m_err.str().find(c.says), std::string::npos) << m_err.str();
        EXPECT_EQ(fileBytes(m_image), before);
        EXPECT_TRUE(m_actions.calls.empty());
        EXPECT_EQ(m_out.str(), "");
    }
    // FAT16 on 4 GiB: a sparse image, marked at both ends, that a single write would grow.
    std::filesystem::remove(m_image);
    ASSERT_EQ(dravex::runProgram({"truncate", "-s", "4G", m_image}), 0);
    {
        std::fstream image(m_image, std::ios::in | std::ios::out | std::ios::binary);
        image.write("HEAD", 4);
        image.seekp(static_cast<std::streamoff>(4096 * kMiB - 4));
        image.write("TAIL", 4);
    }
    const uint64_t allocated = allocatedBytes(m_image);
    m_err.str("");
    EXPECT_EQ(format("F:/FS:FAT/V:BIG/y"), kExitRefused);
    EXPECT_NE(m_err.str().find(std::string(formattexts::kTooLarge) + "FAT16：容量 4294967296 字节，最多 "),
              std::string::npos)
        << m_err.str();
    EXPECT_EQ(allocatedBytes(m_image), allocated);
    const std::string bytes = bytesAt(m_image, 0, 4) + bytesAt(m_image, 4096 * kMiB - 4, 4);
    EXPECT_EQ(bytes, "HEADTAIL");
    EXPECT_TRUE(m_actions.calls.empty());
}

TEST_F(FormatRun, AStickWeMayNotWriteStaysMounted) {
    writeMarkerImage(m_image, 40 * kMiB);
    const std::string before = fileBytes(m_image);
    m_actions.mountPoints["sdb1"] = "/media/op/DATA";
    // The write-protect switch: the kernel marks the disk read-only.
    writeFileBytes(m_tree + "/sys/block/sdb/ro", "1\n");
    for (const char *command : {"F:/FS:FAT32/y", "F:/FS:FAT/V:数据/q/y", "F:/FS:exFAT/q/y"}) {
        m_err.str("");
        EXPECT_EQ(format(command), kExitRefused) << command;
        EXPECT_EQ(m_err.str(), std::string("错误：") + formattexts::kNoWriteAccess + m_image + "\n");
    }
    EXPECT_TRUE(m_actions.calls.empty());
    EXPECT_EQ(fileBytes(m_image), before);
    writeFileBytes(m_tree + "/sys/block/sdb/ro", "0\n");
    EXPECT_EQ(format("F:/FS:FAT32/q/y"), kExitDone) << m_err.str();
}

TEST_F(FormatRun, NotMountedNeedsNoUnmount) {
    ASSERT_EQ(dravex::runProgram({"truncate", "-s", "8M", m_image}), 0);
    writeFileBytes(m_tree + "/proc/self/mountinfo", "");
    EXPECT_EQ(format("F:/FS:FAT/q/y"), kExitDone) << m_err.str();
    EXPECT_EQ(m_actions.calls, std::vector<std::string>{"mount sdb1"});
}

using FormatProgram = HelperFixture;

TEST_F(FormatProgram, ANormalUserIsRefusedBeforeTheUnmount) {
    const std::string image = m_tree + "/dev/sdb1";
    writeMarkerImage(image, 8 * kMiB);
    const std::string before = fileBytes(image);
    std::vector<std::string> command;
    if (::geteuid() == 0) {
        // As nobody, who may read the tree but not write the image that root owns.
        for (std::filesystem::path folder = m_tree; folder != m_folder.path().parent_path();
             folder = folder.parent_path())
            ::chmod(folder.c_str(), 0755);
        ASSERT_EQ(dravex::runProgram({"chmod", "-R", "a+rX", m_tree}), 0);
        command = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    } else {
        ::chmod(image.c_str(), 0444);
    }
    command.insert(command.end(), {DRAVEX_FORMAT_PROGRAM, "F:/FS:FAT/q/y"});
    const ProcessResult result = runCaptured(command, {"DRAVEX_SYSTEM_ROOT=" + m_tree});
    EXPECT_EQ(result.exitCode, kExitRefused) << result.out << result.err;
    EXPECT_NE(result.err.find(std::string(formattexts::kNoWriteAccess) + image), std::string::npos)
        << result.err;
    EXPECT_EQ(fileBytes(image), before);
}

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

TEST_F(FormatProgram, TheToolsCommandLineKeepsItsBlanksAndItsScanGuardsTheLetter) {
    const std::string image = m_tree + "/dev/sdb1";
    writeMarkerImage(image, 8 * kMiB);
    const std::string before = fileBytes(image);
    const std::vector<std::string> split = {DRAVEX_FORMAT_PROGRAM, "F:/FS:FAT/V:MY", "DISK/q/y"};
    // A stick pulled after the scan: the letter F: now names another disk than the scan's.
    const ProcessResult moved =
        runCaptured(split, {"DRAVEX_SYSTEM_ROOT=" + m_tree, "DRAVEX_SCANNED_DISKS=F=sdc:"});
    EXPECT_EQ(moved.exitCode, kExitDriveChanged) << moved.err;
    EXPECT_NE(moved.err.find(std::string(helpertexts::kOtherDisk) + "F: sdb"), std::string::npos)
        << moved.err;
    // Asked to, the platform says why it refused, one line each.
    const ProcessResult debug = runCaptured({DRAVEX_FORMAT_PROGRAM, "G:/FS:FAT/q/y"},
                                            {"DRAVEX_SYSTEM_ROOT=" + m_tree, "DRAVEX_DEBUG=platform"});
    EXPECT_EQ(debug.exitCode, kExitRefused);
    EXPECT_NE(debug.err.find("dravex platform: checkVolume: mounted outside the media folders sdc2 /\n"),
              std::string::npos)
        << debug.err;
    EXPECT_EQ(moved.err.find("dravex platform:"), std::string::npos);
    // A list that cannot be read lets nothing through.
    const ProcessResult garbled =
        runCaptured(split, {"DRAVEX_SYSTEM_ROOT=" + m_tree, "DRAVEX_SCANNED_DISKS=;rm"});
    EXPECT_EQ(garbled.exitCode, kExitDriveChanged) << garbled.err;
    EXPECT_EQ(fileBytes(image), before);

    // The command line as the tool wrote it: two blanks in the label arrive as two.
    const std::string line = "format.com F:/FS:FAT/V:MY  DISK/q/y";
    const ProcessResult whole =
        runCaptured(split, {"DRAVEX_SYSTEM_ROOT=" + m_tree, "DRAVEX_COMMAND_LINE=" + line,
                            "DRAVEX_SCANNED_DISKS=F=sdb:,M=sdg:"});
    EXPECT_EQ(whole.exitCode, kExitDone) << whole.err;
    EXPECT_EQ(labelOf(image), "MY  DISK");
    // A command line that is not the one these arguments came from is not taken.
    const ProcessResult other = runCaptured(
        split, {"DRAVEX_SYSTEM_ROOT=" + m_tree, "DRAVEX_COMMAND_LINE=format.com F:/FS:FAT/V:OTHER/q/y"});
    EXPECT_EQ(other.exitCode, kExitDone) << other.err;
    EXPECT_EQ(labelOf(image), "MY DISK");
}

} // namespace
} // namespace dravex
