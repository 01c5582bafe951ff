#include "config/configdialog.h"
#include "platform/sim/simbench.h"
#include "scan/contentcheck.h"
#include "scan/drivescan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <vector>

namespace dravex {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path &path, size_t size) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
}

void writeCustomerSet(const fs::path &folder) {
    writeFile(folder / "A.TXT", 50);
    writeFile(folder / "DOCS" / "B.DOC", 100);
    writeFile(folder / "DOCS" / "C.DOC", 200);
}

class ContentCheckTest : public ::testing::Test {
protected:
    SimBench bench;
    DriveTable table;
    MainWindowState window;
    ConfigDialog dialog{window, bench};
    ContentCheck check{bench, table, window, [this] { return dialog.contentReference(); }};
    DriveScan scan{bench, table, window, Variant::V2};
    fs::path customer;

    void SetUp() override {
        ScanSteps steps;
        steps.checkSlotContents = [this](int row) { check.CheckSlotContents(row); };
        scan.setSteps(steps);
        // The customer folder lives on a fixed drive of the bench machine.
        SimDrive fixed;
        fixed.letter = 'C';
        fixed.driveType = 3;
        bench.plug(fixed);
        customer = bench.folderOf('C') / "CUST";
        writeCustomerSet(customer);
    }

    fs::path plugStick(char letter) {
        SimDrive stick;
        stick.letter = letter;
        stick.totalBytes = 1ull << 30;
        bench.plug(stick);
        return bench.folderOf(letter);
    }
    const DriveSlot &row(int i) const { return table.slots.at(static_cast<size_t>(i)); }
    void tick() {
        window.check1 = kChecked;
        check.Check1Click();
    }
};

TEST_F(ContentCheckTest, ExactCopyIsOkAndEveryDifferenceIsNg) {
    dialog.setFolder("C:\\CUST");
    ASSERT_EQ(dialog.referenceSummary(), "文件:3;目录:1;大小:350字节");
    std::vector<fs::path> sticks;
    for (char letter : {'F', 'G', 'H', 'I', 'J', 'K'}) {
        sticks.push_back(plugStick(letter));
        writeCustomerSet(sticks.back());
    }
    writeFile(sticks[1] / "EXTRA.TXT", 1);                           // one extra file
    fs::remove(sticks[2] / "A.TXT");                                 // one missing file
    fs::create_directories(sticks[3] / "EMPTY");                     // one extra empty folder
    writeFile(sticks[4] / "A.TXT", 51);                              // one byte more
    fs::create_directories(sticks[5] / "System Volume Information"); // a folder the system made
    scan.chus();
    tick();
    EXPECT_EQ(row(0).contents, "文件:3;目录:1;大小:350字节");
    EXPECT_EQ(row(0).checkResult, "OK");
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(row(i).checkResult, "NG") << row(i).letter << " " << row(i).contents;
    EXPECT_EQ(window.panel(1), "K盘内有文件。");
}

TEST_F(ContentCheckTest, WithoutFolderOnlyEmptySticksAreOk) {
    dialog.setFolder("");
    plugStick('F');
    writeFile(plugStick('G') / "X", 1);
    scan.chus();
    tick();
    EXPECT_EQ(row(0).checkResult, "OK");
    EXPECT_EQ(row(1).checkResult, "NG");
    EXPECT_EQ(window.panel(1), "G盘内有文件。");
}

TEST_F(ContentCheckTest, ACustomerFolderOutOfReachGivesNoVerdictUntilItIsBack) {
    dialog.setFolder("C:\\GONE");
    EXPECT_EQ(dialog.referenceSummary(), "文件:0;目录:0;大小:0字节");
    plugStick('F');
    writeCustomerSet(plugStick('G'));
    const std::string noReference = "无法读取客供文件目录，不判定OK/NG。";

    window.check1 = kChecked;
    scan.chus();
    check.reportMissingReference();
    EXPECT_EQ(row(0).contents, "文件:0;目录:0;大小:0字节");
    EXPECT_EQ(row(0).checkResult + row(1).checkResult, "");
    EXPECT_EQ(window.panel(1), noReference);
    tick();
    EXPECT_EQ(row(1).contents, "文件:3;目录:1;大小:350字节");
    EXPECT_EQ(row(0).checkResult + row(1).checkResult, "");
    EXPECT_EQ(window.panel(1), noReference);

    // Back again: the next check takes its summary and judges.
    writeCustomerSet(bench.folderOf('C') / "GONE");
    scan.chus();
    check.reportMissingReference();
    EXPECT_EQ(row(0).checkResult, "NG");
    EXPECT_EQ(row(1).checkResult, "OK");
    EXPECT_EQ(window.panel(1), "列举完成...共有2个U盘。");

    // Unticked, an unreachable folder has nothing to report.
    dialog.setFolder("C:\\GONE\\NOT-HERE");
    window.check1 = kUnchecked;
    check.Check1Click();
    EXPECT_EQ(window.panel(1), "");
}

TEST_F(ContentCheckTest, ReadingTheReferenceLoadsTheDialogAndAPulledStickIsNg) {
    window.panel(2) = "C:\\CUST";
    writeCustomerSet(plugStick('F'));
    writeCustomerSet(plugStick('G'));
    scan.chus();
    bench.unplug('G');
    tick();
    EXPECT_EQ(row(0).checkResult, "OK");
    EXPECT_EQ(row(1).contents, "文件:0;目录:0;大小:0字节");
    EXPECT_EQ(row(1).checkResult, "NG");
}

TEST_F(ContentCheckTest, EveryScanWhileTickedChecksAgainAndUntickingEmptiesVerdicts) {
    dialog.setFolder("C:\\CUST");
    const fs::path stick = plugStick('F');
    writeCustomerSet(stick);
    window.check1 = kChecked;
    scan.chus();
    EXPECT_EQ(row(0).checkResult, "OK");
    writeFile(stick / "A.TXT", 49);
    scan.chus();
    EXPECT_EQ(row(0).checkResult, "NG");
    tick();
    EXPECT_EQ(window.panel(1), "F盘内有文件。");

    table.slots[0].checkResult = "写保护";
    window.check1 = kUnchecked;
    check.Check1Click();
    EXPECT_EQ(row(0).contents + row(0).checkResult + window.panel(1), "");
    // Greyed counts as clear, in the click and in every later scan.
    tick();
    window.check1 = kGrayed;
    check.Check1Click();
    EXPECT_EQ(row(0).checkResult + window.panel(1), "");
    scan.chus();
    EXPECT_EQ(row(0).contents + row(0).checkResult, "");
}

TEST_F(ContentCheckTest, ClickSkipsEmptyAndUnreadableRows) {
    SimDrive empty;
    empty.letter = 'F';
    empty.mediumPresent = false;
    bench.plug(empty);
    scan.chus();
    const std::string before = window.panel(1);
    std::vector<int> pointers;
    window.setPointerListener([&](int pointer) { pointers.push_back(pointer); });
    tick();
    EXPECT_EQ(row(0).contents, "");
    EXPECT_EQ(row(0).checkResult, "");
    EXPECT_EQ(window.panel(1), before);
    EXPECT_EQ(pointers, (std::vector<int>{kPointerHourglass, kPointerDefault}));
}

} // namespace
} // namespace dravex
