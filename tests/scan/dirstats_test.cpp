#include "platform/sim/simbench.h"
#include "scan/dirstats.h"
#include "scan/text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace dravex {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path &path, size_t size) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
}

class DirStatsTest : public ::testing::Test {
protected:
    SimBench bench;
    fs::path root;

    void SetUp() override {
        SimDrive stick;
        stick.letter = 'H';
        bench.plug(stick);
        root = bench.folderOf('H');
    }

    std::string summary(const std::string &path = "H:") { return FormatDirStats(summariseTree(bench, path)); }
};

TEST_F(DirStatsTest, ExampleTreeOfThreeFilesInOneFolder) {
    writeFile(root / "A.TXT", 50);
    writeFile(root / "DOCS" / "B.DOC", 100);
    writeFile(root / "DOCS" / "C.DOC", 200);
    int64_t entries = 0;
    int64_t folders = 0;
    std::string path = "H:";
    EXPECT_EQ(CollectDirStats(bench, path, "*.*", entries, folders), 350u);
    EXPECT_EQ(path, "H:\\");
    EXPECT_EQ(entries, 4);
    EXPECT_EQ(folders, 1);
    EXPECT_EQ(summary(), "文件:3;目录:1;大小:350字节");
    EXPECT_EQ(summary("H:\\"), summary("H:"));
}

TEST_F(DirStatsTest, CountersAccumulateOntoTheCallersValues) {
    writeFile(root / "A.TXT", 5);
    int64_t entries = 10;
    int64_t folders = 3;
    std::string path = "H:\\";
    CollectDirStats(bench, path, "*.*", entries, folders);
    EXPECT_EQ(entries, 11);
    EXPECT_EQ(folders, 3);
}

TEST_F(DirStatsTest, EmptyRootsAndEmptyFolders) {
    EXPECT_EQ(summary(), "文件:0;目录:0;大小:0字节");
    fs::create_directories(root / "ONE");
    fs::create_directories(root / "TWO");
    EXPECT_EQ(summary(), "文件:0;目录:2;大小:0字节");
}

TEST_F(DirStatsTest, HiddenEntriesAndNamesWithoutDotCount) {
    writeFile(root / "README", 7);
    writeFile(root / ".hidden", 3);
    writeFile(root / ".Trash-0" / "x", 1);
    EXPECT_EQ(summary(), "文件:3;目录:1;大小:11字节");
}

TEST_F(DirStatsTest, LargeFilesAddTheirFullSize) {
    // Sparse: the size is real, the disk use is not.
    writeFile(root / "BIG.BIN", 0);
    fs::resize_file(root / "BIG.BIN", 3221225472ull);
    writeFile(root / "SUB" / "BIG2.BIN", 0);
    fs::resize_file(root / "SUB" / "BIG2.BIN", 3221225472ull);
    EXPECT_EQ(summary(), "文件:2;目录:1;大小:6,442,450,944字节");
}

TEST_F(DirStatsTest, MoreEntriesThanA16BitCounterHolds) {
    for (int i = 0; i < 33000; ++i)
        std::ofstream(root / ("f" + std::to_string(i)));
    EXPECT_EQ(summary(), "文件:33000;目录:0;大小:0字节");
}

TEST_F(DirStatsTest, LinkCycleIsCountedButNotEntered) {
    writeFile(root / "A" / "B" / "F.TXT", 10);
    fs::create_directory_symlink(root / "A", root / "A" / "B" / "BACK");
    // A, A\B and the link BACK are folders; BACK leads into A, which is on the current path.
    EXPECT_EQ(summary(), "文件:1;目录:3;大小:10字节");
}

TEST_F(DirStatsTest, LinksAreFollowed) {
    writeFile(root / "DATA" / "F.TXT", 10);
    fs::create_symlink(root / "DATA" / "F.TXT", root / "LINK.TXT");
    fs::create_directory_symlink(root / "DATA", root / "DATALINK");
    fs::create_symlink(root / "NOWHERE", root / "DANGLING");
    // DATALINK is a second folder holding F.TXT; the dangling link is a file of size 0.
    EXPECT_EQ(summary(), "文件:4;目录:2;大小:30字节");
}

TEST_F(DirStatsTest, FolderRemovedMidWalkContributesNothing) {
    writeFile(root / "A.TXT", 50);
    writeFile(root / "GONE" / "B.TXT", 100);
    writeFile(root / "GONE" / "DEEP" / "C.TXT", 100);
    bench.setBeforeListing([&](const std::string &folder) {
        if (folder == "H:\\GONE\\")
            fs::remove_all(root / "GONE");
    });
    EXPECT_EQ(summary(), "文件:1;目录:1;大小:50字节");
}

TEST_F(DirStatsTest, StickPulledMidWalk) {
    writeFile(root / "A" / "B.TXT", 100);
    bench.setBeforeListing([&](const std::string &folder) {
        if (folder == "H:\\A\\")
            bench.unplug('H');
    });
    EXPECT_EQ(summary(), "文件:0;目录:1;大小:0字节");
}

TEST_F(DirStatsTest, MissingRootGivesZeroSummary) {
    EXPECT_EQ(summary("K:"), "文件:0;目录:0;大小:0字节");
    EXPECT_EQ(summary((root / "missing").string()), "文件:0;目录:0;大小:0字节");
}

TEST_F(DirStatsTest, MachineFolderWithBackslashSeparators) {
    writeFile(root / "CUST" / "X" / "Y.TXT", 4);
    EXPECT_EQ(summary(root.string() + "\\CUST"), "文件:1;目录:1;大小:4字节");
}

TEST(MatchesPattern, WindowsWildcards) {
    EXPECT_TRUE(matchesPattern("README", "*.*"));
    EXPECT_TRUE(matchesPattern(".hidden", "*.*"));
    EXPECT_TRUE(matchesPattern("A.TXT", "*"));
    EXPECT_TRUE(matchesPattern("A.TXT", "*.TXT"));
    EXPECT_FALSE(matchesPattern("A.DOC", "*.TXT"));
    EXPECT_TRUE(matchesPattern("AB", "A?"));
    EXPECT_FALSE(matchesPattern("ABC", "A?"));
    EXPECT_FALSE(matchesPattern("", "?"));
}

TEST(StripAtNul, CutsAtTheFirstNulInPlace) {
    std::string name("AB\0CD\0", 6);
    EXPECT_EQ(&StripAtNul(name), &name);
    EXPECT_EQ(name, "AB");
    std::string plain = "A.TXT";
    EXPECT_EQ(StripAtNul(plain), "A.TXT");
    std::string leading("\0X", 2);
    EXPECT_EQ(StripAtNul(leading), "");
}

TEST(FormatDirStats, TextForm) {
    EXPECT_EQ(FormatDirStats(DirStats{}), "文件:0;目录:0;大小:0字节");
    EXPECT_EQ(FormatDirStats(DirStats{15, 3, 1234567}), "文件:12;目录:3;大小:1,234,567字节");
    EXPECT_EQ(FormatDirStats(DirStats{40000, 1, 12345678901ull}),
              "文件:39999;目录:1;大小:12,345,678,901字节");
}

} // namespace
} // namespace dravex
