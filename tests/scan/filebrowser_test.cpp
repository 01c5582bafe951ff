#include "platform/sim/simbench.h"
#include "scan/filebrowser.h"
#include "support/workingfolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace dravex {
namespace {

namespace fs = std::filesystem;

class FileBrowserTest : public ::testing::Test {
protected:
    SimBench bench;
    FileBrowser browser{bench, bench};
    fs::path root;

    void SetUp() override {
        SimDrive stick;
        stick.letter = 'H';
        bench.plug(stick);
        root = bench.folderOf('H');
    }
    void file(const fs::path &path) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "x";
    }
    std::vector<std::string> folderNames() const {
        std::vector<std::string> names;
        for (const FolderItem &item : browser.folders())
            names.push_back(std::to_string(item.depth) + (item.isCurrent ? "*" : " ") + item.name);
        return names;
    }
    using Names = std::vector<std::string>;
};

TEST_F(FileBrowserTest, EmptyRootThenRootWithFilesAndFolders) {
    browser.openDrive("H");
    EXPECT_TRUE(browser.files().empty());
    EXPECT_EQ(browser.statusText(), "目录下有0个文件");
    for (const char *name : {"b.txt", "A.EXE", ".hidden", "tools/t.exe"})
        file(root / name);
    fs::create_directories(root / "Docs");
    browser.openDrive("H");
    EXPECT_EQ(browser.folderPath(), "H:\\");
    EXPECT_EQ(browser.files(), (Names{".hidden", "A.EXE", "b.txt"}));
    EXPECT_EQ(folderNames(), (Names{"0*H:\\", "1 Docs", "1 tools"}));
    EXPECT_EQ(browser.statusText(), "目录下有3个文件");
}

TEST_F(FileBrowserTest, OpeningSubfoldersAndParents) {
    for (const char *name : {"a.txt", "tools/t1.exe", "tools/t2.exe"})
        file(root / name);
    fs::create_directories(root / "tools" / "deep");
    browser.openDrive("H");
    browser.openFolder(browser.folders().at(1).path);
    EXPECT_EQ(browser.folderPath(), "H:\\tools");
    EXPECT_EQ(folderNames(), (Names{"0 H:\\", "1*tools", "2 deep"}));
    EXPECT_EQ(browser.files(), (Names{"t1.exe", "t2.exe"}));
    EXPECT_EQ(browser.statusText(), "目录下有2个文件");

    browser.openFolder(browser.folders().at(2).path);
    EXPECT_EQ(browser.folderPath(), "H:\\tools\\deep");
    EXPECT_EQ(folderNames(), (Names{"0 H:\\", "1 tools", "2*deep"}));
    EXPECT_EQ(browser.statusText(), "目录下有0个文件");

    browser.openFolder(browser.folders().at(0).path);
    EXPECT_EQ(browser.folderPath(), "H:\\");
    EXPECT_EQ(browser.statusText(), "目录下有1个文件");
}

TEST_F(FileBrowserTest, DriveOpensAtTheToolsWorkingFolderWhenItLiesOnTheStick) {
    file(root / "tools" / "deep" / "d.exe");
    {
        WorkingFolder inside(root / "tools" / "deep");
        browser.openDrive("H");
        EXPECT_EQ(folderNames(), (Names{"0 H:\\", "1 tools", "2*deep"}));
        EXPECT_EQ(browser.commandFor("d.exe"), "H:\\tools\\deep\\d.exe");
        EXPECT_EQ(browser.statusText(), "目录下有1个文件");
    }
    WorkingFolder elsewhere(root.parent_path());
    browser.openDrive("H");
    EXPECT_EQ(browser.folderPath(), "H:\\");
}

TEST_F(FileBrowserTest, CommandTextsAreUnquotedFullPaths) {
    file(root / "tools" / "my tool.exe");
    browser.openDrive("H");
    EXPECT_EQ(browser.commandFor("a.exe"), "H:\\a.exe");
    browser.startFile("my file.doc");
    browser.openFolder("H:\\tools");
    browser.startFile("my tool.exe");
    ASSERT_EQ(bench.launches().size(), 2u);
    EXPECT_EQ(bench.launches()[0].commandLine, "H:\\my file.doc");
    EXPECT_EQ(bench.launches()[1].commandLine, "H:\\tools\\my tool.exe");
    EXPECT_EQ(bench.launches()[1].windowStyle, kWindowMaximizedFocus);
    bench.setLaunchFails(true);
    browser.startFile("my tool.exe");
    EXPECT_EQ(browser.statusText(), "无法打开H:\\tools\\my tool.exe");
}

TEST_F(FileBrowserTest, StickPulledWhileBrowsing) {
    file(root / "tools" / "t.exe");
    browser.openDrive("H");
    bench.unplug('H');
    browser.openFolder("H:\\tools");
    EXPECT_TRUE(browser.files().empty());
    EXPECT_EQ(folderNames(), (Names{"0 H:\\", "1*tools"}));
    EXPECT_EQ(browser.statusText(), "无法读取H:\\tools");
}

} // namespace
} // namespace dravex
