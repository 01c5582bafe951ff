#include "platform/sim/simbench.h"
#include "scan/dirstats.h"
#include "model/text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

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
    // Files of the given sizes under the stick's root; a name ending in "/" is an empty folder.
    void tree(const std::vector<std::pair<std::string, size_t>> &entries) {
        for (const auto &[name, size] : entries)
            name.back() == '/' ? (void)fs::create_directories(root / name) : writeFile(root / name, size);
    }
};

TEST_F(DirStatsTest, ExampleTreeOfThreeFilesInOneFolder) {
    tree({{"A.TXT", 50}, {"DOCS/B.DOC", 100}, {"DOCS/C.DOC", 200}});
    // The counters add onto the caller's values.
    int64_t entries = 10;
    int64_t folders = 3;
    std::string path = "H:";
    EXPECT_EQ(CollectDirStats(bench, path, "*.*", entries, folders), 350u);
    EXPECT_EQ(path, "H:\\");
    EXPECT_EQ(entries, 14);
    EXPECT_EQ(folders, 4);
    EXPECT_EQ(summary(), "文件:3;目录:1;大小:350字节");
    EXPECT_EQ(summary("H:\\"), summary("H:"));
}

TEST_F(DirStatsTest, EmptyFoldersHiddenEntriesAndNamesWithoutDot) {
    EXPECT_EQ(summary(), "文件:0;目录:0;大小:0字节");
    tree({{"ONE/", 0}, {"TWO/", 0}});
    EXPECT_EQ(summary(), "文件:0;目录:2;大小:0字节");
    tree({{"README", 7}, {".hidden", 3}, {".Trash-0/x", 1}});
    EXPECT_EQ(summary(), "文件:3;目录:3;大小:11字节");
}

TEST_F(DirStatsTest, LargeFilesAndMoreEntriesThanA16BitCounterHolds) {
    // Sparse: the size is real, the disk use is not.
    for (const fs::path &big : {root / "BIG.BIN", root / "SUB" / "BIG2.BIN"}) {
        writeFile(big, 0);
        fs::resize_file(big, 3221225472ull);
    }
    EXPECT_EQ(summary(), "文件:2;目录:1;大小:6,442,450,944字节");
    for (int i = 0; i < 33000; ++i)
        std::ofstream(root / "SUB" / ("f" + std::to_string(i)));
    EXPECT_EQ(summary(), "文件:33002;目录:1;大小:6,442,450,944字节");
}

TEST_F(DirStatsTest, LinksAreFollowedButACycleIsNotEntered) {
    tree({{"DATA/F.TXT", 10}, {"A/B/G.TXT", 5}});
    fs::create_symlink(root / "DATA" / "F.TXT", root / "LINK.TXT");
    fs::create_directory_symlink(root / "DATA", root / "DATALINK");
    fs::create_symlink(root / "NOWHERE", root / "DANGLING");
    fs::create_directory_symlink(root / "A", root / "A" / "B" / "BACK");
    // DATALINK is a second folder holding F.TXT; the dangling link is a file of size 0; BACK is a folder
    // that leads into A, which is on the current path.
    EXPECT_EQ(summary(), "文件:5;目录:5;大小:35字节");
}

TEST_F(DirStatsTest, FolderRemovedOrStickPulledMidWalk) {
    tree({{"A.TXT", 50}, {"GONE/B.TXT", 100}, {"GONE/DEEP/C.TXT", 100}});
    bench.setBeforeListing([&](const std::string &folder) {
        if (folder == "H:\\GONE\\")
            fs::remove_all(root / "GONE");
    });
    EXPECT_EQ(summary(), "文件:1;目录:1;大小:50字节");
    // A pulled stick ends the walk where it is: B counts as a folder, its file not at all.
    tree({{"B/C.TXT", 100}});
    bench.setBeforeListing([&](const std::string &folder) {
        if (folder == "H:\\B\\")
            bench.unplug('H');
    });
    EXPECT_EQ(summary(), "文件:1;目录:1;大小:50字节");
}

TEST_F(DirStatsTest, MissingRootsAndMachineFolders) {
    EXPECT_EQ(summary("K:"), "文件:0;目录:0;大小:0字节");
    EXPECT_EQ(summary((root / "missing").string()), "文件:0;目录:0;大小:0字节");
    writeFile(root / "CUST" / "X" / "Y.TXT", 4);
    EXPECT_EQ(summary(root.string() + "\\CUST"), "文件:1;目录:1;大小:4字节");
}

TEST(MatchesPattern, WindowsWildcards) {
    const struct {
        const char *name;
        const char *pattern;
        bool matches;
    } cases[] = {{"README", "*.*", true},  {".hidden", "*.*", true},  {"A.TXT", "*", true},
                 {"A.TXT", "*.TXT", true}, {"A.DOC", "*.TXT", false}, {"AB", "A?", true},
                 {"ABC", "A?", false},     {"", "?", false}};
    for (const auto &c : cases)
        EXPECT_EQ(matchesPattern(c.name, c.pattern), c.matches) << c.name << " " << c.pattern;
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

TEST(FormatDirStats, TextFormCountsFilesAsEntriesLessFolders) {
    EXPECT_EQ(FormatDirStats(DirStats{15, 3, 1234567}), "文件:12;目录:3;大小:1,234,567字节");
    EXPECT_EQ(FormatDirStats(DirStats{40000, 1, 12345678901ull}),
              "文件:39999;目录:1;大小:12,345,678,901字节");
}

} // namespace
} // namespace dravex
