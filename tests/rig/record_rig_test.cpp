#include "config/configdialog.h"
#include "record/localjournal.h"
#include "rig/station.h"

#include <gtest/gtest.h>

#include <QTest>

#include <filesystem>
#include <fstream>
#include <map>

namespace dravex::rig {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string exitCodes(const std::vector<HelperExit> &ended) {
    std::string text;
    for (const HelperExit &exit : ended)
        text += exit.program + "=" + std::to_string(exit.exitCode) + " ";
    return text;
}

void runAndExpectSucceeded(Station &station, int key, const char *program) {
    SCOPED_TRACE(program);
    station.press(key);
    std::vector<HelperExit> ended;
    ASSERT_TRUE(station.waitForHelpers(10, 300s, ended)) << exitCodes(ended);
    for (const HelperExit &exit : ended) {
        EXPECT_EQ(exit.program, program);
        EXPECT_EQ(exit.exitCode, 0);
    }
}

// The line's day in small: ten sticks formatted, lock-tested, filled, checked and ejected from the window
// (relabelling has its records checked with the relabel test). The station's journal then holds exactly one record of each step for each gadget's serial,
// written by the helper that did it or by the tool, in the order the steps ran.
TEST(RigProductionRecord, TenSticksThroughTheWholeCycleLeaveExactlyTheirRecords) {
    const fs::path customer = "/tmp/rig/record-customer";
    fs::remove_all(customer);
    fs::create_directories(customer / "docs");
    std::ofstream(customer / "readme.txt") << "lot 9";
    std::ofstream(customer / "docs" / "manual.txt") << std::string(20000, 'm');
    Station station;
    station.writeSettings("LOT9", customer.string());
    std::map<int, UsbStick> sticks;
    for (int port = 0; port < 10; ++port) {
        UsbStick stick;
        stick.serial = "RIGREC0" + std::to_string(port) + "A1B2C3";
        stick.label = "OLD" + std::to_string(port);
        stick.sizeMiB = 16;
        sticks[port] = stick;
    }
    station.rig().plugAll(sticks);
    station.start();
    // A stick UDisks2 is still mounting may join the table at the next device change.
    ASSERT_TRUE(station.waitFor([&] { return station.text("Label6") == u("10"); }, 30s)) << station.describe();

    ConfigDialog &dialog = station.qaStation().configDialog();
    dialog.setFileSystem("FAT");
    dialog.setQuickFormat(1);
    dialog.setLabel("LOT9");
    runAndExpectSucceeded(station, Qt::Key_F2, "format.com");
    ASSERT_TRUE(station.waitFor(
        [&] {
            const QStringList labels = station.column("Label2", 10);
            return labels == QStringList(10, u("卷标:LOT9")) && station.text("Label6") == u("10");
        },
        60s))
        << station.describe();
    station.press(Qt::Key_F7);
    ASSERT_EQ(station.column("Label11", 10), QStringList(10, u("可读写"))) << station.describe();
    runAndExpectSucceeded(station, Qt::Key_F4, "xcopy");
    station.click("Check1");
    ASSERT_EQ(station.column("Label11", 10), QStringList(10, u("OK"))) << station.describe();
    runAndExpectSucceeded(station, Qt::Key_F8, "RemoveDrive.exe");
    ASSERT_TRUE(station.waitFor([&] { return station.text("Label6") == u("0"); }, 60s)) << station.describe();

    LocalJournal::Opening opening = LocalJournal::open(station.programFolder() + "/Dravex.db");
    ASSERT_TRUE(opening.journal) << opening.error;
    std::map<std::string, std::vector<ProductionRecord>> bySerial;
    for (const ProductionRecord &record : opening.journal->select({}))
        bySerial[record.serial].push_back(record);
    ASSERT_EQ(bySerial.size(), 10u) << "one serial per gadget, and no record without one";
    const std::vector<std::string> steps{"format", "lock-test", "copy", "content-check", "eject"};
    const std::vector<std::string> results{"0", "可读写", "0", "OK", "0"};
    for (const auto &[port, stick] : sticks) {
        SCOPED_TRACE(stick.serial);
        const std::vector<ProductionRecord> &records = bySerial[stick.serial];
        std::vector<std::string> seenSteps;
        std::vector<std::string> seenResults;
        for (const ProductionRecord &record : records) {
            seenSteps.push_back(record.operation);
            seenResults.push_back(record.result);
            EXPECT_EQ(record.vendorId, "0951");
            EXPECT_EQ(record.productId, "1666");
            EXPECT_EQ(record.capacityBytes, 16u << 20);
            EXPECT_EQ(record.station, stationName());
            EXPECT_FALSE(record.portPath.empty());
        }
        EXPECT_EQ(seenSteps, steps);
        EXPECT_EQ(seenResults, results);
        if (records.size() != steps.size())
            continue;
        EXPECT_EQ(records[0].parameters, "/FS:FAT/V:LOT9/q/y");
        EXPECT_EQ(records[1].label, "LOT9");
        EXPECT_EQ(records[1].fileSystem, "FAT");
        EXPECT_EQ(records[2].parameters, customer.string());
        EXPECT_EQ(records[3].parameters, records[3].message) << "the stick holds what the folder holds";
        // The letter moves as the sticks before it go, so it is no key; the port stays.
        for (const ProductionRecord &record : records)
            EXPECT_EQ(record.portPath, records.front().portPath);
    }
}

} // namespace
} // namespace dravex::rig
