#include "support/fakeoperator.h"

#include "config/configdialog.h"
#include "ops/copyall.h"
#include "ops/eject.h"
#include "ops/formatall.h"
#include "ops/relabelall.h"
#include "platform/sim/simbench.h"
#include "scan/drivescan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dravex {
namespace {

class OpsTest : public ::testing::Test {
protected:
    SimBench bench;
    DriveTable table;
    MainWindowState window;
    ConfigDialog dialog{window, bench};
    DriveScan scan{bench, table, window, Variant::V2};
    FakeOperator person;
    std::vector<int> pointers;

    void SetUp() override {
        window.setPointerListener([this](int pointer) { pointers.push_back(pointer); });
    }

    SimDrive &plug(char letter, const std::string &label = "OLD") {
        SimDrive stick;
        stick.letter = letter;
        stick.label = label;
        stick.totalBytes = 1ull << 30;
        return bench.plug(stick);
    }
    void plugAndScan(std::initializer_list<char> letters) {
        for (char letter : letters)
            plug(letter);
        scan.chus();
        pointers.clear();
    }
    std::vector<std::string> commandLines(int style) const {
        std::vector<std::string> lines;
        for (const SimLaunch &launch : bench.launches()) {
            EXPECT_EQ(launch.windowStyle, style) << launch.commandLine;
            lines.push_back(launch.commandLine);
        }
        return lines;
    }
    using Lines = std::vector<std::string>;
};

TEST_F(OpsTest, FormatCommandLines) {
    plugAndScan({'H'});
    struct Case {
        const char *fileSystem;
        const char *label;
        int quick;
        const char *expected;
    };
    const std::vector<Case> cases = {
        {"FAT32", "DATA", kChecked, "format.com H:/FS:FAT32/V:DATA/q/y"},
        {"FAT32", "", kUnchecked, "format.com H:/FS:FAT32/y"},
        {"FAT", "", kChecked, "format.com H:/FS:FAT/q/y"},
        {"FAT", "MY DISK", kChecked, "format.com H:/FS:FAT/V:MY DISK/q/y"},
        {"", "DATA", kGrayed, "format.com H:/FS:/V:DATA/y"},
    };
    for (const Case &c : cases) {
        dialog.setFileSystem(c.fileSystem);
        dialog.setLabel(c.label);
        dialog.setQuickFormat(c.quick);
        formatAllDrives(table, window, dialog, bench, person);
        EXPECT_EQ(bench.launches().back().commandLine, c.expected);
        EXPECT_EQ(bench.launches().back().windowStyle, kWindowNormalFocus);
    }
}

TEST_F(OpsTest, FormatWithDialogNeverOpenedUsesItsStartValues) {
    window.panel(3) = "DATA";
    plugAndScan({'H'});
    EXPECT_FALSE(dialog.isLoaded());
    formatAllDrives(table, window, dialog, bench, person);
    EXPECT_EQ(commandLines(kWindowNormalFocus), Lines{"format.com H:/FS:FAT/V:DATA/q/y"});
}

TEST_F(OpsTest, FormatEveryListedDriveThenReportDone) {
    plugAndScan({'F', 'H'});
    SimDrive unreadable;
    unreadable.letter = 'K';
    unreadable.mediumPresent = false;
    bench.plug(unreadable);
    scan.chus();
    pointers.clear();
    table.slots[0].checkResult = "可读写";
    table.slots[1].checkResult = "NG";
    formatAllDrives(table, window, dialog, bench, person);
    // K's failure row has no label: skipped without a message.
    EXPECT_EQ(commandLines(kWindowNormalFocus),
              (Lines{"format.com F:/FS:FAT/q/y", "format.com H:/FS:FAT/q/y"}));
    EXPECT_EQ(window.panel(1), "格式化完成");
    EXPECT_EQ(pointers, (std::vector<int>{kPointerHourglass, kPointerDefault}));
    EXPECT_TRUE(person.messages.empty());
}

TEST_F(OpsTest, FormatStopsAtTheFirstWriteProtectedDrive) {
    plugAndScan({'F', 'G', 'H'});
    table.slots[1].checkResult = "写保护";
    int pointerWhileShown = -1;
    person.whileShown = [&] { pointerWhileShown = window.mousePointer(); };
    formatAllDrives(table, window, dialog, bench, person);
    EXPECT_EQ(commandLines(kWindowNormalFocus), Lines{"format.com F:/FS:FAT/q/y"});
    ASSERT_EQ(person.messages.size(), 1u);
    EXPECT_EQ(person.messages[0].first, "有磁盘被写保护，格式化程序退出。");
    EXPECT_EQ(person.messages[0].second, "错误");
    EXPECT_EQ(pointerWhileShown, kPointerHourglass);
    EXPECT_EQ(window.mousePointer(), kPointerDefault);
    EXPECT_EQ(window.panel(1), "格式化正在进行中，请稍候……");
}

TEST_F(OpsTest, FormatWithNothingListedOnlyReportsDone) {
    formatAllDrives(table, window, dialog, bench, person);
    EXPECT_TRUE(bench.launches().empty());
    EXPECT_EQ(window.panel(1), "格式化完成");
    EXPECT_EQ(pointers, (std::vector<int>{kPointerHourglass, kPointerDefault}));
}

TEST_F(OpsTest, FormatGoesOnWhenAProgramCannotStart) {
    plugAndScan({'F', 'G'});
    bench.setLaunchFails(true);
    formatAllDrives(table, window, dialog, bench, person);
    EXPECT_EQ(bench.launchAttempts(), 2);
    EXPECT_EQ(window.panel(1), "格式化完成");
    EXPECT_TRUE(person.messages.empty());
}

TEST_F(OpsTest, CopyCommandLines) {
    plugAndScan({'H', 'K'});
    table.slots[1].checkResult = "写保护";
    window.panel(2) = "D:\\Cust";
    copyToAllDrives(table, window, bench, bench);
    EXPECT_EQ(commandLines(kWindowNormalFocus),
              (Lines{"xcopy D:\\Cust\\*.* H:\\./v/h/e/f/k", "xcopy D:\\Cust\\*.* K:\\./v/h/e/f/k"}));
    EXPECT_EQ(window.panel(1), "完成");
    EXPECT_EQ(pointers, (std::vector<int>{kPointerHourglass, kPointerDefault}));
}

TEST_F(OpsTest, CopySourceIsUsedVerbatim) {
    plugAndScan({'H'});
    window.panel(2) = "D:\\";
    copyToAllDrives(table, window, bench, bench);
    window.panel(2) = "/home/op/客户 文件";
    copyToAllDrives(table, window, bench, bench);
    EXPECT_EQ(commandLines(kWindowNormalFocus),
              (Lines{"xcopy D:\\\\*.* H:\\./v/h/e/f/k", "xcopy /home/op/客户 文件\\*.* H:\\./v/h/e/f/k"}));
}

TEST_F(OpsTest, CopySkipsDrivesNoLongerRemovable) {
    plugAndScan({'H', 'K'});
    bench.unplug('H');
    window.panel(2) = "D:\\Cust";
    copyToAllDrives(table, window, bench, bench);
    EXPECT_EQ(commandLines(kWindowNormalFocus), Lines{"xcopy D:\\Cust\\*.* K:\\./v/h/e/f/k"});
}

TEST_F(OpsTest, CopyGoesOnWhenAProgramCannotStart) {
    plugAndScan({'H', 'K'});
    window.panel(2) = "D:\\Cust";
    bench.setLaunchFails(true);
    copyToAllDrives(table, window, bench, bench);
    EXPECT_EQ(bench.launchAttempts(), 2);
    EXPECT_EQ(window.panel(1), "完成");
    EXPECT_EQ(pointers, (std::vector<int>{kPointerHourglass, kPointerDefault}));
}

TEST_F(OpsTest, CopyWithNothingListed) {
    copyToAllDrives(table, window, bench, bench);
    EXPECT_TRUE(bench.launches().empty());
    EXPECT_EQ(window.panel(1), "完成");
}

TEST_F(OpsTest, RelabelOnlyWritableOrUncheckedDrivesThenRescan) {
    plugAndScan({'F', 'G', 'H', 'I', 'J'});
    table.slots[0].checkResult = "可读写";
    table.slots[1].checkResult = "";
    table.slots[2].checkResult = "OK";
    table.slots[3].checkResult = "NG";
    table.slots[4].checkResult = "写保护";
    window.panel(3) = "DATA";
    const int scansBefore = bench.driveListRefreshes();
    relabelAllDrives(table, window, bench, scan);
    EXPECT_EQ(bench.driveListRefreshes(), scansBefore + 1);
    EXPECT_EQ(table.slots[0].volumeLabel, "卷标:DATA");
    EXPECT_EQ(table.slots[1].volumeLabel, "卷标:DATA");
    EXPECT_EQ(table.slots[2].volumeLabel, "卷标:OLD");
    EXPECT_EQ(table.slots[3].volumeLabel, "卷标:OLD");
    EXPECT_EQ(table.slots[4].volumeLabel, "卷标:OLD");
    // Back to normal before the rescan, which shows its own hourglass.
    EXPECT_EQ(pointers,
              (std::vector<int>{kPointerHourglass, kPointerDefault, kPointerHourglass, kPointerDefault}));
}

TEST_F(OpsTest, RelabelRefusedByLockedDriveShowsOldLabel) {
    plug('F').locked = true;
    plugAndScan({'G'});
    window.panel(3) = "";
    relabelAllDrives(table, window, bench, scan);
    EXPECT_EQ(table.slots[0].volumeLabel, "卷标:OLD");
    // An empty default label is passed on as it is.
    EXPECT_EQ(table.slots[1].volumeLabel, "卷标:");
}

TEST_F(OpsTest, RelabelSkipsUnreadableRowsAndStillRescans) {
    SimDrive unreadable;
    unreadable.letter = 'F';
    unreadable.mediumPresent = false;
    bench.plug(unreadable);
    scan.chus();
    window.panel(3) = "DATA";
    relabelAllDrives(table, window, bench, scan);
    EXPECT_EQ(bench.drive('F')->label, "");
    EXPECT_EQ(bench.driveListRefreshes(), 2);
}

TEST_F(OpsTest, EjectAllFromEIncludingDrivesBeyondTen) {
    for (char letter : {'E', 'F', 'G', 'H', 'I', 'J', 'K', 'L', 'M', 'N', 'O', 'P'})
        plug(letter);
    SimDrive fixed;
    fixed.letter = 'Q';
    fixed.driveType = 3;
    bench.plug(fixed);
    scan.chus();
    ejectAllDrives(window, bench, bench, "/opt/dravex");
    const Lines lines = commandLines(kWindowHidden);
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines.front(), "/opt/dravex\\RemoveDrive.exe E:");
    EXPECT_EQ(lines.back(), "/opt/dravex\\RemoveDrive.exe P:");
    EXPECT_EQ(window.panel(1), "正在弹出U盘...");
}

TEST_F(OpsTest, EjectAllWithNoRemovableDriveDoesNothing) {
    window.panel(1) = "before";
    ejectAllDrives(window, bench, bench, "/opt/dravex");
    EXPECT_TRUE(bench.launches().empty());
    EXPECT_EQ(window.panel(1), "before");
}

TEST_F(OpsTest, EjectOneRow) {
    SimDrive unreadable;
    unreadable.letter = 'G';
    unreadable.mediumPresent = false;
    plug('F');
    bench.plug(unreadable);
    scan.chus();
    ejectRow(1, table, window, bench, "/opt/dravex");
    EXPECT_EQ(window.panel(1), "卸载G盘，请单击...");
    ejectRow(0, table, window, bench, "/opt/dravex");
    EXPECT_EQ(commandLines(kWindowHidden),
              (Lines{"/opt/dravex\\RemoveDrive.exe G", "/opt/dravex\\RemoveDrive.exe F"}));
}

TEST_F(OpsTest, EjectOneOnEmptyOrInvalidRow) {
    ejectRow(3, table, window, bench, "/opt/dravex");
    EXPECT_EQ(window.panel(1), "指定处没有U盘可供卸载！");
    window.panel(1) = "before";
    ejectRow(10, table, window, bench, "/opt/dravex");
    ejectRow(-1, table, window, bench, "/opt/dravex");
    EXPECT_EQ(window.panel(1), "before");
    EXPECT_TRUE(bench.launches().empty());
}

TEST_F(OpsTest, EjectOneTrustsTheTableOfTheLastScan) {
    plugAndScan({'F'});
    bench.unplug('F');
    ejectRow(0, table, window, bench, "/opt/dravex");
    EXPECT_EQ(commandLines(kWindowHidden), Lines{"/opt/dravex\\RemoveDrive.exe F"});
}

TEST_F(OpsTest, MissingEjectProgramIsNamedInTheStatusLine) {
    plugAndScan({'F', 'G'});
    bench.setLaunchFails(true);
    ejectAllDrives(window, bench, bench, "/opt/dravex");
    EXPECT_EQ(window.panel(1), "无法启动RemoveDrive.exe");
    window.panel(1).clear();
    ejectRow(0, table, window, bench, "/opt/dravex");
    EXPECT_EQ(window.panel(1), "无法启动RemoveDrive.exe");
}

} // namespace
} // namespace dravex
