#include "helpers/driveargument.h"
#include "helpers/removedrive.h"

#include "helpers/helpertexts.h"
#include "helpers/removedrivetexts.h"

#include "helperfixtures.h"

#include <gtest/gtest.h>

namespace dravex {
namespace {

using Calls = std::vector<std::string>;

TEST(ParseDriveArgument, Table) {
    const std::pair<const char *, char> cases[] = {
        {"H", 'H'},  {"H:", 'H'}, {"h", 'H'}, {"z:", 'Z'}, {"", 0},   {"HH", 0},
        {"H:\\", 0}, {"1", 0},    {":", 0},   {"H ", 0},   {" H", 0}, {"H;", 0},
    };
    for (const auto &[text, letter] : cases)
        EXPECT_EQ(parseDriveArgument(text).value_or(0), letter) << text;
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

TEST(RemoveDriveVolumes, EveryMountOfTheDiskIsFlushedAndUnmountedThenTheDeviceGoesSystemSticksStay) {
    const struct {
        const char *fixture;
        const char *command;
        Calls calls; // "@" stands for the tree
    } cases[] = {
        {"guarded-sticks", "F", {"flush @/media/op/PLAIN", "unmount sdb1", "powerOff sdb"}},
        {"guarded-sticks", "F:", {"flush @/media/op/PLAIN", "unmount sdb1", "powerOff sdb"}},
        {"guarded-sticks", "f", {"flush @/media/op/PLAIN", "unmount sdb1", "powerOff sdb"}},
        // A card-reader slot only has its medium ejected.
        {"guarded-sticks", "M:", {"flush @/media/op/CARD", "unmount sdg1", "eject sdg"}},
        // The btrfs mount carries an anonymous device number; only the source names sdf1.
        {"system-sticks", "K", {"flush @/media/op/BTRFS", "unmount sdf1", "powerOff sdf"}},
        {"cdrom-stick", "F", {"flush @/media/op/STICK", "unmount sdb1", "powerOff sdb"}},
        // G: is sdb2 of a stick whose sdb1 is mounted too.
        {"odd-partitions",
         "G",
         {"flush @/media/op/SWAP", "unmount sdb1", "flush @/media/op/DATA", "unmount sdb2", "powerOff sdb"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.fixture) + " " + c.command);
        RemoveDriveOnTree remove(c.fixture);
        EXPECT_EQ(remove.run(c.command), kExitDone) << remove.err.str();
        Calls expected = c.calls;
        for (std::string &call : expected)
            if (call.find('@') != std::string::npos)
                call.replace(call.find('@'), 1, remove.tree);
        EXPECT_EQ(remove.actions.calls, expected);
    }
    RemoveDriveOnTree system("system-sticks");
    for (const char *command : {"F", "G", "H", "I", "J", "L"})
        EXPECT_EQ(system.run(command), kExitRefused) << command;
    EXPECT_TRUE(system.actions.calls.empty());
}

using RemoveDriveRun = HelperFixture;

TEST_F(RemoveDriveRun, EjectsWhenPowerOffIsRefusedAndStopsWhenAVolumeStaysMounted) {
    const std::string mounted = fileBytes(m_actions.mountInfo);
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

    const std::string flush = "flush " + m_tree + "/media/op/PLAIN";
    m_actions.calls.clear();
    writeFileBytes(m_actions.mountInfo, mounted);
    m_actions.failing = {"unmount"};
    EXPECT_EQ(runRemoveDrive("F", helper), kExitFailed);
    EXPECT_EQ(m_actions.calls, (Calls{flush, "unmount sdb1"}));
    m_actions.calls.clear();
    m_actions.failing = {"flush"};
    EXPECT_EQ(runRemoveDrive("F", helper), kExitFailed);
    EXPECT_EQ(m_actions.calls, Calls{flush});
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
    EXPECT_EQ(m_actions.calls, (Calls{"powerOff sdb"}));
    // Without a medium the stick / runs from is still refused.
    writeFileBytes(m_tree + "/sys/block/sdc/size", "0\n");
    EXPECT_EQ(runRemoveDrive("G", helper), kExitRefused);
    EXPECT_EQ(m_actions.calls.size(), 1u);
}

// Disk actions that take the holder away, as UDisks2 does for an unlocked encrypted volume.
class ClosingDiskActions : public RecordingDiskActions {
public:
    explicit ClosingDiskActions(std::string tree) : m_tree(std::move(tree)) {}
    bool closeHolder(const std::string &volume, const std::string &holder) override {
        std::filesystem::remove_all(m_tree + "/sys/block/sdb/" + volume + "/holders/" + holder);
        return RecordingDiskActions::closeHolder(volume, holder);
    }

private:
    std::string m_tree;
};

TEST_F(RemoveDriveRun, AHolderIsClosedFirstOrTheStickStaysNamingIt) {
    std::filesystem::create_directories(m_tree + "/sys/block/sdb/sdb1/holders/dm-5");
    HelperContext helper = context();
    // The disk service cannot close it: nothing is unmounted or powered off, and the holder is named.
    m_actions.failing.insert("closeHolder");
    EXPECT_EQ(runRemoveDrive("F", helper), kExitRefused);
    EXPECT_EQ(m_actions.calls, Calls{"closeHolder dm-5"});
    EXPECT_NE(m_err.str().find(std::string(helpertexts::kStacked) + "dm-5 (sdb1)"), std::string::npos)
        << m_err.str();

    ClosingDiskActions closing(m_tree);
    HelperContext closer{SystemRoot(m_tree), closing, m_out, m_err};
    EXPECT_EQ(runRemoveDrive("F", closer), kExitDone) << m_err.str();
    EXPECT_EQ(closing.calls, (Calls{"closeHolder dm-5", "flush " + m_tree + "/media/op/PLAIN", "unmount sdb1",
                                    "powerOff sdb"}));
}

TEST_F(RemoveDriveRun, ALetterThatMovedOnSinceTheScanIsLeftAlone) {
    HelperContext helper = context();
    // The scan saw G: on sdb (F: then was a stick now pulled): G: names sdg1's card now.
    helper.scanned = ScannedDisks{{'F', {"sdx", std::nullopt}}, {'M', {"sdb", std::nullopt}}};
    EXPECT_EQ(runRemoveDrive("M", helper), kExitDriveChanged);
    EXPECT_EQ(runRemoveDrive("F", helper), kExitDriveChanged);
    EXPECT_NE(m_err.str().find(helpertexts::kOtherDisk), std::string::npos) << m_err.str();
    EXPECT_TRUE(m_actions.calls.empty());
}

using RemoveDriveProgram = HelperFixture;

TEST_F(RemoveDriveProgram, ExitCodesAsTheToolSeesThem) {
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{"F:"}, kExitDone},
        {{"m:"}, kExitDone},
        {{"L"}, kExitDone},
        {{"G:"}, kExitRefused},
        {{"J"}, kExitRefused},
        {{"K"}, kExitRefused},
        {{"N:"}, kExitRefused},
        {{}, kExitBadCommandLine},
        {{"F", "G"}, kExitBadCommandLine},
        {{"F:\\"}, kExitBadCommandLine},
    };
    for (const auto &[arguments, exitCode] : cases) {
        const ProcessResult result = runProgram(DRAVEX_REMOVEDRIVE_PROGRAM, arguments);
        EXPECT_EQ(result.exitCode, exitCode) << (arguments.empty() ? "" : arguments.front()) << result.err;
        EXPECT_EQ(result.err.empty(), exitCode == kExitDone) << result.err;
    }
}

} // namespace
} // namespace dravex
