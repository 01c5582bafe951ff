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
    // The parser has its own tests; here, that its refusal reaches the exit code.
    EXPECT_EQ(format("H:/FS:FAT32/V:TWELVE CHARS/q/y"), kExitBadCommandLine);
    EXPECT_TRUE(untouched());
    EXPECT_EQ(format("K:/FS:FAT32/V:X/q/y"), kExitRefused);
    EXPECT_NE(err.str().find("K:"), std::string::npos);

    lock(true);
    err.str("");
    EXPECT_EQ(format("H:/FS:FAT32/V:NEW/q/y"), kExitRefused);
    EXPECT_EQ(err.str(), "错误：磁盘被写保护：H:\n");
    EXPECT_TRUE(untouched());
}

TEST_F(SimHelpersTest, FormatEmptiesTheStickAndTakesALabelWithABlankOrNone) {
    EXPECT_EQ(format("h:/fs:exfat/V:LOT 7/q/y"), kExitDone) << err.str();
    EXPECT_TRUE(std::filesystem::is_empty(bench.folderOf('H')));
    EXPECT_EQ(stickH(), "LOT 7|exFAT");
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

TEST_F(SimHelpersTest, XcopyRefusesALockedStickAndFailsOnWhatDoesNotFitOrDoesNotParse) {
    const std::string source = customer();
    lock(true);
    EXPECT_EQ(xcopy(source + "\\*.* H:\\./v/h/e/f/k"), kExitRefused);
    EXPECT_FALSE(std::filesystem::exists(bench.folderOf('H') / "readme.txt"));
    lock(false);

    writeText(std::filesystem::path(source) / "huge.bin", std::string((1u << 20) + 1, 'x'));
    EXPECT_EQ(xcopy(source + "\\*.* H:\\./v/h/e/f/k"), kExitFailed);
    EXPECT_NE(err.str().find("磁盘空间不足：H:"), std::string::npos) << err.str();

    const std::string scratchPath = scratch.path().string();
    EXPECT_EQ(xcopy(scratchPath + "/nowhere\\*.* H:\\./v/h/e/f/k"), kExitFailed);
    EXPECT_EQ(xcopy(scratchPath + "\\*.* H:\\./x"), kExitBadCommandLine);
    EXPECT_EQ(xcopy(scratchPath + "\\*.* Q:\\./v"), kExitRefused);
}

TEST_F(SimHelpersTest, RemoveDriveTakesTheStickOffTheBenchOnce) {
    EXPECT_EQ(runSimRemoveDrive("h:", bench, out, err), kExitDone) << err.str();
    EXPECT_EQ(stickH(), "(absent)");
    EXPECT_FALSE(std::filesystem::exists(bench.folderOf('H')));
    EXPECT_EQ(runSimRemoveDrive("H", bench, out, err), kExitRefused);
    EXPECT_EQ(runSimRemoveDrive("H:\\", bench, out, err), kExitBadCommandLine);
}

} // namespace
} // namespace dravex
