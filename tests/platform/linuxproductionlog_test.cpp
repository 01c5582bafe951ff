#include "fixtures.h"
#include "platform/linux/record/linuxproductionlog.h"
#include "record/localjournal.h"

#include <gtest/gtest.h>

#include <fstream>
#include <thread>

namespace dravex {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class LinuxProductionLogTest : public ::testing::Test {
protected:
    std::string program() const { return (m_folder.path() / "program").string(); }
    std::vector<ProductionRecord> records() const {
        LocalJournal::Opening opening = LocalJournal::open(program() + "/Dravex.db");
        return opening.journal ? opening.journal->select({}) : std::vector<ProductionRecord>{};
    }
    static StickResult lockTest(char letter) {
        return {letter, operations::kLockTest, "", "可读写", "可读写", 12ms};
    }

    // The inventory of the tool's last scan.
    LinuxProductionLog::Inventory inventory() const {
        return [this]() -> const DiskInventory & { return m_inventory; };
    }

    TemporaryFolder m_folder;
    const SystemRoot m_root{sysroot("rig-ten-sticks")};
    const DiskInventory m_inventory = DiskInventory::read(m_root);
};

TEST_F(LinuxProductionLogTest, TheToolsRecordsDescribeTheStickBehindTheLetter) {
    fs::create_directories(program());
    LinuxProductionLog log(program(), inventory(), m_root);
    log.record(lockTest('F'));
    log.record(lockTest('P')); // nothing there any more: the letter alone
    EXPECT_EQ(log.note(), "");
    const std::vector<ProductionRecord> kept = records();
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[0].letter, "F");
    EXPECT_EQ(kept[0].serial.rfind("RIG", 0), 0u) << kept[0].serial;
    EXPECT_EQ(kept[0].vendorId, "0951");
    EXPECT_EQ(kept[0].operation, "lock-test");
    EXPECT_EQ(kept[0].result, "可读写");
    EXPECT_EQ(kept[0].durationMs, 12);
    EXPECT_EQ(kept[1].letter, "P");
    EXPECT_EQ(kept[1].serial, "");
}

TEST_F(LinuxProductionLogTest, AContentCheckThatRepeatsTheLastOneOfTheSameStickIsKeptOnce) {
    fs::create_directories(program());
    LinuxProductionLog log(program(), inventory(), m_root);
    const auto check = [](char letter, const char *verdict, const char *contents) {
        return StickResult{letter, operations::kContentCheck, "文件:1;目录:0;大小:5字节", verdict, contents, 3ms};
    };
    log.record(check('F', "OK", "文件:1;目录:0;大小:5字节"));
    log.record(check('F', "OK", "文件:1;目录:0;大小:5字节")); // the next rescan
    log.record(check('G', "OK", "文件:1;目录:0;大小:5字节")); // another stick
    log.record(check('F', "NG", "文件:2;目录:0;大小:9字节")); // changed since
    log.record(check('F', "OK", "文件:1;目录:0;大小:5字节")); // and back
    log.record(lockTest('F'));
    log.record(lockTest('F')); // the operator's own commands are each kept
    const std::vector<ProductionRecord> kept = records();
    std::string seen;
    for (const ProductionRecord &record : kept)
        seen += record.letter + (record.operation == "lock-test" ? "L" : record.result) + " ";
    EXPECT_EQ(seen, "FOK GOK FNG FOK FL FL ");
}

TEST_F(LinuxProductionLogTest, RecordsThatCannotBeWrittenWaitInMemoryAndThePanelSaysWhy) {
    // The program folder is not there yet: the journal cannot be made.
    LinuxProductionLog log(program(), inventory(), m_root);
    log.record(lockTest('F'));
    log.record(lockTest('G'));
    EXPECT_EQ(log.note().rfind("生产记录无法写入：", 0), 0u) << log.note();
    fs::create_directories(program());
    EXPECT_EQ(log.note(), "") << "the waiting records went in at the next look";
    log.record(lockTest('H'));
    const std::vector<ProductionRecord> kept = records();
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0].letter + kept[1].letter + kept[2].letter, "FGH");
}

TEST_F(LinuxProductionLogTest, ADamagedJournalIsSetAsideAndTheToolGoesOn) {
    fs::create_directories(program());
    const std::string garbage(4096, '\x5a');
    std::ofstream(program() + "/Dravex.db", std::ios::binary) << garbage;
    LinuxProductionLog log(program(), inventory(), m_root);
    log.record(lockTest('F'));
    const std::string note = log.note();
    EXPECT_EQ(note.rfind("生产记录库已损坏，已另建新库，旧库保留为Dravex.db.damaged-", 0), 0u) << note;
    EXPECT_EQ(records().size(), 1u);
    size_t setAside = 0;
    for (const auto &entry : fs::directory_iterator(program())) {
        if (entry.path().filename().string().rfind("Dravex.db.damaged-", 0) == 0) {
            ++setAside;
            std::ifstream file(entry.path(), std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), garbage) << "kept as it was";
        }
    }
    EXPECT_EQ(setAside, 1u);
}

TEST_F(LinuxProductionLogTest, RecordsForAServerOutOfReachAreCountedInThePanel) {
    fs::create_directories(program());
    // A Unix socket nobody listens on: refused at once.
    std::ofstream(program() + "/RecordServer.txt")
        << "  host=" << (m_folder.path() / "nobody").string() << " port=1 dbname=dravex\r\n";
    LinuxProductionLog log(program(), inventory(), m_root);
    log.record(lockTest('F'));
    log.record(lockTest('G'));
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (log.note() != "生产记录待上传：2条" && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(20ms);
    EXPECT_EQ(log.note(), "生产记录待上传：2条");
    EXPECT_EQ(records().size(), 2u) << "kept at the station meanwhile";
}

} // namespace
} // namespace dravex
