#include "helpers/removedrive.h"

#include "helpers/removedrivetexts.h"

#include "helperfixtures.h"

#include <gtest/gtest.h>

namespace dravex {
namespace {

TEST(ParseRemoveDriveCommand, Table) {
    const struct {
        const char *text;
        char letter;
    } cases[] = {
        {"H", 'H'},  {"H:", 'H'}, {"h", 'H'}, {"z:", 'Z'}, {"", 0},   {"HH", 0},
        {"H:\\", 0}, {"1", 0},    {":", 0},   {"H ", 0},   {" H", 0}, {"H;", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(parseRemoveDriveCommand(c.text).value_or(0), c.letter) << c.text;
}

using RemoveDriveRun = HelperFixture;

TEST_F(RemoveDriveRun, PlainStickIsFlushedUnmountedAndPoweredOff) {
    for (const char *command : {"F", "F:", "f"}) {
        m_actions.calls.clear();
        HelperContext helper = context();
        EXPECT_EQ(runRemoveDrive(command, helper), kExitDone) << m_err.str();
        EXPECT_EQ(m_actions.calls, (std::vector<std::string>{"flush " + m_tree + "/media/op/PLAIN",
                                                             "unmount sdb1", "powerOff sdb"}));
    }
}

TEST_F(RemoveDriveRun, CardReaderSlotOnlyHasItsMediumEjected) {
    HelperContext helper = context();
    EXPECT_EQ(runRemoveDrive("M:", helper), kExitDone) << m_err.str();
    EXPECT_EQ(m_actions.calls,
              (std::vector<std::string>{"flush " + m_tree + "/media/op/CARD", "unmount sdg1", "eject sdg"}));
}

TEST_F(RemoveDriveRun, EjectsWhenPowerOffIsRefused) {
    m_actions.failing.insert("powerOff");
    HelperContext helper = context();
    EXPECT_EQ(runRemoveDrive("F", helper), kExitDone);
    EXPECT_EQ(m_actions.calls.back(), "eject sdb");
    // The device is still attached: saying it was disconnected would be a lie.
    EXPECT_NE(m_out.str().find(removedrivetexts::kEjectedNotPoweredOff), std::string::npos);
    EXPECT_EQ(m_out.str().find(removedrivetexts::kPoweredOff), std::string::npos);
    m_actions.failing.insert("eject");
    EXPECT_EQ(runRemoveDrive("F", helper), kExitFailed);
    EXPECT_NE(m_err.str().find("sdb"), std::string::npos);
}

TEST_F(RemoveDriveRun, StopsBeforePowerWhenAVolumeStaysMounted) {
    m_actions.failing.insert("unmount");
    HelperContext helper = context();
    EXPECT_EQ(runRemoveDrive("F", helper), kExitFailed);
    EXPECT_EQ(m_actions.calls,
              (std::vector<std::string>{"flush " + m_tree + "/media/op/PLAIN", "unmount sdb1"}));
    m_actions.calls.clear();
    m_actions.failing = {"flush"};
    EXPECT_EQ(runRemoveDrive("F", helper), kExitFailed);
    EXPECT_EQ(m_actions.calls, (std::vector<std::string>{"flush " + m_tree + "/media/op/PLAIN"}));
}

TEST_F(RemoveDriveRun, RefusedDrivesAreNotTouched) {
    HelperContext helper = context();
    for (const char *command : {"G", "H", "I", "J", "K", "N", "A:", "C"})
        EXPECT_EQ(runRemoveDrive(command, helper), kExitRefused) << command;
    EXPECT_EQ(runRemoveDrive("FF", helper), kExitBadCommandLine);
    EXPECT_TRUE(m_actions.calls.empty());
}

TEST_F(RemoveDriveRun, StickWithoutMediumIsPoweredOffEmptySlotIsLeftAlone) {
    HelperContext helper = context();
    EXPECT_EQ(runRemoveDrive("L", helper), kExitDone) << m_err.str();
    EXPECT_TRUE(m_actions.calls.empty());
    EXPECT_NE(m_out.str().find(removedrivetexts::kEmptySlot), std::string::npos);
    // A dead stick reports no medium; its mounts are not flushed, the device goes all the same.
    writeFileBytes(m_tree + "/sys/block/sdb/size", "0\n");
    EXPECT_EQ(runRemoveDrive("F", helper), kExitDone) << m_err.str();
    EXPECT_EQ(m_actions.calls, (std::vector<std::string>{"powerOff sdb"}));
    // Without a medium the stick / runs from is still refused.
    writeFileBytes(m_tree + "/sys/block/sdc/size", "0\n");
    EXPECT_EQ(runRemoveDrive("G", helper), kExitRefused);
    EXPECT_EQ(m_actions.calls.size(), 1u);
}

// RemoveDrive.exe on a copy of a fixture tree, with recording actions.
struct RemoveDriveOnTree {
    explicit RemoveDriveOnTree(const std::string &fixture) : tree(copySysroot(fixture, folder.path())) {}
    int run(const std::string &command) {
        HelperContext helper{SystemRoot(tree), actions, out, err};
        return runRemoveDrive(command, helper);
    }

    TemporaryFolder folder;
    std::string tree;
    RecordingDiskActions actions;
    std::ostringstream out;
    std::ostringstream err;
};

TEST(RemoveDriveVolumes, BtrfsStickIsUnmountedSystemSticksAreNot) {
    RemoveDriveOnTree remove("system-sticks");
    // Its mount carries an anonymous device number; only the source names sdf1.
    EXPECT_EQ(remove.run("K"), kExitDone) << remove.err.str();
    EXPECT_EQ(remove.actions.calls, (std::vector<std::string>{"flush " + remove.tree + "/media/op/BTRFS",
                                                              "unmount sdf1", "powerOff sdf"}));
    for (const char *command : {"F", "G", "H", "I", "J", "L"})
        EXPECT_EQ(remove.run(command), kExitRefused) << command;
    EXPECT_EQ(remove.actions.calls.size(), 3u);
}

TEST(RemoveDriveVolumes, StickWithACdRomUnitIsPoweredOff) {
    RemoveDriveOnTree remove("cdrom-stick");
    EXPECT_EQ(remove.run("F"), kExitDone) << remove.err.str();
    EXPECT_EQ(remove.actions.calls, (std::vector<std::string>{"flush " + remove.tree + "/media/op/STICK",
                                                              "unmount sdb1", "powerOff sdb"}));
}

TEST(RemoveDriveVolumes, EveryMountOfEveryVolumeOfTheDisk) {
    TemporaryFolder folder;
    const std::string tree = copySysroot("odd-partitions", folder.path());
    RecordingDiskActions actions;
    std::ostringstream out;
    std::ostringstream err;
    HelperContext helper{SystemRoot(tree), actions, out, err};
    // G: is sdb2 of a stick whose sdb1 is mounted too.
    EXPECT_EQ(runRemoveDrive("G", helper), kExitDone) << err.str();
    EXPECT_EQ(actions.calls,
              (std::vector<std::string>{"flush " + tree + "/media/op/SWAP", "unmount sdb1",
                                        "flush " + tree + "/media/op/DATA", "unmount sdb2", "powerOff sdb"}));
}

using RemoveDriveProgram = HelperFixture;

TEST_F(RemoveDriveProgram, ExitCodesAsTheToolSeesThem) {
    const struct {
        std::vector<std::string> arguments;
        int exitCode;
    } cases[] = {
        {{"F"}, kExitDone},
        {{"F:"}, kExitDone},
        {{"m:"}, kExitDone},
        {{"G:"}, kExitRefused},
        {{"J"}, kExitRefused},
        {{"K"}, kExitRefused},
        {{"L"}, kExitDone},
        {{"N:"}, kExitRefused},
        {{}, kExitBadCommandLine},
        {{"F", "G"}, kExitBadCommandLine},
        {{"F:\\"}, kExitBadCommandLine},
    };
    for (const auto &c : cases) {
        const ProcessResult result = runProgram(DRAVEX_REMOVEDRIVE_PROGRAM, c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode)
            << (c.arguments.empty() ? "" : c.arguments.front()) << result.err;
        EXPECT_EQ(result.err.empty(), c.exitCode == kExitDone) << result.err;
    }
}

} // namespace
} // namespace dravex
