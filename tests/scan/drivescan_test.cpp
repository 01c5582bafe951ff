#include "platform/sim/simbench.h"
#include "scan/drivescan.h"

#include <gtest/gtest.h>

#include <cctype>
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
    drive.totalFreeBytes = drive.freeBytesAvailableToCaller = totalFree;
    return drive;
}

// One scan over a bench of which every test declares its sticks.
struct Scanned {
    SimBench bench;
    DriveTable table;
    MainWindowState window;
    DriveScan scan{bench, table, window, Variant::V2};

    // An upper-case letter plugs a stick, a lower-case one an empty card-reader slot.
    void plug(const std::string &letters) {
        for (char letter : letters) {
            SimDrive drive = stick(static_cast<char>(std::toupper(letter)));
            drive.mediumPresent = std::isupper(letter);
            bench.plug(drive);
        }
    }
    const DriveSlot &row(int i) const { return table.slots.at(static_cast<size_t>(i)); }
    // The rows that carry a letter, each as "letter|label|capacity|used".
    std::vector<std::string> rows() const {
        std::vector<std::string> shown;
        for (const DriveSlot &slot : table.slots)
            if (!slot.letter.empty())
                shown.push_back(slot.letter + "|" + slot.volumeLabel + "|" + slot.capacity + "|" +
                                slot.usedSpace);
        return shown;
    }
};

class DriveScanTest : public ::testing::Test, protected Scanned {};

const std::string kH = "H|卷标:UDISK|容量:14.9G|已用:15,171,584字节";

TEST_F(DriveScanTest, WorkedExampleFillsOneRowInBothVariants) {
    bench.plug(stick('H'));
    scan.chus();
    EXPECT_EQ(rows(), std::vector<std::string>{kH});
    EXPECT_EQ(row(0).fileSystem, "FAT32");
    EXPECT_EQ(row(0).contents + row(0).checkResult + row(0).deviceName + row(0).deviceKey, "");
    EXPECT_EQ(table.driveCount, "1");
    EXPECT_EQ(window.panel(1), "列举完成...共有1个U盘。");
    DriveScan pelmora{bench, table, window, Variant::Pelmora};
    pelmora.chus();
    EXPECT_EQ(row(0).capacity, "C:13.88G");
}

TEST_F(DriveScanTest, OnlyRemovableDrivesFromFOnward) {
    plug("CE");
    SimDrive fixed = stick('G');
    fixed.driveType = 3;
    bench.plug(fixed);
    scan.chus();
    EXPECT_TRUE(rows().empty());
    EXPECT_EQ(table.driveCount, "0");
    EXPECT_EQ(window.panel(1), "列举完成，沒有U盘。");
}

TEST(DriveScan, FailureRowOnlyAfterTheLastReadableDriveAndBelowTen) {
    const struct {
        const char *sticks;
        size_t listed;
        std::string lastRow;
        const char *count;
    } cases[] = {{"g", 1, "G|||不能得到G磁盘信息", "0"},
                 {"gH", 1, kH, "1"},
                 {"Fg", 2, "G|||不能得到G磁盘信息", "1"},
                 {"FGHIJKLMNOp", 10, "O|卷标:UDISK|容量:14.9G|已用:15,171,584字节", "10"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sticks);
        Scanned s;
        s.plug(c.sticks);
        s.scan.chus();
        ASSERT_EQ(s.rows().size(), c.listed);
        EXPECT_EQ(s.rows().back(), c.lastRow);
        EXPECT_EQ(s.table.driveCount, c.count);
        EXPECT_EQ(s.window.panel(1), std::string("列举完成...共有") + c.count + "个U盘。");
    }
}

TEST_F(DriveScanTest, ElevenDrivesListTheFirstTenButQueryAll) {
    plug("FGHIJKLMNOP");
    scan.chus();
    EXPECT_EQ(row(9).letter, "O");
    EXPECT_EQ(table.driveCount, "10");
    EXPECT_EQ(bench.volumeQueries(), 22);
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

TEST_F(DriveScanTest, UsedSpaceComesFromSinglePrecisionCounts) {
    // A low half with its top bit set; two counts that round to one float; free above total; and a
    // failed free-space query, which must not show another drive's figures.
    bench.plug(stick('H', "A", 16039018496ull, 16039018496ull));
    bench.plug(stick('I', "B", 10737418240ull, 10737418240ull - 300));
    bench.plug(stick('J', "C", 1048576, 2097152));
    SimDrive odd = stick('K', "D");
    odd.freeSpaceQueryFails = true;
    bench.plug(odd);
    scan.chus();
    EXPECT_EQ(rows(), (std::vector<std::string>{
                          "H|卷标:A|容量:14.9G|已用:0字节", "I|卷标:B|容量:10.G|已用:0字节",
                          "J|卷标:C|容量:1.M|已用:1,048,576字节", "K|卷标:D|容量:.M|已用:0字节"}));
}

TEST_F(DriveScanTest, RescanReadsTheListAgainAndWipesVerdictsAndOldRows) {
    plug("FG");
    scan.chus();
    table.slots[0].checkResult = "写保护";
    table.slots[1].checkResult = "OK";
    table.slots[1].contents = "文件:0;目录:0;大小:0字节";
    bench.unplug('F');
    scan.chus();
    EXPECT_EQ(bench.driveListRefreshes(), 2);
    EXPECT_EQ(rows(), std::vector<std::string>{"G|卷标:UDISK|容量:14.9G|已用:15,171,584字节"});
    EXPECT_EQ(row(0).checkResult + row(0).contents + row(1).checkResult, "");
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
    plug("H");
    scan.chus();
    EXPECT_EQ(pointers, (std::vector<int>{kPointerHourglass, kPointerDefault}));
    // The pointer returns before the closing message replaces the one shown while listing.
    EXPECT_EQ(statusWhenPointerReturns, "列举U盘...");
    EXPECT_EQ(window.panel(1), "列举完成...共有1个U盘。");
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
        steps.checkSlotContents = [this](int i) {
            checkedRows.push_back(i);
            table.slots.at(static_cast<size_t>(i)).contents = "checked " + row(i).letter;
        };
        scan.setSteps(steps);
        plug("FgH");
    }
};

TEST_F(ScanStepsTest, ClearOrGreyedBoxesMakeNoLookupAndNoCheck) {
    for (int state : {kUnchecked, kGrayed}) {
        window.check1 = window.check2 = state;
        scan.chus();
        EXPECT_TRUE(lookedUp.empty());
        EXPECT_TRUE(checkedRows.empty());
        EXPECT_EQ(row(0).deviceName + row(0).deviceSerial + row(0).contents, "");
    }
}

TEST_F(ScanStepsTest, TickedBoxesLookUpAndCheckEveryReadDrive) {
    window.check1 = window.check2 = kChecked;
    scan.chus();
    EXPECT_EQ(lookedUp, (std::vector<std::string>{"F", "H"}));
    EXPECT_EQ(row(1).deviceName, "ABC FLASH 1.00");
    EXPECT_EQ(row(1).deviceSerial, "S/N:0123456789AB");
    EXPECT_EQ(row(1).deviceKey, "VID_090C&PID_1000");
    EXPECT_EQ(checkedRows, (std::vector<int>{0, 1}));
    EXPECT_EQ(row(1).contents, "checked H");
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
