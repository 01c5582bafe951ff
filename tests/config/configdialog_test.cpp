#include "config/configdialog.h"
#include "platform/sim/simbench.h"
#include "support/fakeoperator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace dravex {
namespace {

namespace fs = std::filesystem;

const char *const kNothing = "文件:0;目录:0;大小:0字节";
const char *const kCustomerSet = "文件:2;目录:1;大小:350字节";

// D:\CUST holds two files of 350 bytes in all and an empty folder.
class ConfigDialogTest : public ::testing::Test {
protected:
    SimBench bench;
    MainWindowState window;
    ConfigDialog dialog{window, bench};

    void SetUp() override {
        SimDrive fixed;
        fixed.letter = 'D';
        fixed.driveType = 3;
        const fs::path folder = bench.folderOf(bench.plug(fixed).letter) / "CUST";
        fs::create_directories(folder / "EMPTY");
        std::ofstream(folder / "ONE.TXT") << std::string(100, 'a');
        std::ofstream(folder / "TWO.TXT") << std::string(250, 'b');
    }
};

TEST_F(ConfigDialogTest, EveryLoadStartsFromTheDesignValuesAndThePanels) {
    EXPECT_EQ(dialog.fileSystem(), "FAT");
    EXPECT_EQ(dialog.quickFormat(), kChecked);
    EXPECT_EQ(dialog.label() + dialog.folder(), "");
    EXPECT_EQ(dialog.referenceSummary(), kNothing);

    dialog.setFileSystem("FAT32");
    dialog.setQuickFormat(kUnchecked);
    dialog.setLabel("OTHER");
    dialog.unload();
    window.panel(3) = "DATA";
    window.panel(2) = "D:\\CUST";
    EXPECT_EQ(dialog.fileSystem(), "FAT");
    EXPECT_EQ(dialog.quickFormat(), kChecked);
    EXPECT_EQ(dialog.label(), "DATA");
    EXPECT_EQ(dialog.folder(), "D:\\CUST");
    EXPECT_EQ(dialog.referenceSummary(), kCustomerSet);
}

TEST_F(ConfigDialogTest, LabelHoldsAtMostElevenCharacters) {
    dialog.setLabel("ABCDEFGHIJKLMN");
    EXPECT_EQ(dialog.label(), "ABCDEFGHIJK");
    dialog.setLabel("数据盘一二三四五六七八九");
    EXPECT_EQ(dialog.label(), "数据盘一二三四五六七八");
}

TEST_F(ConfigDialogTest, BrowseChoosesOrEmptiesAndEveryChangeWalksWithTheBusyPointer) {
    std::vector<int> pointers;
    dialog.setPointerListener([&](int pointer) { pointers.push_back(pointer); });
    FakeOperator person;
    person.choice = "D:\\CUST";
    dialog.browse(person);
    EXPECT_EQ(person.browseTitles.back(), "请正确选择客供文件所在目录，并单击确定按钮！");
    EXPECT_EQ(dialog.folder(), "D:\\CUST");
    EXPECT_EQ(dialog.referenceSummary(), kCustomerSet);
    dialog.setFolder("D:\\NOWHERE");
    EXPECT_EQ(dialog.referenceSummary(), kNothing);
    dialog.setFolder("D:\\CUST");
    person.choice.reset();
    dialog.browse(person);
    EXPECT_EQ(dialog.folder(), "");
    EXPECT_EQ(dialog.referenceSummary(), kNothing);
    // Loading ran one change (from the design text to the empty panel), then the four above.
    EXPECT_EQ(pointers.size(), 10u);
    EXPECT_EQ(pointers.back(), kPointerDefault);
}

} // namespace
} // namespace dravex
