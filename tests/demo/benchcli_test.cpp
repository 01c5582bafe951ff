#include "demo/benchcli.h"
#include "platform/sim/simbench.h"
#include "support/scratchfolder.h"

#include <gtest/gtest.h>

#include <sstream>

namespace dravex {
namespace {

class BenchCliTest : public ::testing::Test {
protected:
    int run(std::vector<std::string> arguments) {
        out.str("");
        err.str("");
        return runBenchCli(arguments, defaultFolder, out, err);
    }
    std::string folder() const { return (scratch.path() / "bench").string(); }

    testing::ScratchFolder scratch;
    std::string defaultFolder;
    std::ostringstream out, err;
};

TEST_F(BenchCliTest, PlugListLockUnlockUnplug) {
    ASSERT_EQ(run({folder(), "plug",     "k:",       "--label", "UDISK",     "--size",   "16G",
                   "--fs",   "exfat",    "--vendor", "SMI",     "--product", "USB DISK", "--revision",
                   "1100",   "--serial", "AA0001",   "--vid",   "090c",      "--pid",    "1000"}),
              kBenchDone)
        << err.str();
    SimBench bench{std::filesystem::path(folder())};
    const SimDrive *drive = bench.drive('K');
    ASSERT_NE(drive, nullptr);
    EXPECT_EQ(drive->label, "UDISK");
    EXPECT_EQ(drive->totalBytes, 16ull << 30);
    EXPECT_EQ(drive->fileSystem, "exFAT");
    EXPECT_EQ(drive->product, "USB DISK");
    EXPECT_EQ(drive->vendorId, "090C");
    EXPECT_EQ(drive->productId, "1000");
    EXPECT_FALSE(drive->locked);

    testing::writeText(bench.folderOf('K') / "a.bin", std::string(100, 'a'));
    ASSERT_EQ(run({folder(), "lock", "K"}), kBenchDone);
    ASSERT_EQ(run({folder(), "list"}), kBenchDone);
    EXPECT_EQ(out.str(),
              "K:  \"UDISK\"  exFAT  16G, 100 bytes used  locked  SMI USB DISK 1100  serial AA0001  "
              "090C:1000\n");
    ASSERT_EQ(run({folder(), "unlock", "K"}), kBenchDone);
    bench.refreshDriveList();
    EXPECT_FALSE(bench.drive('K')->locked);

    EXPECT_EQ(run({folder(), "plug", "K", "--size", "1G"}), kBenchFailed) << "the letter is taken";
    ASSERT_EQ(run({folder(), "unplug", "K"}), kBenchDone);
    EXPECT_EQ(run({folder(), "unplug", "K"}), kBenchFailed);
    EXPECT_EQ(err.str(), "dravex-bench: no stick at K:\n");
    ASSERT_EQ(run({folder(), "list"}), kBenchDone);
    EXPECT_EQ(out.str(), "no sticks\n");
}

TEST_F(BenchCliTest, PlugsLockedAndEmptySlotsAndListsLeftOutDescriptors) {
    ASSERT_EQ(run({folder(), "plug", "F", "--size", "512M", "--locked", "--real", "256M"}), kBenchDone)
        << err.str();
    ASSERT_EQ(run({folder(), "plug", "G", "--size", "1000", "--no-medium"}), kBenchDone) << err.str();
    SimBench bench{std::filesystem::path(folder())};
    EXPECT_EQ(bench.drive('F')->realBytes, std::optional<uint64_t>(256ull << 20));
    EXPECT_EQ(bench.drive('G')->realBytes, std::nullopt);
    testing::writeText(scratch.path() / "bench" / "sticks" / "Z.stick", "letter=Z\n");
    ASSERT_EQ(run({folder(), "list"}), kBenchDone);
    EXPECT_EQ(out.str(), "F:  \"\"  FAT32  512M, 0 bytes used  locked\n"
                         "G:  \"\"  FAT32  1000 bytes, 0 bytes used  no medium\n"
                         "left out: Z.stick: no capacity\n");
}

TEST_F(BenchCliTest, BadArgumentsGiveTheUsageAndExitTwoWithoutTouchingTheFolder) {
    // Cases apart by ',', arguments by '|'; "@" stands for the bench folder, "+" for a valid plug of H.
    std::istringstream table(
        "@,@|eject|H,list,--size|list,@|list|H,@|lock,@|lock|H|K,@|lock|E,@|lock|HH,@|lock|7,"
        "@|plug|H,@|plug|H|--label|X,@|plug|H|--size|16.5G,@|plug|H|--size|16Q,+|--size|8G,"
        "+|--label,+|--label|TWELVE CHARS,+|--label|A\nB,+|--fs|ext4,+|--vid|090C,"
        "+|--vid|90C|--pid|1000,+|--serial|A\tB,+|--colour|red,+|--locked|--locked,+|--real|16G,"
        "+|--real|half");
    std::vector<std::vector<std::string>> cases{{}}; // the first: no arguments at all
    for (std::string text; std::getline(table, text, ',');) {
        std::vector<std::string> &arguments = cases.emplace_back();
        std::istringstream in(text);
        for (std::string argument; std::getline(in, argument, '|');)
            if (argument == "+")
                arguments.insert(arguments.end(), {folder(), "plug", "H", "--size", "16G"});
            else
                arguments.push_back(argument == "@" ? folder() : argument);
    }
    ASSERT_EQ(cases.size(), 27u);
    for (const auto &arguments : cases) {
        std::string shown;
        for (const std::string &argument : arguments)
            shown += "[" + argument + "]";
        EXPECT_EQ(run(arguments), kBenchBadArguments) << shown;
        EXPECT_NE(err.str().find("usage: dravex-bench [FOLDER] COMMAND"), std::string::npos) << shown;
        EXPECT_EQ(out.str(), "") << shown;
    }
    EXPECT_FALSE(std::filesystem::exists(folder()));
}

TEST_F(BenchCliTest, OnlyPlugStartsABenchAndCommandsWithoutAFolderWorkOnTheDefaultOne) {
    EXPECT_EQ(run({folder(), "list"}), kBenchFailed);
    EXPECT_EQ(run({folder(), "lock", "H"}), kBenchFailed);
    EXPECT_FALSE(std::filesystem::exists(folder()));
    EXPECT_EQ(run({"--help"}), kBenchDone);
    EXPECT_EQ(out.str(), benchUsage());

    defaultFolder = folder();
    ASSERT_EQ(run({"plug", "K", "--label", "UDISK", "--size", "16G"}), kBenchDone) << err.str();
    ASSERT_EQ(run({"lock", "K"}), kBenchDone) << err.str();
    ASSERT_EQ(run({"list"}), kBenchDone);
    EXPECT_EQ(out.str(), "K:  \"UDISK\"  FAT32  16G, 0 bytes used  locked\n");
    ASSERT_EQ(run({"unplug", "K"}), kBenchDone);
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "bench" / "sticks" / "K.stick"));
}

TEST_F(BenchCliTest, AFileInPlaceOfTheBenchIsAFailure) {
    testing::writeText(folder(), "file");
    EXPECT_EQ(run({folder(), "plug", "H", "--size", "1G"}), kBenchFailed);
    EXPECT_NE(err.str().find("cannot keep sticks in"), std::string::npos) << err.str();
}

} // namespace
} // namespace dravex
