#include "platform/sim/simbench.h"
#include "station/qastation.h"
#include "support/fakeoperator.h"
#include "support/passthroughcodepage.h"
#include "support/scratchfolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace dravex {
namespace {

class QaStationTest : public ::testing::Test {
protected:
    QaStationTest() {
        for (char letter : {'H', 'K'}) {
            SimDrive drive;
            drive.letter = letter;
            drive.label = std::string("STICK-") + letter;
            drive.totalBytes = 1ull << 30;
            bench.plug(drive);
        }
    }
    std::vector<std::string> launched() const {
        std::vector<std::string> lines;
        for (const SimLaunch &launch : bench.launches())
            lines.push_back(launch.commandLine);
        return lines;
    }

    SimBench bench;
    testing::PassThroughCodePage codePage;
    PlatformServices services{
        bench, bench, bench, codePage, bench, bench, bench, bench, bench.capacityReports(),
        bench.productionLog(), "C:\\DRAVEX"};
    std::unique_ptr<QaStation> station = std::make_unique<QaStation>(Variant::V2, services);
};

TEST_F(QaStationTest, EveryDeviceChangeRescansBeforeTellingTheWatcherUntilWatchingStops) {
    std::vector<std::string> countsSeen;
    station->watchDeviceChanges([&] { countsSeen.push_back(station->driveTable().driveCount); });
    bench.fireDeviceChange();
    SimDrive third;
    third.letter = 'M';
    bench.plug(third);
    bench.fireDeviceChange();
    EXPECT_EQ(countsSeen, (std::vector<std::string>{"2", "3"}));
    EXPECT_EQ(bench.driveListRefreshes(), 2);

    station->watchDeviceChanges({});
    EXPECT_FALSE(bench.hasListener());
    EXPECT_FALSE(bench.hasCapacityListener());
    station->watchDeviceChanges([] {});
    station.reset();
    EXPECT_FALSE(bench.hasListener()) << "a station gone stops listening";
    EXPECT_FALSE(bench.hasCapacityListener());
}

TEST_F(QaStationTest, TheScanRunsTheTickedChecksAndSaysWhenTheCustomerFolderIsOutOfReach) {
    station->state().check1 = kChecked;
    station->state().panel(2) = "C:\\GONE";
    station->scan();
    EXPECT_EQ(station->driveTable().slots[0].contents, "文件:0;目录:0;大小:0字节");
    EXPECT_EQ(station->driveTable().slots[0].checkResult, "");
    EXPECT_EQ(station->state().panel(1), "无法读取客供文件目录，不判定OK/NG。");

    station->state().check1 = kUnchecked;
    station->scan();
    EXPECT_EQ(station->state().panel(1), "列举完成...共有2个U盘。");
}

TEST_F(QaStationTest, CommandsActOnTheStationsOwnRowsAndSettings) {
    station->scan();
    bench.drive('K')->locked = true;
    station->testLocks();
    EXPECT_EQ(station->driveTable().slots[0].checkResult, "可读写");
    EXPECT_EQ(station->driveTable().slots[1].checkResult, "写保护");

    FakeOperator person;
    station->state().panel(3) = "DATA";
    station->formatAll(person);
    ASSERT_EQ(person.messages.size(), 1u);
    EXPECT_EQ(person.messages[0].first, "有磁盘被写保护，格式化程序退出。");
    EXPECT_EQ(launched(), (std::vector<std::string>{"format.com H:/FS:FAT/V:DATA/q/y"}));

    station->ejectOne(1);
    EXPECT_EQ(launched().back(), "C:\\DRAVEX\\RemoveDrive.exe K");
    // A row without a stick has no disk to describe.
    station->showDiskInfo(5, person);
    EXPECT_EQ(person.messages.size(), 1u);
}

TEST_F(QaStationTest, F3ChecksEveryStickTheLockTestLeftWritable) {
    station->scan();
    bench.drive('K')->locked = true;
    station->testLocks();
    station->capacityCheckAll();
    EXPECT_EQ(launched(), (std::vector<std::string>{"captest H:"}));
    EXPECT_EQ(station->state().panel(1), "容量测试已启动。");
}

TEST_F(QaStationTest, ReportsOutliveRescansAndGoWithTheirStick) {
    const CapacityReport counterfeit{CapacityReport::Outcome::Counterfeit, 1ull << 30, 300ull << 20, 4, 18};
    bench.setCapacityReport('K', counterfeit);
    station->scan();
    station->scan();
    EXPECT_EQ(station->driveTable().slots[1].checkResult, "假 300M");
    EXPECT_EQ(station->driveTable().slots[1].usedSpace, "写 4.0 读 18.0 MB/s");
    EXPECT_EQ(station->driveTable().slots[0].checkResult, "");

    // The same letter, another stick.
    SimDrive replacement = *bench.drive('K');
    bench.unplug('K');
    replacement.capacityReport.reset();
    bench.plug(replacement);
    station->scan();
    EXPECT_EQ(station->driveTable().slots[1].checkResult, "");
}

TEST_F(QaStationTest, TheReportsComeAfterTheContentCheckSoOnlyAGenuineStickKeepsItsVerdict) {
    testing::ScratchFolder customer;
    testing::writeText(customer.path() / "data.txt", "lot 7");
    testing::writeText(bench.folderOf('H') / "data.txt", "lot 7");
    station->configDialog().setFolder(customer.path().string());
    station->state().check1 = kChecked;
    bench.setCapacityReport('H',
                            CapacityReport{CapacityReport::Outcome::Genuine, 1ull << 30, 1ull << 30, 0, 0});
    bench.setCapacityReport('K', CapacityReport{CapacityReport::Outcome::Damaged, 1ull << 30, 0, 0, 0});
    station->scan();
    EXPECT_EQ(station->driveTable().slots[0].checkResult, "OK");
    EXPECT_EQ(station->driveTable().slots[1].checkResult, "坏块") << "in place of its NG";
}

TEST_F(QaStationTest, AReportThatArrivesIsShownWithoutARescanAndTellsTheWatcher) {
    station->scan();
    std::vector<std::string> verdictsSeen;
    station->watchDeviceChanges([&] { verdictsSeen.push_back(station->driveTable().slots[0].checkResult); });
    bench.setCapacityReport('H', CapacityReport{CapacityReport::Outcome::NoResponse, 1ull << 30, 0, 0, 0});
    EXPECT_EQ(verdictsSeen, std::vector<std::string>{"无响应"});
    EXPECT_EQ(bench.driveListRefreshes(), 1);
}

// What the tool itself finds out about a stick goes into the production record; the helpers write theirs.
TEST_F(QaStationTest, TheLockTestAndTheContentCheckRecordTheirVerdicts) {
    bench.drive('K')->locked = true;
    station->scan();
    station->testLocks();
    std::vector<StickResult> records = bench.productionLog().results();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].letter, 'H');
    EXPECT_EQ(records[0].operation, "lock-test");
    EXPECT_EQ(records[0].result, "可读写");
    EXPECT_EQ(records[1].letter, 'K');
    EXPECT_EQ(records[1].result, "写保护");
    bench.productionLog().clear();

    testing::ScratchFolder customer;
    testing::writeText(customer.path() / "data.txt", "lot 7");
    testing::writeText(bench.folderOf('H') / "data.txt", "lot 7");
    station->configDialog().setFolder(customer.path().string());
    station->state().check1 = kChecked;
    station->checkContents();
    const std::string reference = "文件:1;目录:0;大小:5字节";
    records = bench.productionLog().results();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].operation, "content-check");
    EXPECT_EQ(records[0].parameters, reference);
    EXPECT_EQ(records[0].result, "OK");
    EXPECT_EQ(records[0].message, reference);
    EXPECT_EQ(records[1].result, "NG");

    // A rescan checks every stick again and passes each verdict on; the record keeps repeats once.
    station->scan();
    records = bench.productionLog().results();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[2].letter, 'H');
    EXPECT_EQ(records[3].letter, 'K');
    EXPECT_EQ(records[3].result, "NG");

    // Without a customer folder there is no verdict, and nothing to record.
    bench.productionLog().clear();
    station->configDialog().setFolder((customer.path() / "gone").string());
    station->checkContents();
    EXPECT_TRUE(bench.productionLog().results().empty());
}

TEST_F(QaStationTest, TheRecordsNoteIsTakenFromTheLogAndChangesAreReported) {
    EXPECT_FALSE(station->refreshRecordNote());
    EXPECT_EQ(station->state().recordNote, "");
    bench.productionLog().setNote("生产记录待上传：3条");
    EXPECT_TRUE(station->refreshRecordNote());
    EXPECT_EQ(station->state().recordNote, "生产记录待上传：3条");
    EXPECT_FALSE(station->refreshRecordNote());
    bench.productionLog().setNote("");
    EXPECT_TRUE(station->refreshRecordNote());
    EXPECT_EQ(station->state().recordNote, "");
}

} // namespace
} // namespace dravex
