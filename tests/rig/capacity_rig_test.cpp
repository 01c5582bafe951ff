#include "helpers/captesttexts.h"
#include "platform/linux/process/capacityreportfile.h"
#include "platform/linux/sysfs/disklock.h"
#include "rig/f3probe.h"
#include "rig/station.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace dravex::rig {
namespace {

namespace fs = std::filesystem;
using Outcome = CapacityReport::Outcome;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr unsigned kMiB = 1 << 20;
const fs::path kReports = "/tmp/rig/capacity-reports";

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string bytesOf(const fs::path &path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

UsbStick stickOf(const std::string &serial, unsigned claimedMiB, Flash flash, unsigned realMiB = 0) {
    UsbStick stick;
    stick.serial = serial;
    stick.sizeMiB = claimedMiB;
    stick.flash = flash;
    stick.realMiB = realMiB;
    stick.label = serial.substr(serial.size() - 4);
    stick.files = {{"ORDER.TXT", "order 4711\n"}};
    return stick;
}

// captest on the letter, with the report folder the tool would name.
RunResult captest(char letter) {
    fs::create_directories(kReports);
    return runCaptured({buildFolder() + "/captest", std::string(1, letter) + ":"},
                       {std::string(kCapacityReportsVariable) + "=" + kReports.string()});
}

std::optional<CapacityReport> reportOf(UsbRig &rig, int port) {
    const std::string disk = *rig.disk(port);
    const std::string diskseq = bytesOf("/sys/block/" + disk + "/diskseq");
    return parseCapacityReport(bytesOf(kReports / (disk + "." + std::to_string(std::stoull(diskseq)))));
}

struct Expected {
    int port;
    int row; // -1: not listed, as no file system can be read off it
    UsbStick stick;
    Outcome outcome;
    unsigned realMiB;
    const char *verdict;
};

// F3 in the window on genuine, wrapping, dropping, failing and slow sticks side by side: one captest each
// through the launcher, every result in its row by itself, through the rescans the check itself causes,
// and every stick's flash as it was. Then f3probe on the same sticks: the same verdicts and sizes.
TEST(RigCapacity, F3FindsCounterfeitsBesideGenuineSticksAsF3probeDoes) {
    UsbStick slow = stickOf("RIGCAPSLOW01", 32, Flash::Slow);
    slow.delayMs = 20;
    const std::vector<Expected> sticks{
        {0, 0, stickOf("RIGCAPGENU01", 32, Flash::Genuine), Outcome::Genuine, 32, "真"},
        {1, 1, stickOf("RIGCAPWRAP01", 64, Flash::Wraps, 32), Outcome::Counterfeit, 32, "假 32M"},
        {2, 2, stickOf("RIGCAPDROP01", 64, Flash::Drops, 16), Outcome::Counterfeit, 16, "假 16M"},
        // Probing it for a file system fails past the flash, so the window lists it not at all; captest is
        // run by hand.
        {3, -1, stickOf("RIGCAPFAIL01", 64, Flash::Fails, 24), Outcome::Counterfeit, 24, nullptr},
        {4, 3, slow, Outcome::Genuine, 32, "真"},
    };
    Station station;
    UsbRig &rig = station.rig();
    std::map<int, UsbStick> plugged;
    for (const Expected &each : sticks)
        plugged[each.port] = each.stick;
    rig.plugAll(plugged);
    station.start();
    ASSERT_TRUE(station.waitFor([&] { return station.text("Label6") == "4"; }, 30s)) << station.describe();
    // Taken once the window has mounted the sticks, as mounting marks a FAT file system in use.
    std::map<int, std::string> before;
    for (const Expected &each : sticks) {
        before[each.port] = rig.checksum(each.port);
    }

    station.press(Qt::Key_F3);
    std::vector<HelperExit> ended;
    ASSERT_TRUE(station.waitForHelpers(4, 240s, ended)) << station.describe();
    // A helper's report reaches the window through the event loop, after the helper may have ended.
    ASSERT_TRUE(station.waitFor(
        [&] {
            return std::all_of(sticks.begin(), sticks.end(), [&](const Expected &each) {
                return each.row < 0 || !station.cell("Label11", each.row).isEmpty();
            });
        },
        30s))
        << station.describe();
    const RunResult failing = captest('I');
    EXPECT_EQ(failing.exitCode, 3) << failing.out << failing.err;
    EXPECT_NE(failing.err.find(captesttexts::kFails), std::string::npos) << failing.err;
    std::map<int, CapacityReport> reports;
    for (const Expected &each : sticks) {
        SCOPED_TRACE(each.stick.serial);
        if (each.row >= 0) {
            EXPECT_EQ(station.cell("Label11", each.row), u(each.verdict));
            EXPECT_TRUE(std::regex_match(station.cell("Label5", each.row).toStdString(),
                                         std::regex(R"(写 [0-9]+\.[0-9] 读 [0-9]+\.[0-9] MB/s)")))
                << station.describe();
        }
        EXPECT_EQ(rig.checksum(each.port), before[each.port]) << "the flash is not as it was";
        // What the tool holds for the stick's letter; the failing stick's report went where captest was told.
        const auto report = each.row < 0 ? reportOf(rig, each.port)
                                         : station.qaStation().services().capacityReports.reportFor(
                                               std::string(1, static_cast<char>('F' + each.port)));
        ASSERT_TRUE(report.has_value());
        EXPECT_EQ(report->outcome, each.outcome);
        EXPECT_EQ(report->realBytes, std::uint64_t{each.realMiB} * kMiB);
        EXPECT_EQ(report->claimedBytes, std::uint64_t{each.stick.sizeMiB} * kMiB);
        reports[each.port] = *report;
    }
    EXPECT_LT(reports[4].readMBps, reports[0].readMBps) << "the slow stick reads as fast as the genuine one";

    // A result stays with its stick until the stick is pulled: the sticks after it move up a row with
    // theirs, and the stick plugged in again has none.
    rig.pull(0);
    ASSERT_TRUE(station.waitFor([&] { return station.text("Label6") == "3"; }, 30s)) << station.describe();
    EXPECT_EQ(station.cell("Label11", 0), u("假 32M"));
    rig.plug(0, sticks.front().stick);
    ASSERT_TRUE(station.waitFor([&] { return station.text("Label6") == "4"; }, 30s)) << station.describe();
    EXPECT_EQ(station.cell("Label11", 0), QString());
    EXPECT_EQ(station.cell("Label11", 1), u("假 32M"));

    // f3probe on the same sticks, with the window no longer mounting what it finds.
    station.qaStation().watchDeviceChanges({});
    for (const Expected &each : sticks) {
        if (each.stick.flash == Flash::Slow)
            continue; // f3probe takes a minute on it; the benchmark times that
        SCOPED_TRACE(each.stick.serial);
        for (const std::string &mounted : mountPointsOf(*rig.volumeDevice(each.port)))
            run({"umount", mounted});
        const F3Verdict theirs = f3probe(*rig.disk(each.port));
        EXPECT_EQ(theirs.genuine, each.outcome == Outcome::Genuine);
        // f3probe gives up on a stick whose requests fail past the flash and calls it damaged, with no
        // usable size; captest finds where the failing begins.
        if (each.stick.flash == Flash::Fails)
            EXPECT_TRUE(theirs.damaged);
        else
            EXPECT_EQ(theirs.usableBytes, std::uint64_t{each.realMiB} * kMiB);
    }
}

// Runs captest in the background; the report's arrival is how the test knows it has finished its check.
class BackgroundCaptest {
public:
    explicit BackgroundCaptest(char letter)
        : m_thread([this, letter] { m_result = captestWithin(letter); }) {}
    ~BackgroundCaptest() {
        if (m_thread.joinable())
            m_thread.join();
    }
    RunResult finish() {
        m_thread.join();
        return m_result;
    }

private:
    static RunResult captestWithin(char letter) {
        fs::create_directories(kReports);
        return runCaptured({"timeout", "120", buildFolder() + "/captest", std::string(1, letter) + ":"},
                           {std::string(kCapacityReportsVariable) + "=" + kReports.string()});
    }

    RunResult m_result;
    std::thread m_thread;
};

bool waitFor(const std::function<bool()> &done, double seconds) {
    const auto start = Clock::now();
    while (!done()) {
        if (secondsSince(start) > seconds)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

// A write-protected stick, one that stops answering and one pulled in the middle: each gets a clear
// result and a report, within the time the helper promises, and never a hang.
TEST(RigCapacity, WriteProtectedHungAndPulledSticksEndClearly) {
    UsbRig rig;
    UsbStick locked = stickOf("RIGCAPLOCK01", 32, Flash::Genuine);
    locked.writeProtected = true;
    UsbStick hangs = stickOf("RIGCAPHANG01", 32, Flash::Slow);
    hangs.delayMs = 1;
    UsbStick pulled = stickOf("RIGCAPPULL01", 64, Flash::Slow);
    pulled.delayMs = 100;
    rig.plugAll({{0, locked}, {1, hangs}, {2, pulled}});

    const std::string lockedBefore = rig.checksum(0);
    const RunResult refused = captest('F');
    EXPECT_EQ(refused.exitCode, 2) << refused.out << refused.err;
    EXPECT_NE(refused.err.find(captesttexts::kNoWriteAccess), std::string::npos) << refused.err;
    ASSERT_TRUE(reportOf(rig, 0).has_value());
    EXPECT_EQ(reportOf(rig, 0)->outcome, Outcome::WriteProtected);
    EXPECT_EQ(rig.checksum(0), lockedBefore);

    {
        const std::string disk = *rig.disk(1);
        rig.suspend(1);
        const auto start = Clock::now();
        BackgroundCaptest hung('G');
        // The helper gives up on a request after 15 s and says so; the stick answers again afterwards.
        const bool reported = waitFor([&] { return reportOf(rig, 1).has_value(); }, 60);
        const double seconds = secondsSince(start);
        rig.resume(1);
        const RunResult result = hung.finish();
        ASSERT_TRUE(reported) << result.out << result.err;
        EXPECT_LT(seconds, 40);
        EXPECT_EQ(reportOf(rig, 1)->outcome, Outcome::NoResponse);
        EXPECT_EQ(result.exitCode, 3) << result.out << result.err;
        EXPECT_NE(result.err.find(captesttexts::kNoResponse), std::string::npos) << result.err;
        note("hung stick reported after " + std::to_string(seconds) + " s");
    }

    {
        const std::string disk = *rig.disk(2);
        const std::string diskseq = std::to_string(std::stoull(bytesOf("/sys/block/" + disk + "/diskseq")));
        BackgroundCaptest midway('H');
        // Pulled once the probe is under way: the disk is locked just before the first block is read, and
        // each request of this stick takes a tenth of a second.
        ASSERT_TRUE(waitFor([&] { return isDiskLocked("/dev/" + disk); }, 60));
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        rig.pull(2);
        const RunResult result = midway.finish();
        EXPECT_EQ(result.exitCode, 3) << result.out << result.err;
        EXPECT_NE(result.err.find(captesttexts::kFailed), std::string::npos) << result.out << result.err;
        EXPECT_NE(result.err.find(captesttexts::kLost), std::string::npos) << result.out << result.err;
        const auto report = parseCapacityReport(bytesOf(kReports / (disk + "." + diskseq)));
        ASSERT_TRUE(report.has_value());
        EXPECT_EQ(report->outcome, Outcome::Failed);
    }
}

} // namespace
} // namespace dravex::rig
