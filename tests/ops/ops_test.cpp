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

using Lines = std::vector<std::string>;
using Pointers = std::vector<int>;
const Pointers kBusyOnce{kPointerHourglass, kPointerDefault};

class OpsTest : public ::testing::Test {
protected:
    SimBench bench;
    DriveTable table;
    MainWindowState window;
    ConfigDialog dialog{window, bench};
    DriveScan scan{bench, table, window, Variant::V2};
    FakeOperator person;
    Pointers pointers;

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
    // A stick without medium: its row is a failure row with a letter but no label.
    void plugUnreadable(char letter) { plug(letter, "").mediumPresent = false; }
    void plugAndScan(std::initializer_list<char> letters) {
        for (char letter : letters)
            plug(letter);
        scan.chus();
        pointers.clear();
    }
    Lines commandLines(int style) const {
        Lines lines;
        for (const SimLaunch &launch : bench.launches()) {
            EXPECT_EQ(launch.windowStyle, style) << launch.commandLine;
            lines.push_back(launch.commandLine);
        }
        return lines;
    }
    void formatAll() { formatAllDrives(table, window, dialog, bench, person); }
    void copyAll() { copyToAllDrives(table, window, bench, bench); }
};

TEST_F(OpsTest, FormatCommandLines) {
    // The dialog never opened: its start values and the label of panel 3.
    window.panel(3) = "DATA";
    plugAndScan({'H'});
    formatAll();
    EXPECT_EQ(commandLines(kWindowNormalFocus), Lines{"format.com H:/FS:FAT/V:DATA/q/y"});
    const struct {
        const char *fileSystem;
        const char *label;
        int quick;
        const char *expected;
    } cases[] = {
        {"FAT32", "DATA", kChecked, "format.com H:/FS:FAT32/V:DATA/q/y"},
        {"FAT32", "", kUnchecked, "format.com H:/FS:FAT32/y"},
        {"FAT", "", kChecked, "format.com H:/FS:FAT/q/y"},
        {"FAT", "MY DISK", kChecked, "format.com H:/FS:FAT/V:MY DISK/q/y"},
        {"", "DATA", kGrayed, "format.com H:/FS:/V:DATA/y"},
    };
    for (const auto &c : cases) {
        dialog.setFileSystem(c.fileSystem);
        dialog.setLabel(c.label);
        dialog.setQuickFormat(c.quick);
        formatAll();
        EXPECT_EQ(bench.launches().back().commandLine, c.expected);
        EXPECT_EQ(bench.launches().back().windowStyle, kWindowNormalFocus);
    }
}

TEST_F(OpsTest, FormatEveryListedDriveEvenWhenAProgramCannotStart) {
    plug('F');
    plug('H');
    plugUnreadable('K');
    scan.chus();
    pointers.clear();
    table.slots[0].checkResult = "可读写";
    table.slots[1].checkResult = "NG";
    formatAll();
    // K's failure row has no label: skipped without a message.
    EXPECT_EQ(commandLines(kWindowNormalFocus),
              (Lines{"format.com F:/FS:FAT/q/y", "format.com H:/FS:FAT/q/y"}));
    EXPECT_EQ(window.panel(1), "格式化完成");
    EXPECT_EQ(pointers, kBusyOnce);
    bench.setLaunchFails(true);
    window.panel(1).clear();
    formatAll();
    EXPECT_EQ(bench.launchAttempts(), 4);
    EXPECT_EQ(window.panel(1), "格式化完成");
    EXPECT_TRUE(person.messages.empty());
}

TEST_F(OpsTest, FormatStopsAtTheFirstWriteProtectedDrive) {
    plugAndScan({'F', 'G', 'H'});
    table.slots[1].checkResult = "写保护";
    int pointerWhileShown = -1;
    person.whileShown = [&] { pointerWhileShown = window.mousePointer(); };
    formatAll();
    EXPECT_EQ(commandLines(kWindowNormalFocus), Lines{"format.com F:/FS:FAT/q/y"});
    ASSERT_EQ(person.messages.size(), 1u);
    EXPECT_EQ(person.messages[0],
              std::make_pair(std::string("有磁盘被写保护，格式化程序退出。"), std::string("错误")));
    EXPECT_EQ(pointerWhileShown, kPointerHourglass);
    EXPECT_EQ(window.mousePointer(), kPointerDefault);
    EXPECT_EQ(window.panel(1), "格式化正在进行中，请稍候……");
}

TEST_F(OpsTest, WithNoDriveListedNothingStarts) {
    window.panel(1) = "before";
    ejectAllDrives(window, bench, bench, "/opt/dravex");
    EXPECT_EQ(window.panel(1), "before");
    formatAll();
    EXPECT_EQ(window.panel(1), "格式化完成");
    EXPECT_EQ(pointers, kBusyOnce);
    copyAll();
    EXPECT_EQ(window.panel(1), "完成");
    EXPECT_TRUE(bench.launches().empty());
}

TEST_F(OpsTest, CopyCommandLinesAndFailedStarts) {
    plugAndScan({'H', 'K'});
    table.slots[1].checkResult = "写保护";
    window.panel(2) = "D:\\Cust";
    copyAll();
    EXPECT_EQ(window.panel(1), "完成");
    EXPECT_EQ(pointers, kBusyOnce);
    // A drive no longer removable is skipped; the source is used verbatim.
    bench.unplug('H');
    copyAll();
    window.panel(2) = "D:\\";
    copyAll();
    window.panel(2) = "/home/op/客户 文件";
    copyAll();
    EXPECT_EQ(commandLines(kWindowNormalFocus),
              (Lines{"xcopy D:\\Cust\\*.* H:\\./v/h/e/f/k", "xcopy D:\\Cust\\*.* K:\\./v/h/e/f/k",
                     "xcopy D:\\Cust\\*.* K:\\./v/h/e/f/k", "xcopy D:\\\\*.* K:\\./v/h/e/f/k",
                     "xcopy /home/op/客户 文件\\*.* K:\\./v/h/e/f/k"}));
    // A program that cannot start stops neither the loop nor the closing message.
    plug('H');
    bench.setLaunchFails(true);
    window.panel(1).clear();
    copyAll();
    EXPECT_EQ(bench.launchAttempts(), 7);
    EXPECT_EQ(window.panel(1), "完成");
}

TEST_F(OpsTest, RelabelOnlyWritableOrUncheckedDrivesThenRescan) {
    const char *verdicts[] = {"可读写", "", "OK", "NG", "写保护"};
    plugAndScan({'F', 'G', 'H', 'I', 'J'});
    for (size_t i = 0; i < 5; ++i)
        table.slots[i].checkResult = verdicts[i];
    window.panel(3) = "DATA";
    const int scansBefore = bench.driveListRefreshes();
    relabelAllDrives(table, window, bench, scan, bench.productionLog());
    EXPECT_EQ(bench.driveListRefreshes(), scansBefore + 1);
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(table.slots[i].volumeLabel, i < 2 ? "卷标:DATA" : "卷标:OLD") << verdicts[i];
    // Only the sticks relabelled go into the production record, each with the label its row shows now.
    const std::vector<StickResult> &records = bench.productionLog().results();
    ASSERT_EQ(records.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(records[i].letter, "FG"[i]);
        EXPECT_EQ(records[i].operation, "relabel");
        EXPECT_EQ(records[i].parameters, "DATA");
        EXPECT_EQ(records[i].result, "OK");
        EXPECT_EQ(records[i].message, "卷标:DATA");
    }
    // Back to normal before the rescan, which shows its own hourglass.
    EXPECT_EQ(pointers, (Pointers{kPointerHourglass, kPointerDefault, kPointerHourglass, kPointerDefault}));
}

TEST_F(OpsTest, RelabelLockedAndUnreadableDrives) {
    plug('F').locked = true;
    plug('G');
    plugUnreadable('H');
    scan.chus();
    window.panel(3) = "";
    relabelAllDrives(table, window, bench, scan, bench.productionLog());
    EXPECT_EQ(table.slots[0].volumeLabel, "卷标:OLD");
    // An empty default label is passed on as it is.
    EXPECT_EQ(table.slots[1].volumeLabel, "卷标:");
    EXPECT_EQ(bench.drive('H')->label, "");
    EXPECT_EQ(bench.driveListRefreshes(), 2);
    // The locked stick kept its old label, and the panel says so after the rescan; when every label is
    // taken, the scan's own text stays.
    EXPECT_EQ(window.panel(1), "以下U盘的卷标未能修改：F:");
    // The refused stick's record carries the message the operator read about it.
    const std::vector<StickResult> &records = bench.productionLog().results();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].letter, 'F');
    EXPECT_EQ(records[0].result, "NG");
    EXPECT_EQ(records[0].message, "以下U盘的卷标未能修改：F:");
    EXPECT_EQ(records[1].letter, 'G');
    EXPECT_EQ(records[1].result, "OK");
    bench.drive('F')->locked = false;
    relabelAllDrives(table, window, bench, scan, bench.productionLog());
    EXPECT_EQ(window.panel(1).find("以下U盘"), std::string::npos) << window.panel(1);
}

TEST_F(OpsTest, EjectAllFromEIncludingDrivesBeyondTen) {
    for (char letter = 'E'; letter <= 'P'; ++letter)
        plug(letter);
    plug('Q').driveType = 3;
    scan.chus();
    ejectAllDrives(window, bench, bench, "/opt/dravex");
    const Lines lines = commandLines(kWindowHidden);
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines.front(), "/opt/dravex\\RemoveDrive.exe E:");
    EXPECT_EQ(lines.back(), "/opt/dravex\\RemoveDrive.exe P:");
    EXPECT_EQ(window.panel(1), "正在弹出U盘...");
}

TEST_F(OpsTest, EjectOneRowTrustsTheTableOfTheLastScan) {
    plug('F');
    plugUnreadable('G');
    scan.chus();
    bench.unplug('F');
    ejectRow(1, table, window, bench, "/opt/dravex");
    EXPECT_EQ(window.panel(1), "卸载G盘，请单击...");
    ejectRow(0, table, window, bench, "/opt/dravex");
    ejectRow(3, table, window, bench, "/opt/dravex");
    EXPECT_EQ(window.panel(1), "指定处没有U盘可供卸载！");
    window.panel(1) = "before";
    ejectRow(10, table, window, bench, "/opt/dravex");
    ejectRow(-1, table, window, bench, "/opt/dravex");
    EXPECT_EQ(window.panel(1), "before");
    EXPECT_EQ(commandLines(kWindowHidden),
              (Lines{"/opt/dravex\\RemoveDrive.exe G", "/opt/dravex\\RemoveDrive.exe F"}));
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
