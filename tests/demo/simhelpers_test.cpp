#include "demo/simhelpers.h"
#include "helpers/helpercontext.h"
#include "support/scratchfolder.h"

#include <gtest/gtest.h>

#include <sstream>

namespace dravex {
namespace {

using testing::readText;
using testing::writeText;

class SimHelpersTest : public ::testing::Test {
protected:
    SimHelpersTest() {
        SimDrive drive;
        drive.label = "OLD";
        drive.totalBytes = 1u << 20;
        bench.plug(drive);
        writeText(bench.folderOf('H') / "old.txt", "old");
    }

    int format(const std::string &text) { return runSimFormat(text, bench, out, err); }
    int xcopy(const std::string &text) { return runSimXcopy(text, bench, out, err); }
    // The stick as another program reads it from the bench folder: "label|file system".
    std::string stickH() {
        SimBench reader(scratch.path() / "bench");
        const SimDrive *drive = reader.drive('H');
        return drive ? drive->label + "|" + drive->fileSystem : "(absent)";
    }
    bool untouched() { return readText(bench.folderOf('H') / "old.txt") == "old" && stickH() == "OLD|FAT32"; }
    void resize(uint64_t bytes) {
        SimDrive drive = *bench.drive('H');
        drive.totalBytes = bytes;
        bench.plug(drive);
    }
    void lock(bool locked) { SimBench(scratch.path() / "bench").setLocked('H', locked); }
    // A customer folder with a blank in its name: a file, a hidden file, a nested file, an empty folder
    // and a link to a file.
    std::string customer() {
        const auto root = scratch.path() / "my customer";
        writeText(root / "readme.txt", "hello");
        writeText(root / ".hidden", "h");
        writeText(root / "docs" / "manual.txt", std::string(300, 'm'));
        std::filesystem::create_directories(root / "empty");
        std::filesystem::create_symlink(root / "docs" / "manual.txt", root / "latest.txt");
        return root.string();
    }

    testing::ScratchFolder scratch;
    SimBench bench{scratch.path() / "bench"};
    std::ostringstream out, err;
};

TEST_F(SimHelpersTest, FormatRefusesWhatTheLinuxHelperRefusesAndLeavesTheStickAsItWas) {
    // The parser and the label rules have their own tests; here, that their refusals reach the exit code.
    EXPECT_EQ(format("H:/FS:FAT32/V:TWELVE CHARS/q/y"), kExitBadCommandLine);
    EXPECT_EQ(format("H:/FS:NTFS/q/y"), kExitBadCommandLine);
    EXPECT_TRUE(untouched());
    err.str("");
    EXPECT_EQ(format("K:/FS:FAT32/V:X/q/y"), kExitRefused);
    EXPECT_EQ(err.str(), "错误：驱动器不存在：K:\n");

    // The label is asked before write access, as format.com asks it.
    lock(true);
    err.str("");
    EXPECT_EQ(format("H:/FS:FAT/V:A*B/q/y"), kExitBadCommandLine);
    EXPECT_EQ(err.str().rfind("错误：FAT 卷标不能含有", 0), 0u) << err.str();
    err.str("");
    EXPECT_EQ(format("H:/FS:FAT/V:NEW/q/y"), kExitRefused);
    EXPECT_EQ(err.str(), "错误：没有写入权限，或设备只读：H:\n");
    EXPECT_TRUE(untouched());
}

TEST_F(SimHelpersTest, FormatRefusesAFileSystemTheStickIsTooSmallOrTooLargeFor) {
    // 1 MiB: FAT (FAT12) fits; FAT32 and exFAT need more.
    EXPECT_EQ(format("H:/FS:FAT32/V:NEW/q/y"), kExitRefused);
    EXPECT_EQ(err.str(), "错误：磁盘太小，无法格式化为 FAT32：容量 1048576 字节，至少需要 34126848 字节\n");
    EXPECT_EQ(format("H:/FS:exFAT/V:NEW/q/y"), kExitRefused);
    EXPECT_TRUE(untouched());

    resize(16ull << 30);
    err.str("");
    EXPECT_EQ(format("H:/FS:FAT/V:NEW/q/y"), kExitRefused);
    EXPECT_EQ(err.str(), "错误：磁盘太大，无法格式化为 FAT16：容量 17179869184 字节，最多 4294639615 字节\n");
    EXPECT_TRUE(out.str().empty()) << out.str();
    EXPECT_TRUE(untouched());
    EXPECT_EQ(format("H:/FS:FAT32/V:NEW/q/y"), kExitDone) << err.str();
    EXPECT_EQ(stickH(), "NEW|FAT32");
    EXPECT_EQ(format("H:/FS:exFAT/q/y"), kExitDone) << err.str();
    EXPECT_EQ(stickH(), "|exFAT");
}

TEST_F(SimHelpersTest, FormatEmptiesTheStickAndKeepsTheLabelAsTheVolumeDoes) {
    resize(1ull << 30);
    // FAT upper-cases the ASCII letters only; the full-width "ａ" and the Greek "α" stay as they are.
    for (const char *fileSystem : {"FAT", "FAT32"}) {
        SCOPED_TRACE(fileSystem);
        writeText(bench.folderOf('H') / "old.txt", "old");
        EXPECT_EQ(format(std::string("h:/fs:") + fileSystem + "/V:lot 7/q/y"), kExitDone) << err.str();
        EXPECT_TRUE(std::filesystem::is_empty(bench.folderOf('H')));
        EXPECT_EQ(stickH(), std::string("LOT 7|") + fileSystem);
        EXPECT_EQ(format(std::string("H:/FS:") + fileSystem + "/V:数据u ａα/y"), kExitDone) << err.str();
        EXPECT_EQ(stickH(), std::string("数据U ａα|") + fileSystem);
    }
    EXPECT_EQ(format("H:/FS:exFAT/V:lot 7 数据u/q/y"), kExitDone) << err.str();
    EXPECT_EQ(stickH(), "lot 7 数据u|exFAT");
    EXPECT_EQ(format("H:/FS:FAT/y"), kExitDone) << err.str();
    EXPECT_EQ(stickH(), "|FAT");
}

TEST_F(SimHelpersTest, XcopyAddsTheWholeTreeFollowingLinksFromAFolderOrAnotherStick) {
    EXPECT_EQ(xcopy(customer() + "\\*.* H:\\./v/h/e/f/k"), kExitDone) << err.str();
    const auto stick = bench.folderOf('H');
    EXPECT_EQ(readText(stick / "readme.txt"), "hello");
    EXPECT_EQ(readText(stick / ".hidden"), "h");
    EXPECT_EQ(readText(stick / "docs" / "manual.txt"), std::string(300, 'm'));
    EXPECT_TRUE(std::filesystem::is_directory(stick / "empty"));
    EXPECT_FALSE(std::filesystem::is_symlink(stick / "latest.txt"));
    EXPECT_EQ(readText(stick / "latest.txt"), std::string(300, 'm'));
    EXPECT_EQ(readText(stick / "old.txt"), "old") << "xcopy adds, it does not empty";

    SimDrive other;
    other.letter = 'G';
    other.totalBytes = 1u << 20;
    bench.plug(other);
    writeText(bench.folderOf('G') / "master" / "file.txt", "from G");
    EXPECT_EQ(xcopy("G:\\master\\*.* H:\\./v/h/e/f/k"), kExitDone) << err.str();
    EXPECT_EQ(readText(stick / "file.txt"), "from G");
}

TEST_F(SimHelpersTest, XcopyFailsWhereTheLinuxHelperFailsWithItsMessages) {
    const std::string source = customer();
    const std::string stick = bench.folderOf('H').string();
    // A locked stick is mounted read-only: xcopy starts and every write fails.
    lock(true);
    EXPECT_EQ(xcopy(source + "\\*.* H:\\./v/h/e/f/k"), kExitFailed);
    EXPECT_EQ(err.str(), "错误：无法写入：" + stick + " (Read-only file system)\n错误：1 个错误\n");
    EXPECT_EQ(out.str(), "0 个文件已复制\n");
    EXPECT_FALSE(std::filesystem::exists(bench.folderOf('H') / "readme.txt"));
    lock(false);

    err.str("");
    writeText(std::filesystem::path(source) / "huge.bin", std::string((1u << 20) + 1, 'x'));
    EXPECT_EQ(xcopy(source + "\\*.* H:\\./v/h/e/f/k"), kExitFailed);
    EXPECT_EQ(err.str(), "错误：无法写入：" + stick + " (No space left on device)\n错误：1 个错误\n");

    // A folder of this machine that is not there fails in the copy (which adds nothing to the overfull
    // stick, so no write fails); one on a drive that is not there fails before it.
    err.str("");
    const std::string nowhere = (scratch.path() / "nowhere").string();
    EXPECT_EQ(xcopy(nowhere + "\\*.* H:\\./v/h/e/f/k"), kExitFailed);
    EXPECT_EQ(err.str(),
              "错误：无法列出文件夹：" + nowhere + " (No such file or directory)\n错误：1 个错误\n");
    err.str("");
    EXPECT_EQ(xcopy("D:\\Cust\\*.* H:\\./v/h/e/f/k"), kExitFailed);
    EXPECT_EQ(err.str(), "错误：找不到源文件夹：D:\\Cust\n");

    EXPECT_EQ(xcopy(source + "\\*.* H:\\./x"), kExitBadCommandLine);
    err.str("");
    EXPECT_EQ(xcopy(source + "\\*.* Q:\\./v"), kExitRefused);
    EXPECT_EQ(err.str(), "错误：驱动器不存在：Q:\n");
}

TEST_F(SimHelpersTest, RemoveDriveTakesTheStickOffTheBenchOnceWithOrWithoutAMedium) {
    EXPECT_EQ(runSimRemoveDrive("h:", bench, out, err), kExitDone) << err.str();
    EXPECT_EQ(stickH(), "(absent)");
    EXPECT_FALSE(std::filesystem::exists(bench.folderOf('H')));
    EXPECT_EQ(runSimRemoveDrive("H", bench, out, err), kExitRefused);
    EXPECT_EQ(err.str(), "错误：驱动器不存在：H:\n");
    EXPECT_EQ(runSimRemoveDrive("H:\\", bench, out, err), kExitBadCommandLine);

    // A dead stick reads as having no medium: format refuses it, RemoveDrive still takes it off.
    SimDrive dead;
    dead.letter = 'G';
    dead.mediumPresent = false;
    bench.plug(dead);
    err.str("");
    EXPECT_EQ(format("G:/FS:FAT/q/y"), kExitRefused);
    EXPECT_EQ(err.str(), "错误：驱动器中没有介质：G:\n");
    EXPECT_EQ(runSimRemoveDrive("G", bench, out, err), kExitDone) << err.str();
    EXPECT_EQ(SimBench(scratch.path() / "bench").drive('G'), nullptr);
}

TEST_F(SimHelpersTest, CaptestLeavesAReportTheToolsBenchReadsAtItsNextRefresh) {
    SimBench tool(scratch.path() / "bench");
    const auto reportOf = [&tool](const char *letter) {
        tool.refreshDriveList();
        return tool.capacityReports().reportFor(letter);
    };
    ASSERT_EQ(runSimCaptest("H:", bench, out, err), kExitDone) << err.str();
    EXPECT_EQ(out.str(), "容量测试完成：H:\n");
    auto report = reportOf("H");
    ASSERT_TRUE(report);
    EXPECT_EQ(report->outcome, CapacityReport::Outcome::Genuine);
    EXPECT_EQ(report->realBytes, 1u << 20);
    EXPECT_GT(report->writeMBps, 0);
    EXPECT_GT(report->readMBps, 0);

    SimDrive fake = *bench.drive('H');
    fake.letter = 'K';
    fake.totalBytes = 16ull << 30;
    fake.realBytes = 8ull << 30;
    bench.plug(fake);
    ASSERT_EQ(runSimCaptest("k", bench, out, err), kExitDone) << err.str();
    report = reportOf("K");
    ASSERT_TRUE(report);
    EXPECT_EQ(report->outcome, CapacityReport::Outcome::Counterfeit);
    EXPECT_EQ(report->claimedBytes, 16ull << 30);
    EXPECT_EQ(report->realBytes, 8ull << 30);

    lock(true);
    ASSERT_EQ(runSimCaptest("H:", bench, out, err), kExitDone) << err.str();
    EXPECT_EQ(reportOf("H")->outcome, CapacityReport::Outcome::WriteProtected);
}

TEST_F(SimHelpersTest, CaptestRefusesWhatItCannotCheck) {
    EXPECT_EQ(runSimCaptest("H:\\", bench, out, err), kExitBadCommandLine);
    EXPECT_EQ(err.str(), "错误：驱动器号无效，应为 X 或 X: 的形式：H:\\\n");
    err.str("");
    EXPECT_EQ(runSimCaptest("Q:", bench, out, err), kExitRefused);
    EXPECT_EQ(err.str(), "错误：驱动器不存在：Q:\n");
    SimDrive dead;
    dead.letter = 'G';
    dead.mediumPresent = false;
    bench.plug(dead);
    EXPECT_EQ(runSimCaptest("G:", bench, out, err), kExitRefused);
    EXPECT_FALSE(SimBench(scratch.path() / "bench").capacityReports().reportFor("G"));
    EXPECT_EQ(out.str(), "");
}

} // namespace
} // namespace dravex
