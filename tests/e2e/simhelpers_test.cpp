#include "demo/simhelpers.h"
#include "helpers/helpercontext.h"
#include "tests/e2e/scratchfolder.h"

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
        drive.letter = 'H';
        drive.label = "OLD";
        drive.totalBytes = 1u << 20;
        bench.plug(drive);
        writeText(bench.folderOf('H') / "old.txt", "old");
    }

    int format(const std::string &text) { return runSimFormat(text, bench, out, err); }
    int xcopy(const std::string &text) { return runSimXcopy(text, bench, out, err); }
    int removeDrive(const std::string &text) { return runSimRemoveDrive(text, bench, out, err); }
    std::string label(char letter) {
        SimBench reader(scratch.path() / "bench");
        const SimDrive *drive = reader.drive(letter);
        return drive ? drive->label : "(absent)";
    }
    // A customer folder with a blank in its name: a file, a hidden file, a nested file, an empty folder
    // and a link to a file.
    std::filesystem::path customer() {
        const auto root = scratch.path() / "my customer";
        writeText(root / "readme.txt", "hello");
        writeText(root / ".hidden", "h");
        writeText(root / "docs" / "manual.txt", std::string(300, 'm'));
        std::filesystem::create_directories(root / "empty");
        std::filesystem::create_symlink(root / "docs" / "manual.txt", root / "latest.txt");
        return root;
    }

    testing::ScratchFolder scratch;
    SimBench bench{scratch.path() / "bench"};
    std::ostringstream out, err;
};

TEST_F(SimHelpersTest, FormatEmptiesTheStickAndTakesALabelWithABlank) {
    EXPECT_EQ(format("h:/fs:exfat/V:LOT 7/q/y"), kExitDone) << err.str();
    EXPECT_TRUE(std::filesystem::is_empty(bench.folderOf('H')));
    EXPECT_EQ(label('H'), "LOT 7");
    SimBench reader(scratch.path() / "bench");
    EXPECT_EQ(reader.drive('H')->fileSystem, "exFAT");

    EXPECT_EQ(format("H:/FS:FAT/y"), kExitDone) << err.str();
    EXPECT_EQ(label('H'), "");
    SimBench again(scratch.path() / "bench");
    EXPECT_EQ(again.drive('H')->fileSystem, "FAT");
}

TEST_F(SimHelpersTest, FormatRefusesALockedStickAndLeavesItAsItWas) {
    SimBench(scratch.path() / "bench").setLocked('H', true);
    EXPECT_EQ(format("H:/FS:FAT32/V:NEW/q/y"), kExitRefused);
    EXPECT_EQ(err.str(), "错误：磁盘被写保护：H:\n");
    EXPECT_EQ(readText(bench.folderOf('H') / "old.txt"), "old");
    EXPECT_EQ(label('H'), "OLD");
}

TEST_F(SimHelpersTest, FormatRejectsWhatTheLinuxHelperRejects) {
    EXPECT_EQ(format("H:/FS:FAT32/V:TWELVE CHARS/q/y"), kExitBadCommandLine);
    EXPECT_EQ(format("H:/FS:NTFS/V:X/q/y"), kExitBadCommandLine);
    EXPECT_EQ(format("H:/FS:FAT32/V:X/q"), kExitBadCommandLine);
    EXPECT_EQ(format(""), kExitBadCommandLine);
    EXPECT_EQ(readText(bench.folderOf('H') / "old.txt"), "old");
    EXPECT_EQ(label('H'), "OLD");
    EXPECT_EQ(format("K:/FS:FAT32/V:X/q/y"), kExitRefused);
    EXPECT_NE(err.str().find("K:"), std::string::npos);
}

TEST_F(SimHelpersTest, XcopyCopiesTheWholeTreeFollowingLinks) {
    const auto source = customer();
    EXPECT_EQ(xcopy(source.string() + "\\*.* H:\\./v/h/e/f/k"), kExitDone) << err.str();
    const auto stick = bench.folderOf('H');
    EXPECT_EQ(readText(stick / "readme.txt"), "hello");
    EXPECT_EQ(readText(stick / ".hidden"), "h");
    EXPECT_EQ(readText(stick / "docs" / "manual.txt"), std::string(300, 'm'));
    EXPECT_TRUE(std::filesystem::is_directory(stick / "empty"));
    EXPECT_FALSE(std::filesystem::is_symlink(stick / "latest.txt"));
    EXPECT_EQ(readText(stick / "latest.txt"), std::string(300, 'm'));
    EXPECT_EQ(readText(stick / "old.txt"), "old") << "xcopy adds, it does not empty";
}

TEST_F(SimHelpersTest, XcopyTakesItsSourceFromAnotherStick) {
    SimDrive other;
    other.letter = 'G';
    other.totalBytes = 1u << 20;
    bench.plug(other);
    writeText(bench.folderOf('G') / "master" / "file.txt", "from G");
    EXPECT_EQ(xcopy("G:\\master\\*.* H:\\./v/h/e/f/k"), kExitDone) << err.str();
    EXPECT_EQ(readText(bench.folderOf('H') / "file.txt"), "from G");
}

TEST_F(SimHelpersTest, XcopyRefusesALockedStickAndFailsOnWhatDoesNotFit) {
    const auto source = customer();
    SimBench(scratch.path() / "bench").setLocked('H', true);
    EXPECT_EQ(xcopy(source.string() + "\\*.* H:\\./v/h/e/f/k"), kExitRefused);
    EXPECT_FALSE(std::filesystem::exists(bench.folderOf('H') / "readme.txt"));
    SimBench(scratch.path() / "bench").setLocked('H', false);

    writeText(source / "huge.bin", std::string((1u << 20) + 1, 'x'));
    EXPECT_EQ(xcopy(source.string() + "\\*.* H:\\./v/h/e/f/k"), kExitFailed);
    EXPECT_NE(err.str().find("磁盘空间不足：H:"), std::string::npos) << err.str();
}

TEST_F(SimHelpersTest, XcopyFailsOnAMissingSourceOrAMalformedLine) {
    EXPECT_EQ(xcopy((scratch.path() / "nowhere").string() + "\\*.* H:\\./v/h/e/f/k"), kExitFailed);
    EXPECT_EQ(xcopy("H:\\./v/h/e/f/k"), kExitBadCommandLine);
    EXPECT_EQ(xcopy((scratch.path()).string() + "\\*.* H:\\./x"), kExitBadCommandLine);
    EXPECT_EQ(xcopy((scratch.path()).string() + "\\*.* Q:\\./v"), kExitRefused);
}

TEST_F(SimHelpersTest, RemoveDriveTakesTheStickOffTheBenchOnce) {
    EXPECT_EQ(removeDrive("h:"), kExitDone) << err.str();
    EXPECT_EQ(label('H'), "(absent)");
    EXPECT_FALSE(std::filesystem::exists(bench.folderOf('H')));
    EXPECT_EQ(removeDrive("H"), kExitRefused);
    EXPECT_EQ(removeDrive("H:\\"), kExitBadCommandLine);
    EXPECT_EQ(removeDrive(""), kExitBadCommandLine);
}

} // namespace
} // namespace dravex
