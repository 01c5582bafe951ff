#include "platform/sim/simbench.h"
#include "tests/e2e/scratchfolder.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace dravex {
namespace {

using testing::readText;
using testing::writeText;

SimDrive stick(char letter, const std::string &label, uint64_t capacity) {
    SimDrive drive;
    drive.letter = letter;
    drive.label = label;
    drive.totalBytes = capacity;
    return drive;
}

uint64_t whole(const ByteCount &count) {
    return (static_cast<uint64_t>(count.high) << 32) | count.low;
}

class SimBenchFolderTest : public ::testing::Test {
protected:
    testing::ScratchFolder scratch;
    std::filesystem::path folder = scratch.path() / "bench";
};

TEST_F(SimBenchFolderTest, SticksPluggedByOneBenchReachAnotherAtItsNextRefresh) {
    SimBench tool(folder);
    SimBench demo(folder);
    EXPECT_EQ(demo.GetDriveTypeA("H:\\"), kDriveNoRootDir);

    SimDrive drive = stick('H', "UDISK", 16ull << 30);
    drive.vendor = "Kingston";
    drive.serial = "60A44C3F";
    drive.vendorId = "0951";
    drive.productId = "1666";
    tool.plug(drive);
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

    ByteCount available, total, free;
    ASSERT_TRUE(bench.GetDiskFreeSpaceExA("G:\\", available, total, free));
    EXPECT_EQ(whole(total), 1u << 20);
    EXPECT_EQ(whole(free), (1u << 20) - 1024);
    EXPECT_EQ(whole(available), (1u << 20) - 1024);

    // More on the stick than it holds shows as full, never as a huge free count.
    writeText(bench.folderOf('G') / "big.bin", std::string(2u << 20, 'c'));
    ASSERT_TRUE(bench.GetDiskFreeSpaceExA("G:\\", available, total, free));
    EXPECT_EQ(whole(free), 0u);
}

TEST_F(SimBenchFolderTest, MalformedDescriptorsAreLeftOutAndNamed) {
    SimBench bench(folder);
    bench.plug(stick('H', "GOOD", 1u << 30));
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

TEST_F(SimBenchFolderTest, ALockSetByAnotherProgramStopsTheNextWriteWithoutARefresh) {
    SimBench tool(folder);
    tool.plug(stick('K', "LOCKME", 1u << 30));
    SimBench demo(folder);
    EXPECT_TRUE(demo.createEmptyFile("K:\\probe.bin"));

    ASSERT_TRUE(tool.setLocked('K', true));
    EXPECT_FALSE(demo.createEmptyFile("K:\\probe2.bin"));
    EXPECT_FALSE(demo.deleteFile("K:\\probe.bin"));
    EXPECT_FALSE(demo.SetVolumeLabelA("K:\\", "NEW"));
    EXPECT_FALSE(demo.format('K', "FAT32", "NEW"));
    EXPECT_TRUE(std::filesystem::exists(tool.folderOf('K') / "probe.bin"));

    ASSERT_TRUE(tool.setLocked('K', false));
    EXPECT_TRUE(demo.deleteFile("K:\\probe.bin"));
    EXPECT_FALSE(tool.setLocked('Q', true)) << "no stick at Q";
}

TEST_F(SimBenchFolderTest, FormatEmptiesTheStickAndRelabelsItForEveryReader) {
    SimBench bench(folder);
    bench.plug(stick('H', "OLD", 1u << 30));
    writeText(bench.folderOf('H') / "docs" / "a.txt", "abc");
    writeText(bench.folderOf('H') / ".hidden", "x");

    ASSERT_TRUE(bench.format('H', "exFAT", "LOT 7"));
    EXPECT_TRUE(std::filesystem::is_directory(bench.folderOf('H')));
    EXPECT_TRUE(std::filesystem::is_empty(bench.folderOf('H')));

    SimBench reader(folder);
    VolumeInformation info;
    ASSERT_TRUE(reader.GetVolumeInformationA("H:\\", info));
    EXPECT_EQ(info.volumeName, "LOT 7");
    EXPECT_EQ(info.fileSystemName, "exFAT");

    ASSERT_TRUE(reader.SetVolumeLabelA("H:\\", "RELABEL"));
    bench.refreshDriveList();
    ASSERT_TRUE(bench.GetVolumeInformationA("H:\\", info));
    EXPECT_EQ(info.volumeName, "RELABEL");
    EXPECT_FALSE(bench.format('Q', "FAT32", "X"));
}

TEST_F(SimBenchFolderTest, DrivesHeldByACallerSurviveRefreshesWhileTheirStickStays) {
    SimBench bench(folder);
    SimDrive &held = bench.plug(stick('H', "HELD", 1u << 30));
    SimBench other(folder);
    other.plug(stick('F', "FIRST", 1u << 30));
    other.SetVolumeLabelA("H:\\", "CHANGED");
    bench.refreshDriveList();
    EXPECT_EQ(bench.drive('H'), &held);
    EXPECT_EQ(held.label, "CHANGED");
    EXPECT_NE(bench.drive('F'), nullptr);
}

TEST_F(SimBenchFolderTest, NativePathLeadsDrivePathsIntoSticksAndKeepsOtherPaths) {
    SimBench bench(folder);
    bench.plug(stick('H', "X", 1u << 30));
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
        SimDrive drive = stick('H', "MEM", 1u << 30);
        drive.totalFreeBytes = 12345;
        bench.plug(drive);
        writeText(bench.folderOf('H') / "a.bin", std::string(1000, 'a'));
        sticks = bench.sticksFolder();
        EXPECT_FALSE(bench.inFolderMode());
        EXPECT_FALSE(std::filesystem::exists(sticks / "H.stick"));
        // The declared figures, not the files.
        ByteCount available, total, free;
        ASSERT_TRUE(bench.GetDiskFreeSpaceExA("H:\\", available, total, free));
        EXPECT_EQ(whole(free), 12345u);
        ASSERT_TRUE(bench.setLocked('H', true));
        EXPECT_FALSE(bench.createEmptyFile("H:\\x"));
    }
    EXPECT_FALSE(std::filesystem::exists(sticks));
}

} // namespace
} // namespace dravex
