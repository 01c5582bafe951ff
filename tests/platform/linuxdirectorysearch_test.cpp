#include "platform/linux/windows/linuxdirectorysearch.h"

#include "fixtures.h"
#include "scan/dirstats.h"
#include "support/workingfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace dravex {
namespace {

namespace fs = std::filesystem;

// A file of the given apparent size; sparse, so a large one costs no disk space.
void makeFile(const fs::path &path, uint64_t size) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).close();
    fs::resize_file(path, size);
}

// Builds a tree from entries "name=size" (file), "name/" (folder) and "name->target" (link; OUTSIDE in the
// target stands for a folder beside the tree).
void build(const fs::path &tree, const fs::path &outside, const std::vector<std::string> &entries) {
    for (const std::string &entry : entries) {
        if (const size_t arrow = entry.find("->"); arrow != std::string::npos) {
            std::string target = entry.substr(arrow + 2);
            if (target == "OUTSIDE")
                target = outside.string();
            fs::create_directories((tree / entry.substr(0, arrow)).parent_path());
            fs::create_symlink(target, tree / entry.substr(0, arrow));
        } else if (entry.back() == '/') {
            fs::create_directories(tree / entry);
        } else {
            const size_t equals = entry.find('=');
            makeFile(tree / entry.substr(0, equals), std::stoull(entry.substr(equals + 1)));
        }
    }
}

class LinuxDirectorySearchTest : public ::testing::Test {
protected:
    // Drive G of the fixture is a stick holding README.TXT and sub\README.TXT, 15 bytes each.
    LinuxDirectorySearchTest() : m_volumes(sysroot("hub-two-sticks"), m_mounter), m_search(m_volumes) {}

    std::string summary(const std::string &path) { return FormatDirStats(summariseTree(m_search, path)); }

    TemporaryFolder m_folder;
    FakeMounter m_mounter;
    LinuxVolumeServices m_volumes;
    LinuxDirectorySearch m_search;
};

TEST_F(LinuxDirectorySearchTest, Trees) {
    const struct {
        const char *name;
        std::vector<std::string> entries;
        const char *summary;
    } cases[] = {
        {"example tree", {"A.TXT=50", "DOCS/B.DOC=100", "DOCS/C.DOC=200"}, "文件:3;目录:1;大小:350字节"},
        {"empty tree", {}, "文件:0;目录:0;大小:0字节"},
        {"two empty subfolders", {"E1/", "E2/"}, "文件:0;目录:2;大小:0字节"},
        {"hidden files and folders",
         {".hidden=10", ".cache/.x=5", ".cache/y=1"},
         "文件:3;目录:1;大小:16字节"},
        {"names without a dot, with blanks, in Chinese",
         {"README=7", "数据/说明=9", "a b=1"},
         "文件:3;目录:1;大小:17字节"},
        {"3 GiB sparse file", {"BIG.IMG=3221225472"}, "文件:1;目录:0;大小:3,221,225,472字节"},
        {"link to a file has the target's size",
         {"real/data.bin=1000", "alias->real/data.bin"},
         "文件:2;目录:1;大小:2,000字节"},
        {"dangling link is an empty file", {"a.txt=5", "gone->nowhere"}, "文件:2;目录:0;大小:5字节"},
        {"links to an ancestor and to itself are folders never entered",
         {"sub/x=3", "sub/up->..", "sub/self->."},
         "文件:1;目录:3;大小:3字节"},
        {"link to a folder outside the tree is walked", {"ext->OUTSIDE"}, "文件:1;目录:1;大小:40字节"},
    };
    const fs::path tree = m_folder.path() / "tree";
    const fs::path outside = m_folder.path() / "outside";
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fs::create_directories(tree);
        makeFile(outside / "o.bin", 40);
        build(tree, outside, c.entries);
        EXPECT_EQ(summary(tree.string()), c.summary);
        fs::remove_all(tree);
        fs::remove_all(outside);
    }
}

TEST_F(LinuxDirectorySearchTest, CountsPastWhatSixteenBitsHold) {
    const fs::path tree = m_folder.path() / "many";
    fs::create_directories(tree);
    for (int i = 0; i < 33000; ++i)
        std::ofstream(tree / ("F" + std::to_string(i)));
    makeFile(tree / "sub/last", 1);
    EXPECT_EQ(summary(tree.string()), "文件:33001;目录:1;大小:1字节");
}

// Removes a folder just before the walk lists it, as a stick pulled or a peer deleting would.
class VanishingFolder : public DirectorySearch {
public:
    VanishingFolder(DirectorySearch &search, std::string victimPath, fs::path victim)
        : m_search(search), m_victimPath(std::move(victimPath)), m_victim(std::move(victim)) {}

    std::optional<FolderListing> listFolder(const std::string &folderPath) override {
        if (folderPath == m_victimPath)
            removed = fs::remove_all(m_victim) > 0;
        return m_search.listFolder(folderPath);
    }
    std::string driveCurrentFolder(const std::string &letter) override {
        return m_search.driveCurrentFolder(letter);
    }

    bool removed = false;

private:
    DirectorySearch &m_search;
    std::string m_victimPath;
    fs::path m_victim;
};

TEST_F(LinuxDirectorySearchTest, FolderRemovedDuringTheWalkContributesNothing) {
    const fs::path tree = m_folder.path() / "tree";
    build(tree, {}, {"A.TXT=50", "GONE/X=100", "GONE/SUB/Y=7"});
    VanishingFolder search(m_search, tree.string() + "\\GONE\\", tree / "GONE");
    // Counted as a folder when its parent was listed, empty by the time it is listed itself.
    EXPECT_EQ(FormatDirStats(summariseTree(search, tree.string())), "文件:1;目录:1;大小:50字节");
    EXPECT_TRUE(search.removed);
}

TEST_F(LinuxDirectorySearchTest, Roots) {
    makeFile(m_folder.path() / "file.txt", 4);
    const std::string folder = m_folder.path().string();
    const std::pair<std::string, const char *> cases[] = {
        {"G:", "文件:2;目录:1;大小:30字节"},
        {"g:\\", "文件:2;目录:1;大小:30字节"},
        {"G:\\sub\\", "文件:1;目录:0;大小:15字节"},
        {folder + "\\", "文件:1;目录:0;大小:4字节"},
        {"H:\\", "文件:0;目录:0;大小:0字节"},
        {"G:\\missing", "文件:0;目录:0;大小:0字节"},
        {folder + "\\file.txt", "文件:0;目录:0;大小:0字节"},
        {"tree", "文件:0;目录:0;大小:0字节"},
    };
    for (const auto &[root, expected] : cases)
        EXPECT_EQ(summary(root), expected) << root;
}

TEST_F(LinuxDirectorySearchTest, DriveOpensAtTheWorkingFolderWhenItLiesOnTheDrive) {
    const auto stick = m_volumes.nativePath("G:\\");
    ASSERT_TRUE(stick);
    const std::pair<fs::path, const char *> cases[] = {
        {*stick, "G:\\"}, {*stick + "/sub", "G:\\sub"}, {m_folder.path(), "G:\\"}};
    for (const auto &[working, expected] : cases) {
        WorkingFolder inside(working);
        EXPECT_EQ(m_search.driveCurrentFolder("G"), expected) << working;
        EXPECT_EQ(m_search.driveCurrentFolder("H"), "H:\\") << working;
    }
}

using Entry = std::tuple<std::string, uint64_t, bool>;

std::vector<Entry> sortedEntries(const FolderListing &listing) {
    std::vector<Entry> entries;
    for (const FolderEntry &entry : listing.entries)
        entries.emplace_back(entry.name, entry.size, entry.isDirectory);
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::string identityOf(const fs::path &folder) {
    struct stat status {};
    EXPECT_EQ(::stat(folder.c_str(), &status), 0) << folder;
    return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
}

TEST_F(LinuxDirectorySearchTest, ListsEachEntryOnceWithLinksFollowed) {
    const fs::path folder = m_folder.path() / "list";
    build(folder, {},
          {"a.txt=3", ".h=0", "sub/inner=9", "数据=2", "link-file->a.txt", "link-dir->sub",
           "dangling->nowhere"});
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);

    const auto listing = m_search.listFolder(folder.string() + "\\");
    ASSERT_TRUE(listing);
    EXPECT_EQ(sortedEntries(*listing), (std::vector<Entry>{{".h", 0, false},
                                                           {"a.txt", 3, false},
                                                           {"dangling", 0, false},
                                                           {"link-dir", 0, true},
                                                           {"link-file", 3, false},
                                                           {"pipe", 0, false},
                                                           {"sub", 0, true},
                                                           {"数据", 2, false}}));
    EXPECT_EQ(listing->identity, identityOf(folder));

    // The same folder reached through a link is the same folder.
    const auto throughLink = m_search.listFolder(folder.string() + "\\link-dir\\");
    ASSERT_TRUE(throughLink);
    EXPECT_EQ(throughLink->identity, identityOf(folder / "sub"));
    EXPECT_EQ(sortedEntries(*throughLink), (std::vector<Entry>{{"inner", 9, false}}));

    // What cannot be listed.
    for (const std::string &path :
         {folder.string() + "\\missing\\", folder.string() + "\\a.txt\\", folder.string() + "\\dangling\\",
          std::string("H:\\"), std::string("relative\\folder\\"), std::string()})
        EXPECT_FALSE(m_search.listFolder(path)) << path;
}

// The walk reads names from open folders, not from the paths it hands the logic.
TEST_F(LinuxDirectorySearchTest, NamesHoldingABackslashAndTreesDeeperThanAPath) {
    const fs::path tree = m_folder.path() / "tree";
    build(tree, {}, {"c\\d/x=30", "c/d/y=1", "c\\=2", "e\\f\\/g\\h/z=400"});
    EXPECT_EQ(summary(tree.string()), "文件:4;目录:5;大小:433字节");

    // 24 folders of 200-character names: a path to the bottom is longer than PATH_MAX.
    const std::string name(200, 'n');
    fs::remove_all(tree);
    fs::create_directories(tree);
    std::vector<int> folders{::open(tree.c_str(), O_RDONLY | O_DIRECTORY)};
    for (int level = 0; level < 24; ++level) {
        ASSERT_EQ(::mkdirat(folders.back(), name.c_str(), 0755), 0);
        folders.push_back(::openat(folders.back(), name.c_str(), O_RDONLY | O_DIRECTORY));
    }
    const int file = ::openat(folders.back(), "bottom", O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(::ftruncate(file, 77), 0);
    ::close(file);
    EXPECT_EQ(summary(tree.string()), "文件:1;目录:24;大小:77字节");
    // std::filesystem cannot remove what its paths cannot name.
    ::unlinkat(folders.back(), "bottom", 0);
    for (size_t level = folders.size() - 1; level > 0; --level) {
        ::close(folders[level]);
        ::unlinkat(folders[level - 1], name.c_str(), AT_REMOVEDIR);
    }
    ::close(folders.front());
}

TEST_F(LinuxDirectorySearchTest, LinksEnterEachFolderOnceAndStayOnTheWalksFileSystem) {
    const fs::path tree = m_folder.path() / "tree";
    const fs::path outside = m_folder.path() / "outside";
    const struct {
        const char *name;
        std::vector<std::string> entries;
        const char *summary;
    } cases[] = {
        // Followed each time, the 2^23 paths to the last level would never end.
        {"two links per level for 24 levels", {}, "文件:47;目录:114;大小:47字节"},
        {"two links to one folder: its content once",
         {"real/x=5", "one->real", "two->real"},
         "文件:2;目录:3;大小:10字节"},
        {"a link to a link to a folder", {"real/x=5", "one->real", "two->one"}, "文件:2;目录:3;大小:10字节"},
        {"links off the file system count as empty",
         {"a=1", "sys->/sys", "self->/proc/self", "status->/proc/self/status", "beside->OUTSIDE"},
         "文件:3;目录:3;大小:41字节"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        fs::create_directories(tree);
        makeFile(outside / "o.bin", 40);
        build(tree, outside, c.entries);
        if (c.entries.empty()) {
            for (int level = 0; level < 24; ++level) {
                const std::string folder = "L" + std::to_string(level);
                makeFile(tree / folder / "f", 1);
                if (level < 23)
                    for (const char *link : {"/a->../L", "/b->../L"})
                        build(tree, outside, {folder + link + std::to_string(level + 1)});
            }
        }
        EXPECT_EQ(summary(tree.string()), c.summary);
        // Each walk decides afresh.
        EXPECT_EQ(summary(tree.string()), c.summary);
        fs::remove_all(tree);
        fs::remove_all(outside);
    }
}

} // namespace
} // namespace dravex
