#include "platform/sim/simbench.h"
#include "scan/drivescan.h"
#include "scan/locktest.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace dravex {
namespace {

class LockTest : public ::testing::Test {
protected:
    SimBench bench;
    DriveTable table;
    MainWindowState window;
    DriveScan scan{bench, table, window, Variant::V2};

    SimDrive &plug(char letter) {
        SimDrive stick;
        stick.letter = letter;
        stick.totalBytes = 1ull << 30;
        return bench.plug(stick);
    }
    std::string verdict(size_t row) const { return table.slots.at(row).checkResult; }
    bool probeLeft(char letter) const {
        return std::filesystem::exists(bench.folderOf(letter) / "tavrin.bin");
    }
};

TEST_F(LockTest, VerdictsOfEveryListedStick) {
    plug('F');
    std::ofstream(bench.folderOf('F') / "tavrin.bin") << "left over";
    plug('G').locked = true;
    plug('H');
    plug('I');
    plug('J').mediumPresent = false;
    scan.chus();
    bench.unplug('H');
    table.slots[0].checkResult = "NG";
    table.slots[3].checkResult = "NG";
    runLockTest(bench, table);
    // A left-over probe file is overwritten, then deleted.
    EXPECT_EQ(verdict(0), "可读写");
    EXPECT_FALSE(probeLeft('F'));
    EXPECT_EQ(verdict(1), "写保护");
    // Pulled after the scan.
    EXPECT_EQ(verdict(2), "写保护");
    EXPECT_EQ(verdict(3), "可读写");
    EXPECT_FALSE(probeLeft('I'));
    // J's failure row has a letter but no capacity: not probed.
    EXPECT_EQ(table.slots[4].letter, "J");
    EXPECT_EQ(verdict(4), "");
    EXPECT_EQ(verdict(5), "");
}

TEST_F(LockTest, FailedDeleteLeavesFileAndVerdictWriteProtected) {
    plug('F');
    scan.chus();
    // The create goes through; the delete after it is the write that fails.
    class FailingDelete : public FileService {
    public:
        explicit FailingDelete(SimBench &bench) : m_bench(bench) {}
        bool fileExists(const std::string &path) override { return m_bench.fileExists(path); }
        bool createEmptyFile(const std::string &path) override { return m_bench.createEmptyFile(path); }
        bool deleteFile(const std::string &) override { return false; }
        std::optional<std::string> readFile(const std::string &path) override {
            return m_bench.readFile(path);
        }
        bool replaceFile(const std::string &path, const std::string &bytes) override {
            return m_bench.replaceFile(path, bytes);
        }

    private:
        SimBench &m_bench;
    } files(bench);
    runLockTest(files, table);
    EXPECT_EQ(verdict(0), "写保护");
    EXPECT_TRUE(probeLeft('F'));
}

} // namespace
} // namespace dravex
