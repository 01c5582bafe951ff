#include "platform/sim/simbench.h"
#include "scan/drivescan.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace dravex {
namespace {

SimDrive stick(char letter, const std::string &label = "UDISK", uint64_t total = 15998124032ull,
               uint64_t totalFree = 15982952448ull) {
    SimDrive drive;
    drive.letter = letter;
    drive.label = label;
    drive.totalBytes = total;
    drive.totalFreeBytes = totalFree;
    drive.freeBytesAvailableToCaller = totalFree;
    return drive;
}

SimDrive emptySlot(char letter) {
    SimDrive drive = stick(letter);
    drive.mediumPresent = false;
    return drive;
}

class DriveScanTest : public ::testing::Test {
protected:
    SimBench bench;
    DriveTable table;
    MainWindowState window;
    DriveScan scan{bench, table, window, Variant::V2};

    const DriveSlot &row(int i) const { return table.slots.at(static_cast<size_t>(i)); }
    std::vector<std::string> letters() const {
        std::vector<std::string> result;
        for (const DriveSlot &slot : table.slots)
            result.push_back(slot.letter);
        return result;
    }
};

TEST_F(DriveScanTest, WorkedExampleFillsOneRow) {
    bench.plug(stick('H'));
    scan.chus();
    EXPECT_EQ(row(0).letter, "H");
    EXPECT_EQ(row(0).volumeLabel, "卷标:UDISK");
    EXPECT_EQ(row(0).fileSystem, "FAT32");
    EXPECT_EQ(row(0).capacity, "容量:14.9G");
    EXPECT_EQ(row(0).usedSpace, "已用:15,171,584字节");
    EXPECT_EQ(row(0).contents, "");
    EXPECT_EQ(row(0).checkResult, "");
    EXPECT_EQ(row(0).deviceName, "");
    EXPECT_EQ(row(0).deviceSerial, "");
    EXPECT_EQ(row(0).deviceKey, "");
    EXPECT_EQ(row(1).letter, "");
    EXPECT_EQ(table.driveCount, "1");
    EXPECT_EQ(window.panel(1), "列举完成...共有1个U盘。");
}

TEST_F(DriveScanTest, PelmoraShowsDecimalGigabytes) {
    DriveScan pelmora{bench, table, window, Variant::Pelmora};
    bench.plug(stick('H'));
    pelmora.chus();
    EXPECT_EQ(row(0).capacity, "C:13.88G");
    EXPECT_EQ(row(0).usedSpace, "已用:15,171,584字节");
}

TEST_F(DriveScanTest, NoRemovableDrive) {
    SimDrive fixed = stick('G');
    fixed.driveType = 3;
    bench.plug(fixed);
    scan.chus();
    EXPECT_EQ(letters(), std::vector<std::string>(10, ""));
    EXPECT_EQ(table.driveCount, "0");
    EXPECT_EQ(window.panel(1), "列举完成，沒有U盘。");
}

TEST_F(DriveScanTest, LettersAToEAreNeverExamined) {
    bench.plug(stick('C'));
    bench.plug(stick('E'));
    bench.plug(stick('F'));
    scan.chus();
    EXPECT_EQ(row(0).letter, "F");
    EXPECT_EQ(row(1).letter, "");
    EXPECT_EQ(table.driveCount, "1");
}

TEST_F(DriveScanTest, ElevenDrivesListTheFirstTen) {
    for (char letter = 'F'; letter <= 'P'; ++letter)
        bench.plug(stick(letter));
    scan.chus();
    EXPECT_EQ(row(0).letter, "F");
    EXPECT_EQ(row(9).letter, "O");
    EXPECT_EQ(table.driveCount, "10");
    EXPECT_EQ(window.panel(1), "列举完成...共有10个U盘。");
    // The eleventh drive is still queried, only not listed.
    EXPECT_EQ(bench.volumeQueries(), 22);
}

TEST_F(DriveScanTest, UnreadableDriveAloneLeavesFailureRow) {
    bench.plug(emptySlot('G'));
    scan.chus();
    EXPECT_EQ(row(0).letter, "G");
    EXPECT_EQ(row(0).usedSpace, "不能得到G磁盘信息");
    EXPECT_EQ(row(0).volumeLabel, "");
    EXPECT_EQ(row(0).fileSystem, "");
    EXPECT_EQ(row(0).capacity, "");
    EXPECT_EQ(table.driveCount, "0");
    EXPECT_EQ(window.panel(1), "列举完成...共有0个U盘。");
}

TEST_F(DriveScanTest, ReadableDriveReplacesFailureRowBeforeIt) {
    bench.plug(emptySlot('G'));
    bench.plug(stick('H'));
    scan.chus();
    EXPECT_EQ(row(0).letter, "H");
    EXPECT_EQ(row(0).usedSpace, "已用:15,171,584字节");
    EXPECT_EQ(row(1).letter, "");
    EXPECT_EQ(row(1).usedSpace, "");
    EXPECT_EQ(table.driveCount, "1");
}

TEST_F(DriveScanTest, FailureRowAfterLastReadableDrive) {
    bench.plug(stick('F'));
    bench.plug(emptySlot('G'));
    scan.chus();
    EXPECT_EQ(row(0).letter, "F");
    EXPECT_EQ(row(1).letter, "G");
    EXPECT_EQ(row(1).usedSpace, "不能得到G磁盘信息");
    EXPECT_EQ(row(1).capacity, "");
    EXPECT_EQ(table.driveCount, "1");
    EXPECT_EQ(window.panel(1), "列举完成...共有1个U盘。");
}

TEST_F(DriveScanTest, NoFailureRowOnceTenDrivesAreListed) {
    for (char letter = 'F'; letter <= 'O'; ++letter)
        bench.plug(stick(letter));
    bench.plug(emptySlot('P'));
    scan.chus();
    EXPECT_EQ(row(9).letter, "O");
    EXPECT_EQ(row(9).volumeLabel, "卷标:UDISK");
    EXPECT_EQ(table.driveCount, "10");
}

TEST_F(DriveScanTest, LabelAndFileSystemCutAtNulAndTrimmed) {
    SimDrive drive = stick('H', std::string("  MY DISK  \0garbage", 19));
    drive.fileSystem = std::string(" FAT\0\0\0", 7);
    bench.plug(drive);
    bench.plug(stick('I', ""));
    scan.chus();
    EXPECT_EQ(row(0).volumeLabel, "卷标:MY DISK");
    EXPECT_EQ(row(0).fileSystem, "FAT");
    EXPECT_EQ(row(1).volumeLabel, "卷标:");
}

TEST_F(DriveScanTest, LowHalfWithTopBitSetShowsTrueSize) {
    bench.plug(stick('H', "UDISK", 16039018496ull, 16039018496ull));
    scan.chus();
    EXPECT_EQ(row(0).capacity, "容量:14.9G");
    EXPECT_EQ(row(0).usedSpace, "已用:0字节");
}

TEST_F(DriveScanTest, UsedBytesComeFromSinglePrecisionCounts) {
    // Both counts round to the same float, so nothing shows as used.
    bench.plug(stick('H', "UDISK", 10737418240ull, 10737418240ull - 300));
    // Free bytes above total (a volume that reports oddly) still give a positive figure.
    bench.plug(stick('I', "UDISK", 1048576, 2097152));
    scan.chus();
    EXPECT_EQ(row(0).usedSpace, "已用:0字节");
    EXPECT_EQ(row(1).usedSpace, "已用:1,048,576字节");
}

TEST_F(DriveScanTest, FailedFreeSpaceQueryNeverShowsAnotherDrivesFigures) {
    bench.plug(stick('F'));
    SimDrive odd = stick('G');
    odd.freeSpaceQueryFails = true;
    bench.plug(odd);
    scan.chus();
    EXPECT_EQ(row(1).letter, "G");
    EXPECT_EQ(row(1).capacity, "容量:.M");
    EXPECT_EQ(row(1).usedSpace, "已用:0字节");
}

TEST_F(DriveScanTest, RescanWipesVerdictsAndOldRows) {
    bench.plug(stick('F'));
    bench.plug(stick('G'));
    scan.chus();
    table.slots[0].checkResult = "写保护";
    table.slots[1].checkResult = "OK";
    table.slots[1].contents = "文件:0;目录:0;大小:0字节";
    bench.unplug('F');
    scan.chus();
    EXPECT_EQ(row(0).letter, "G");
    EXPECT_EQ(row(0).checkResult, "");
    EXPECT_EQ(row(0).contents, "");
    EXPECT_EQ(row(1).letter, "");
    EXPECT_EQ(row(1).checkResult, "");
    EXPECT_EQ(table.driveCount, "1");
}

TEST_F(DriveScanTest, PointerIsHourglassWhileScanning) {
    std::vector<int> pointers;
    std::string statusWhenPointerReturns;
    window.setPointerListener([&](int pointer) {
        pointers.push_back(pointer);
        if (pointer == kPointerDefault)
            statusWhenPointerReturns = window.panel(1);
    });
    bench.plug(stick('H'));
    scan.chus();
    EXPECT_EQ(pointers, (std::vector<int>{kPointerHourglass, kPointerDefault}));
    // The pointer returns before the closing message replaces the one shown while listing.
    EXPECT_EQ(statusWhenPointerReturns, "列举U盘...");
    EXPECT_EQ(window.panel(1), "列举完成...共有1个U盘。");
    EXPECT_EQ(window.mousePointer(), kPointerDefault);
}

TEST_F(DriveScanTest, DriveListIsReadOncePerScan) {
    bench.plug(stick('H'));
    scan.chus();
    scan.chus();
    EXPECT_EQ(bench.driveListRefreshes(), 2);
}

class ScanStepsTest : public DriveScanTest {
protected:
    std::vector<std::string> lookedUp;
    std::vector<int> checkedRows;

    void SetUp() override {
        ScanSteps steps;
        steps.lookupDriveIdentity = [this](const std::string &letter) {
            lookedUp.push_back(letter);
            return UsbIdentity{"ABC", "FLASH", "1.00", "0123456789AB", "VID_090C&PID_1000"};
        };
        steps.checkSlotContents = [this](int row) {
            checkedRows.push_back(row);
            table.slots.at(static_cast<size_t>(row)).contents =
                "checked " + table.slots.at(static_cast<size_t>(row)).letter;
        };
        scan.setSteps(steps);
        bench.plug(stick('F'));
        bench.plug(emptySlot('G'));
        bench.plug(stick('H'));
    }
};

TEST_F(ScanStepsTest, BoxesClearMakeNoLookupAndNoCheck) {
    scan.chus();
    EXPECT_TRUE(lookedUp.empty());
    EXPECT_TRUE(checkedRows.empty());
    EXPECT_EQ(row(0).deviceName, "");
    EXPECT_EQ(row(0).deviceSerial, "");
    EXPECT_EQ(row(0).contents, "");
}

TEST_F(ScanStepsTest, IdentityBoxLooksUpEveryReadDrive) {
    window.check2 = kChecked;
    scan.chus();
    EXPECT_EQ(lookedUp, (std::vector<std::string>{"F", "H"}));
    EXPECT_EQ(row(1).deviceName, "ABC FLASH 1.00");
    EXPECT_EQ(row(1).deviceSerial, "S/N:0123456789AB");
    EXPECT_EQ(row(1).deviceKey, "VID_090C&PID_1000");
}

TEST_F(ScanStepsTest, ContentBoxChecksEveryFilledRow) {
    window.check1 = kChecked;
    scan.chus();
    EXPECT_EQ(checkedRows, (std::vector<int>{0, 1}));
    EXPECT_EQ(row(0).contents, "checked F");
    EXPECT_EQ(row(1).contents, "checked H");
}

TEST_F(ScanStepsTest, GreyedBoxesCountAsClear) {
    window.check1 = kGrayed;
    window.check2 = kGrayed;
    scan.chus();
    EXPECT_TRUE(lookedUp.empty());
    EXPECT_TRUE(checkedRows.empty());
}

TEST_F(ScanStepsTest, IdentityBoxWithoutLookupShowsEmptyIdentity) {
    scan.setSteps(ScanSteps{});
    window.check2 = kChecked;
    scan.chus();
    EXPECT_EQ(row(0).deviceName, "  ");
    EXPECT_EQ(row(0).deviceSerial, "S/N:");
    EXPECT_EQ(row(0).deviceKey, "");
}

} // namespace
} // namespace dravex
