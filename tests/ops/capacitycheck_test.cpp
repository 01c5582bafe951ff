#include "ops/capacitycheck.h"
#include "platform/sim/simbench.h"
#include "scan/drivescan.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace dravex {
namespace {

using Lines = std::vector<std::string>;
using Outcome = CapacityReport::Outcome;
constexpr std::uint64_t kMiB = 1ull << 20;
constexpr std::uint64_t kGiB = 1ull << 30;

// Starts programs through the bench, noting what panel 1 said at each start.
class PanelWatchingLauncher : public Launcher {
public:
    PanelWatchingLauncher(Launcher &launcher, const MainWindowState &window)
        : m_launcher(launcher), m_window(window) {}
    std::optional<long> Shell(const std::string &commandLine, int windowStyle) override {
        panels.push_back(m_window.panel(1));
        return m_launcher.Shell(commandLine, windowStyle);
    }
    Lines panels;

private:
    Launcher &m_launcher;
    const MainWindowState &m_window;
};

class CapacityCheckTest : public ::testing::Test {
protected:
    SimBench bench;
    DriveTable table;
    MainWindowState window;
    DriveScan scan{bench, table, window, Variant::V2};
    PanelWatchingLauncher launcher{bench, window};
    std::vector<int> pointers;

    void SetUp() override {
        window.setPointerListener([this](int pointer) { pointers.push_back(pointer); });
    }

    SimDrive &plug(char letter, std::optional<CapacityReport> report = std::nullopt) {
        SimDrive stick;
        stick.capacityReport = report;
        stick.letter = letter;
        stick.label = "STICK";
        stick.totalBytes = 16 * kGiB;
        stick.totalFreeBytes = stick.freeBytesAvailableToCaller = 15 * kGiB;
        return bench.plug(stick);
    }
    // Scans, then shows the reports as the station does after every scan.
    void rescan() {
        scan.chus();
        pointers.clear();
        applyCapacityReports(table, bench.capacityReports());
    }
    Lines launched() const {
        Lines lines;
        for (const SimLaunch &launch : bench.launches()) {
            EXPECT_EQ(launch.windowStyle, kWindowNormalFocus) << launch.commandLine;
            lines.push_back(launch.commandLine);
        }
        return lines;
    }
    // The verdict cell of stick F with this report, after a content check put its verdict there.
    std::string verdictWith(const CapacityReport &report, const std::string &contentVerdict = "") {
        plug('F', report);
        scan.chus();
        table.slots[0].checkResult = contentVerdict;
        applyCapacityReports(table, bench.capacityReports());
        return table.slots[0].checkResult;
    }
    std::string counterfeitOf(std::uint64_t realBytes) {
        return verdictWith({Outcome::Counterfeit, 16 * kGiB, realBytes, 0, 0});
    }
};

TEST_F(CapacityCheckTest, StartsOneCheckPerListedStickExceptWriteProtectedOnes) {
    plug('F');
    plug('G');
    plug('H');
    plug('K').mediumPresent = false; // listed with its letter, but no capacity: nothing to check
    rescan();
    table.slots[1].checkResult = "写保护";
    table.slots[2].checkResult = "NG";
    window.panel(1) = "before";
    startCapacityChecks(table, window, launcher);
    EXPECT_EQ(launched(), (Lines{"captest F:", "captest H:"}));
    EXPECT_EQ(launcher.panels, Lines(2, "正在启动容量测试…"));
    EXPECT_EQ(window.panel(1), "容量测试已启动。");
    EXPECT_EQ(pointers, (std::vector<int>{kPointerHourglass, kPointerDefault}));
}

TEST_F(CapacityCheckTest, AMissingProgramIsNamedAndTheOtherSticksAreStillTried) {
    plug('F');
    plug('G');
    rescan();
    bench.setLaunchFails(true);
    startCapacityChecks(table, window, launcher);
    EXPECT_EQ(bench.launchAttempts(), 2);
    EXPECT_EQ(window.panel(1), "无法启动容量测试程序 captest。");
    EXPECT_EQ(window.mousePointer(), kPointerDefault);

    // With no stick listed nothing starts, and panel 1 keeps what the scan said.
    bench.unplug('F');
    bench.unplug('G');
    rescan();
    const std::string scanned = window.panel(1);
    startCapacityChecks(table, window, launcher);
    EXPECT_EQ(bench.launchAttempts(), 2);
    EXPECT_EQ(window.panel(1), scanned);
    EXPECT_EQ(pointers, (std::vector<int>{kPointerHourglass, kPointerDefault}));
}

TEST_F(CapacityCheckTest, EachOutcomeHasItsVerdictAndOnlyAGenuineStickKeepsAnOkOrNg) {
    const std::tuple<Outcome, const char *, const char *> cases[] = {
        {Outcome::Genuine, "", "真"},
        {Outcome::Genuine, "可读写", "真"},
        {Outcome::Genuine, "OK", "OK"},
        {Outcome::Genuine, "NG", "NG"},
        {Outcome::Counterfeit, "OK", "假 7.5G"},
        {Outcome::Damaged, "NG", "坏块"},
        {Outcome::WriteProtected, "", "写保护"},
        {Outcome::Failed, "OK", "出错"},
        {Outcome::NoResponse, "", "无响应"},
    };
    for (const auto &[outcome, contentVerdict, verdict] : cases)
        EXPECT_EQ(verdictWith({outcome, 16 * kGiB, 7 * kGiB + kGiB / 2, 0, 0}, contentVerdict), verdict)
            << contentVerdict;
}

TEST_F(CapacityCheckTest, ACounterfeitsRealSizeIsRoundedDownNeverUp) {
    EXPECT_EQ(counterfeitOf(0), "假 0M");
    EXPECT_EQ(counterfeitOf(kMiB - 1), "假 0M");
    EXPECT_EQ(counterfeitOf(512 * kMiB), "假 512M");
    EXPECT_EQ(counterfeitOf(1023 * kMiB), "假 1023M");
    EXPECT_EQ(counterfeitOf(kGiB - 1), "假 1023M");
    EXPECT_EQ(counterfeitOf(kGiB), "假 1.0G");
    // 7.95 GiB and a byte over it would round up to 8.0 with printf.
    EXPECT_EQ(counterfeitOf(8'536'247'501ull), "假 7.9G");
    EXPECT_EQ(counterfeitOf(8 * kGiB - 1), "假 7.9G");
    EXPECT_EQ(counterfeitOf(8 * kGiB), "假 8.0G");
    EXPECT_EQ(counterfeitOf(UINT64_MAX), "假 17179869183.9G");
}

TEST_F(CapacityCheckTest, SpeedsTakeTheUsedSpaceCellOnlyWhenBothWereMeasured) {
    plug('F', CapacityReport{Outcome::Genuine, 16 * kGiB, 16 * kGiB, 12.34, 25.05});
    plug('G', CapacityReport{Outcome::Failed, 16 * kGiB, 0, 9.5, 0});
    plug('H', CapacityReport{Outcome::NoResponse, 16 * kGiB, 0, 0, 0});
    plug('J');
    rescan();
    EXPECT_EQ(table.slots[0].usedSpace, "写 12.3 读 25.1 MB/s");
    EXPECT_EQ(table.slots[1].usedSpace, "已用:1,073,741,824字节");
    EXPECT_EQ(table.slots[1].checkResult, "出错");
    EXPECT_EQ(table.slots[2].usedSpace, table.slots[1].usedSpace);
    // J has no report: its row is the scan's.
    EXPECT_EQ(table.slots[3].usedSpace, table.slots[1].usedSpace);
    EXPECT_EQ(table.slots[3].checkResult, "");
}

TEST_F(CapacityCheckTest, OnlyListedRowsShowAReport) {
    const CapacityReport damaged{Outcome::Damaged, 16 * kGiB, 0, 1, 1};
    plug('F', damaged);
    plug('G', damaged).mediumPresent = false;
    rescan();
    EXPECT_EQ(table.slots[0].checkResult, "坏块");
    EXPECT_EQ(table.slots[1].letter, "G");
    EXPECT_EQ(table.slots[1].checkResult, "");
    EXPECT_EQ(table.slots[1].usedSpace.find("MB/s"), std::string::npos);
}

} // namespace
} // namespace dravex
