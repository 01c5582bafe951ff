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

    SimDrive& plug(char letter)
    {
        SimDrive stick;
        stick.letter = letter;
        stick.totalBytes = 1ull << 30;
        return bench.plug(stick);
    }
    std::string verdict(int row) const { return table.slots.at(static_cast<size_t>(row)).checkResult; }
};

TEST_F(LockTest, LockedAndUnlockedSticks)
{
    plug('F');
    plug('G').locked = true;
    scan.chus();
    runLockTest(bench, table);
    EXPECT_EQ(verdict(0), "可读写");
    EXPECT_EQ(verdict(1), "写保护");
    EXPECT_FALSE(std::filesystem::exists(bench.folderOf('F') / "tavrin.bin"));
}

TEST_F(LockTest, ExistingProbeFileIsOverwrittenThenDeleted)
{
    plug('F');
    std::ofstream(bench.folderOf('F') / "tavrin.bin") << "left over";
    scan.chus();
    runLockTest(bench, table);
    EXPECT_EQ(verdict(0), "可读写");
    EXPECT_FALSE(std::filesystem::exists(bench.folderOf('F') / "tavrin.bin"));
}

TEST_F(LockTest, StickPulledAfterTheScanIsWriteProtected)
{
    plug('F');
    scan.chus();
    bench.unplug('F');
    runLockTest(bench, table);
    EXPECT_EQ(verdict(0), "写保护");
}

TEST_F(LockTest, FailedDeleteLeavesFileAndVerdictWriteProtected)
{
    plug('F');
    scan.chus();
    // The create goes through; the delete after it is the write that fails.
    class FailingDelete : public FileService {
    public:
        explicit FailingDelete(SimBench& bench) : m_bench(bench) {}
        bool fileExists(const std::string& path) override { return m_bench.fileExists(path); }
        bool createEmptyFile(const std::string& path) override { return m_bench.createEmptyFile(path); }
        bool deleteFile(const std::string&) override { return false; }
        std::optional<std::string> readFile(const std::string& path) override { return m_bench.readFile(path); }
        bool replaceFile(const std::string& path, const std::string& bytes) override
        {
            return m_bench.replaceFile(path, bytes);
        }

    private:
        SimBench& m_bench;
    } files(bench);
    runLockTest(files, table);
    EXPECT_EQ(verdict(0), "写保护");
    EXPECT_TRUE(std::filesystem::exists(bench.folderOf('F') / "tavrin.bin"));
}

TEST_F(LockTest, SkipsEmptyAndUnreadableRowsAndReplacesVerdicts)
{
    plug('F');
    plug('G').mediumPresent = false;
    scan.chus();
    table.slots[0].checkResult = "NG";
    runLockTest(bench, table);
    EXPECT_EQ(verdict(0), "可读写");
    // G's failure row has a letter but no capacity: not probed.
    EXPECT_EQ(table.slots[1].letter, "G");
    EXPECT_EQ(verdict(1), "");
    EXPECT_EQ(verdict(2), "");
}

TEST_F(LockTest, NoListedRowChangesNothing)
{
    runLockTest(bench, table);
    for (const DriveSlot& slot : table.slots)
        EXPECT_EQ(slot.checkResult, "");
}

} // namespace
} // namespace dravex
