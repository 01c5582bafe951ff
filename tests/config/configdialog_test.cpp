#include "config/configdialog.h"
#include "platform/sim/simbench.h"
#include "support/fakeoperator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

namespace dravex {
namespace {

namespace fs = std::filesystem;

class ConfigDialogTest : public ::testing::Test {
protected:
    SimBench bench;
    MainWindowState window;
    ConfigDialog dialog{window, bench};
    fs::path folder;

    void SetUp() override
    {
        SimDrive fixed;
        fixed.letter = 'D';
        fixed.driveType = 3;
        bench.plug(fixed);
        folder = bench.folderOf('D') / "CUST";
        fs::create_directories(folder / "EMPTY");
        std::ofstream(folder / "ONE.TXT") << std::string(100, 'a');
        std::ofstream(folder / "TWO.TXT") << std::string(250, 'b');
    }
};

TEST_F(ConfigDialogTest, LoadStepWithNothingStored)
{
    EXPECT_FALSE(dialog.isLoaded());
    EXPECT_EQ(dialog.fileSystem(), "FAT");
    EXPECT_TRUE(dialog.isLoaded());
    EXPECT_EQ(dialog.quickFormat(), kChecked);
    EXPECT_EQ(dialog.label(), "");
    EXPECT_EQ(dialog.folder(), "");
    EXPECT_EQ(dialog.referenceSummary(), "文件:0;目录:0;大小:0字节");
}

TEST_F(ConfigDialogTest, LoadStepTakesLabelAndFolderFromThePanels)
{
    window.panel(3) = "DATA";
    window.panel(2) = "D:\\CUST";
    EXPECT_EQ(dialog.label(), "DATA");
    EXPECT_EQ(dialog.folder(), "D:\\CUST");
    EXPECT_EQ(dialog.referenceSummary(), "文件:2;目录:1;大小:350字节");
}

TEST_F(ConfigDialogTest, EveryFolderChangeWalksWithTheBusyPointer)
{
    std::vector<int> pointers;
    dialog.setPointerListener([&](int pointer) { pointers.push_back(pointer); });
    dialog.setFolder("D:\\CUST");
    EXPECT_EQ(dialog.referenceSummary(), "文件:2;目录:1;大小:350字节");
    dialog.setFolder("D:\\NOWHERE");
    EXPECT_EQ(dialog.referenceSummary(), "文件:0;目录:0;大小:0字节");
    // Loading ran one change (from the design text to the empty panel), then the two above.
    EXPECT_EQ(pointers.size(), 6u);
    EXPECT_EQ(pointers.back(), kPointerDefault);
}

TEST_F(ConfigDialogTest, LabelHoldsAtMostElevenCharacters)
{
    dialog.setLabel("ABCDEFGHIJKLMN");
    EXPECT_EQ(dialog.label(), "ABCDEFGHIJK");
    dialog.setLabel("数据盘一二三四五六七八九");
    EXPECT_EQ(dialog.label(), "数据盘一二三四五六七八");
}

TEST_F(ConfigDialogTest, BrowseChoosesOrEmptiesTheFolder)
{
    FakeOperator person;
    person.choice = "D:\\CUST";
    dialog.browse(person);
    EXPECT_EQ(person.browseTitles.back(), "请正确选择客供文件所在目录，并单击确定按钮！");
    EXPECT_EQ(dialog.folder(), "D:\\CUST");
    EXPECT_EQ(dialog.referenceSummary(), "文件:2;目录:1;大小:350字节");
    person.choice.reset();
    dialog.browse(person);
    EXPECT_EQ(dialog.folder(), "");
    EXPECT_EQ(dialog.referenceSummary(), "文件:0;目录:0;大小:0字节");
}

TEST_F(ConfigDialogTest, UnloadForgetsChoicesAndTheNextLoadStartsAfresh)
{
    window.panel(3) = "DATA";
    dialog.setFileSystem("FAT32");
    dialog.setQuickFormat(kUnchecked);
    dialog.setLabel("OTHER");
    dialog.unload();
    EXPECT_FALSE(dialog.isLoaded());
    EXPECT_EQ(dialog.fileSystem(), "FAT");
    EXPECT_EQ(dialog.quickFormat(), kChecked);
    EXPECT_EQ(dialog.label(), "DATA");
}

} // namespace
} // namespace dravex
