#include "platform/sim/simbench.h"
#include "support/scratchfolder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace dravex {
namespace {

using testing::readText;
using testing::writeText;

SimDrive stick(char letter, const std::string &label, uint64_t capacity = 1u << 30) {
    SimDrive drive;
    drive.letter = letter;
    drive.label = label;
    drive.totalBytes = capacity;
    return drive;
}

uint64_t freeBytes(SimBench &bench, const char *root, uint64_t *total = nullptr) {
    ByteCount available, all, free;
    EXPECT_TRUE(bench.GetDiskFreeSpaceExA(root, available, all, free)) << root;
    EXPECT_EQ(available.low, free.low);
    if (total)
        *total = (static_cast<uint64_t>(all.high) << 32) | all.low;
    return (static_cast<uint64_t>(free.high) << 32) | free.low;
}

class SimBenchFolderTest : public ::testing::Test {
protected:
    testing::ScratchFolder scratch;
    std::filesystem::path folder = scratch.path() / "bench";
};

TEST_F(SimBenchFolderTest, AnotherBenchOnTheFolderSeesChangesAtItsNextRefreshKeepingHeldDrives) {
    SimBench demo(folder);
    SimDrive &held = demo.plug(stick('F', "HELD"));
    SimBench tool(folder);
    SimDrive drive = stick('H', "UDISK", 16ull << 30);
    drive.serial = "60A44C3F";
    drive.vendorId = "0951";
    drive.productId = "1666";
    tool.plug(drive);
    tool.SetVolumeLabelA("F:\\", "CHANGED");
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / "sticks" / "H.stick"));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "sticks" / "H"));
    EXPECT_EQ(demo.GetDriveTypeA("H:\\"), kDriveNoRootDir) << "seen before the refresh";

    demo.refreshDriveList();
    EXPECT_EQ(demo.GetDriveTypeA("H:\\"), kDriveRemovable);
    VolumeInformation info;
    ASSERT_TRUE(demo.GetVolumeInformationA("H:\\", info));
    EXPECT_EQ(info.volumeName, "UDISK");
    EXPECT_EQ(info.fileSystemName, "FAT32");
    EXPECT_EQ(demo.RegRead("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\USBSTOR\\Enum\\0"),
              std::optional<std::string>("USB\\VID_0951&PID_1666\\60A44C3F"));
    EXPECT_EQ(demo.drive('F'), &held);
    EXPECT_EQ(held.label, "CHANGED");

    tool.unplug('H');
    EXPECT_FALSE(std::filesystem::exists(folder / "sticks" / "H.stick"));
    EXPECT_FALSE(std::filesystem::exists(folder / "sticks" / "H"));
    demo.refreshDriveList();
    EXPECT_EQ(demo.GetDriveTypeA("H:\\"), kDriveNoRootDir);
}

TEST_F(SimBenchFolderTest, FreeSpaceIsTheCapacityLessTheFilesOnTheStick) {
    SimBench bench(folder);
    bench.plug(stick('G', "DATA", 1u << 20));
    writeText(bench.folderOf('G') / "a.bin", std::string(1000, 'a'));
    writeText(bench.folderOf('G') / "deep" / "er" / "b.bin", std::string(24, 'b'));
    std::filesystem::create_directories(bench.folderOf('G') / "empty");
    uint64_t total = 0;
    EXPECT_EQ(freeBytes(bench, "G:\\", &total), (1u << 20) - 1024);
    EXPECT_EQ(total, 1u << 20);
    // More on the stick than it holds shows as full, never as a huge free count.
    writeText(bench.folderOf('G') / "big.bin", std::string(2u << 20, 'c'));
    EXPECT_EQ(freeBytes(bench, "G:\\"), 0u);
}

TEST_F(SimBenchFolderTest, MalformedDescriptorsAreLeftOutAndNamed) {
    SimBench bench(folder);
    bench.plug(stick('H', "GOOD"));
    writeText(folder / "sticks" / "M.stick", "letter=M\ncapacity=lots\n");
    writeText(folder / "sticks" / "J.stick", "letter=K\ncapacity=100\n");
    writeText(folder / "sticks" / "notes.txt", "not a stick");
    std::filesystem::create_directories(folder / "sticks" / "P");
    bench.refreshDriveList();
    EXPECT_EQ(bench.GetDriveTypeA("H:\\"), kDriveRemovable);
    for (const char *root : {"M:\\", "J:\\", "K:\\", "P:\\"})
        EXPECT_EQ(bench.GetDriveTypeA(root), kDriveNoRootDir) << root;
    std::vector<std::string> problems = bench.descriptorProblems();
    std::sort(problems.begin(), problems.end());
    EXPECT_EQ(problems, (std::vector<std::string>{"J.stick: its letter is not J",
                                                  "M.stick: line 2: bad value for \"capacity\""}));
}

TEST_F(SimBenchFolderTest, FormatAndLabelReachEveryReaderAndALockFromElsewhereStopsWrites) {
    SimBench tool(folder);
    tool.plug(stick('H', "OLD"));
    writeText(tool.folderOf('H') / "docs" / "a.txt", "abc");
    writeText(tool.folderOf('H') / ".hidden", "x");
    SimBench demo(folder);
    ASSERT_TRUE(demo.format('H', "exFAT", "LOT 7"));
    EXPECT_TRUE(std::filesystem::is_directory(tool.folderOf('H')));
    EXPECT_TRUE(std::filesystem::is_empty(tool.folderOf('H')));
    VolumeInformation info;
    ASSERT_TRUE(SimBench(folder).GetVolumeInformationA("H:\\", info));
    EXPECT_EQ(info.volumeName, "LOT 7");
    EXPECT_EQ(info.fileSystemName, "exFAT");
    EXPECT_FALSE(demo.format('Q', "FAT32", "X"));

    // The lock is seen at the next write, without a refresh.
    EXPECT_TRUE(demo.createEmptyFile("H:\\probe.bin"));
    ASSERT_TRUE(tool.setLocked('H', true));
    EXPECT_FALSE(demo.createEmptyFile("H:\\probe2.bin"));
    EXPECT_FALSE(demo.deleteFile("H:\\probe.bin"));
    EXPECT_FALSE(demo.SetVolumeLabelA("H:\\", "NEW"));
    EXPECT_FALSE(demo.format('H', "FAT32", "NEW"));
    EXPECT_TRUE(std::filesystem::exists(tool.folderOf('H') / "probe.bin"));
    ASSERT_TRUE(tool.setLocked('H', false));
    EXPECT_TRUE(demo.deleteFile("H:\\probe.bin"));
    EXPECT_FALSE(tool.setLocked('Q', true)) << "no stick at Q";
}

TEST_F(SimBenchFolderTest, ACapacityReportReachesOtherReadersAtTheirRefreshAndLeavesWithTheStick) {
    SimBench tool(folder);
    tool.plug(stick('H', "CHECKED"));
    tool.plug(stick('K', "OTHER"));
    int told = 0;
    tool.capacityReports().setListener([&told] { ++told; });
    SimBench helper(folder);
    const CapacityReport report{CapacityReport::Outcome::Counterfeit, 1u << 30, 1u << 28, 9.5, 21};
    ASSERT_TRUE(helper.setCapacityReport('H', report));
    EXPECT_FALSE(helper.setCapacityReport('Q', report)) << "no stick at Q";
    // Another program's bench changes the descriptor only: this one hears of it as a device change.
    EXPECT_EQ(told, 0);
    EXPECT_EQ(tool.capacityReports().reportFor("H"), std::nullopt) << "seen before the refresh";
    tool.refreshDriveList();
    const auto found = tool.capacityReports().reportFor("H");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->realBytes, 1u << 28);
    EXPECT_EQ(found->writeMBps, 9.5);
    EXPECT_EQ(tool.capacityReports().reportFor("K"), std::nullopt);
    EXPECT_EQ(tool.capacityReports().reportFor("HK"), std::nullopt);

    // Its own posts it tells; the lock switch keeps the report.
    ASSERT_TRUE(tool.setCapacityReport('K', report));
    ASSERT_TRUE(tool.setLocked('H', true));
    EXPECT_EQ(told, 1);
    ASSERT_TRUE(tool.setCapacityReport('K', std::nullopt));
    EXPECT_EQ(told, 2);
    EXPECT_EQ(tool.capacityReports().reportFor("K"), std::nullopt);
    EXPECT_TRUE(SimBench(folder).capacityReports().reportFor("H"));

    helper.unplug('H');
    tool.refreshDriveList();
    EXPECT_EQ(tool.capacityReports().reportFor("H"), std::nullopt);
    tool.plug(stick('H', "NEW"));
    EXPECT_EQ(tool.capacityReports().reportFor("H"), std::nullopt) << "a new stick has no report";
}

TEST_F(SimBenchFolderTest, NativePathLeadsDrivePathsIntoSticksAndKeepsOtherPaths) {
    SimBench bench(folder);
    bench.plug(stick('H', "X"));
    EXPECT_EQ(bench.nativePath("H:\\DOCS\\a.txt"), bench.folderOf('H') / "DOCS/a.txt");
    EXPECT_EQ(bench.nativePath("/opt/dravex\\RemoveDrive.exe"),
              std::optional<std::filesystem::path>("/opt/dravex/RemoveDrive.exe"));
    EXPECT_EQ(bench.nativePath("K:\\a.txt"), std::nullopt);
}

TEST_F(SimBenchFolderTest, ABenchFolderThatIsAFileIsAProblemNotACrash) {
    writeText(folder, "a file");
    SimBench bench(folder);
    EXPECT_NE(bench.folderProblem(), "");
    bench.refreshDriveList();
    EXPECT_EQ(bench.GetDriveTypeA("H:\\"), kDriveNoRootDir);
    EXPECT_EQ(readText(folder), "a file");
}

TEST_F(SimBenchFolderTest, TheTemporaryBenchWritesNoDescriptorsAndLeavesNothingBehind) {
    std::filesystem::path sticks;
    {
        SimBench bench;
        SimDrive drive = stick('H', "MEM");
        drive.totalFreeBytes = drive.freeBytesAvailableToCaller = 12345;
        bench.plug(drive);
        writeText(bench.folderOf('H') / "a.bin", std::string(1000, 'a'));
        sticks = bench.sticksFolder();
        EXPECT_FALSE(bench.inFolderMode());
        EXPECT_FALSE(std::filesystem::exists(sticks / "H.stick"));
        EXPECT_EQ(freeBytes(bench, "H:\\"), 12345u) << "the declared figures, not the files";
        ASSERT_TRUE(bench.setLocked('H', true));
        EXPECT_FALSE(bench.createEmptyFile("H:\\x"));
    }
    EXPECT_FALSE(std::filesystem::exists(sticks));
}

} // namespace
} // namespace dravex
