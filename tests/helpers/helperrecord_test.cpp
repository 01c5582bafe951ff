#include "helperfixtures.h"
#include "helpers/helperrecord.h"
#include "helpers/removedrive.h"
#include "platform/linux/record/stickdescription.h"
#include "record/localjournal.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

namespace dravex {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(LastLineBuffer, KeepsTheLastLineWithTextAndPassesEverythingOn) {
    std::ostringstream target;
    LastLineBuffer lines(target.rdbuf());
    std::ostream stream(&lines);
    EXPECT_EQ(lines.lastLine(), "");
    stream << "正在格式化 F:\n" << "完成 \n" << "  \n\n";
    EXPECT_EQ(lines.lastLine(), "完成 ");
    stream << "partly";
    EXPECT_EQ(lines.lastLine(), "partly") << "a line the helper has not ended yet is the last one read";
    stream.put('!') << std::flush;
    EXPECT_EQ(lines.lastLine(), "partly!");
    EXPECT_EQ(target.str(), "正在格式化 F:\n完成 \n  \n\npartly!");
}

// The ten sticks of the rig, as the kernel and udev showed them: what a record says of each.
TEST(StickDescription, EachLetterNamesItsStickWithIdentityCapacityFileSystemAndLabel) {
    const SystemRoot root(sysroot("rig-ten-sticks"));
    std::set<std::string> serials;
    for (char letter = 'F'; letter <= 'O'; ++letter) {
        SCOPED_TRACE(letter);
        const auto stick = describeStick(root, letter);
        ASSERT_TRUE(stick);
        EXPECT_EQ(stick->letter, std::string(1, letter));
        EXPECT_EQ(stick->serial.rfind("RIG", 0), 0u) << stick->serial;
        serials.insert(stick->serial);
        EXPECT_EQ(stick->vendorId, "0951");
        EXPECT_EQ(stick->productId, "1666");
        EXPECT_EQ(stick->vendor, "Kingston");
        EXPECT_EQ(stick->product, "DataTraveler 3.0");
        EXPECT_EQ(stick->revision, "PMAP");
        EXPECT_GT(stick->capacityBytes, 0u);
        EXPECT_TRUE(stick->fileSystem == "FAT" || stick->fileSystem == "FAT32" || stick->fileSystem == "exFAT")
            << stick->fileSystem;
        EXPECT_EQ(stick->label.rfind("STICK", 0), 0u) << stick->label;
        EXPECT_NE(stick->portPath.find('-'), std::string::npos) << "the USB port, e.g. 5-1: " << stick->portPath;
    }
    EXPECT_EQ(serials.size(), 10u);
    EXPECT_FALSE(describeStick(root, 'P'));
}

class HelperRecordTest : public HelperFixture {
protected:
    std::string journal() const { return (m_folder.path() / "records" / "Dravex.db").string(); }
    std::vector<ProductionRecord> records() const {
        LocalJournal::Opening opening = LocalJournal::open(journal());
        return opening.journal ? opening.journal->select({}) : std::vector<ProductionRecord>{};
    }
    void SetUp() override {
        HelperFixture::SetUp();
        fs::create_directories(m_folder.path() / "records");
    }
};

TEST_F(HelperRecordTest, ARunIsRecordedWithTheStickAsItWasAndItsOutcome) {
    const SystemRoot root(m_tree);
    const auto before = describeStick(root, 'F');
    ASSERT_TRUE(before);
    HelperRecorder recorder(root, journal(), {operations::kFormat, 'F', "/FS:FAT32/V:DATA/q/y"});
    recorder.finish(3, "格式化失败", 1234ms, m_err);
    EXPECT_EQ(m_err.str(), "");
    const std::vector<ProductionRecord> kept = records();
    ASSERT_EQ(kept.size(), 1u);
    const ProductionRecord &record = kept.front();
    EXPECT_EQ(record.id.size(), 32u);
    EXPECT_EQ(record.time.size(), 24u) << record.time;
    EXPECT_EQ(record.station, stationName());
    EXPECT_EQ(record.letter, "F");
    EXPECT_EQ(record.serial, before->serial);
    EXPECT_EQ(record.capacityBytes, before->capacityBytes);
    EXPECT_EQ(record.label, before->label);
    EXPECT_EQ(record.operation, "format");
    EXPECT_EQ(record.parameters, "/FS:FAT32/V:DATA/q/y");
    EXPECT_EQ(record.result, "3");
    EXPECT_EQ(record.message, "格式化失败");
    EXPECT_EQ(record.durationMs, 1234);

    // A letter that named nothing still leaves its record; a command without one leaves none.
    HelperRecorder(root, journal(), {operations::kEject, 'Z', ""}).finish(2, "no such drive", 1ms, m_err);
    HelperRecorder(root, journal(), {operations::kEject, std::nullopt, ""}).finish(1, "usage", 1ms, m_err);
    ASSERT_EQ(records().size(), 2u);
    EXPECT_EQ(records()[1].letter, "Z");
    EXPECT_EQ(records()[1].serial, "");
}

TEST_F(HelperRecordTest, AJournalThatCannotTakeTheRecordIsToldButTheRunStandsAsItEnded) {
    const SystemRoot root(m_tree);
    // Damaged: set aside, a new one takes the record, and the helper's window says so.
    std::ofstream(journal(), std::ios::binary) << std::string(8192, 'x');
    HelperRecorder(root, journal(), {operations::kEject, 'F', ""}).finish(0, "done", 5ms, m_err);
    EXPECT_NE(m_err.str().find("生产记录库已损坏，已另建新库，旧库保留为Dravex.db.damaged-"), std::string::npos)
        << m_err.str();
    EXPECT_EQ(records().size(), 1u);
    // A folder that is gone: nothing written, and the reason told.
    m_err.str("");
    HelperRecorder(root, (m_folder.path() / "gone" / "Dravex.db").string(), {operations::kEject, 'F', ""})
        .finish(0, "done", 5ms, m_err);
    EXPECT_EQ(m_err.str().rfind("生产记录无法写入：", 0), 0u) << m_err.str();
}

// The program itself, as the tool starts it: the journal is the one the tool names.
TEST_F(HelperRecordTest, RemoveDriveRecordsEachRunThatNamesADrive) {
    const std::vector<std::string> environment{"DRAVEX_SYSTEM_ROOT=" + m_tree,
                                               "DRAVEX_RECORDS=" + (m_folder.path() / "records").string()};
    const ProcessResult done = runCaptured({DRAVEX_REMOVEDRIVE_PROGRAM, "F:"}, environment);
    const ProcessResult refused = runCaptured({DRAVEX_REMOVEDRIVE_PROGRAM, "G:"}, environment);
    const ProcessResult bad = runCaptured({DRAVEX_REMOVEDRIVE_PROGRAM, "F", "G"}, environment);
    ASSERT_EQ(done.exitCode, kExitDone) << done.err;
    ASSERT_EQ(refused.exitCode, kExitRefused);
    ASSERT_EQ(bad.exitCode, kExitBadCommandLine);
    const std::vector<ProductionRecord> kept = records();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].operation, "eject");
    EXPECT_EQ(kept[0].letter, "F");
    EXPECT_EQ(kept[0].result, "0");
    EXPECT_EQ(kept[1].letter, "G");
    EXPECT_EQ(kept[1].result, "2");
    // The message is the last line the operator read, here the refusal.
    EXPECT_FALSE(kept[1].message.empty());
    EXPECT_NE(refused.err.find(kept[1].message), std::string::npos) << refused.err;

    // Started by hand below a test's root, without the tool's folder, nothing is written anywhere.
    const ProcessResult byHand = runCaptured({DRAVEX_REMOVEDRIVE_PROGRAM, "F:"}, {"DRAVEX_SYSTEM_ROOT=" + m_tree});
    EXPECT_EQ(byHand.exitCode, kExitDone);
    EXPECT_EQ(records().size(), 2u);
}

} // namespace
} // namespace dravex
