#include "helpers/captesttexts.h"
#include "platform/linux/process/capacityreportfile.h"
#include "platform/linux/sysfs/disklock.h"
#include "rig/station.h"

#include <gtest/gtest.h>

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

// What f3probe says of a stick: whether it is the real thing and its usable size in bytes.
struct F3Verdict {
    bool genuine = false;
    bool damaged = false;
    std::uint64_t usableBytes = 0;
    double seconds = 0;
};

F3Verdict f3probe(const std::string &disk) {
    const auto start = Clock::now();
    const RunResult result = run({"f3probe", "/dev/" + disk});
    F3Verdict verdict;
    verdict.seconds = secondsSince(start);
    verdict.genuine = result.out.find("is the real thing") != std::string::npos;
    verdict.damaged = result.out.find("is damaged") != std::string::npos;
    std::smatch usable;
    if (std::regex_search(result.out, usable, std::regex(R"(\*Usable\* size: [0-9.]+ \S+ \(([0-9]+) blocks\))")))
        verdict.usableBytes = std::stoull(usable[1]) * 512;
    return verdict;
}

struct Expected {
    int port;
    UsbStick stick;
    Outcome outcome;
    unsigned realMiB;
    const char *words;
};

// Genuine, wrapping, dropping, failing and slow sticks side by side, each checked by captest and then by
// f3probe: the same verdicts and sizes, every stick's flash as it was, and the time of each.
TEST(RigCapacity, CounterfeitsFoundBesideGenuineSticksAsF3probeFindsThem) {
    UsbStick slow = stickOf("RIGCAPSLOW01", 32, Flash::Slow);
    slow.delayMs = 30;
    const std::vector<Expected> sticks{
        {0, stickOf("RIGCAPGENU01", 32, Flash::Genuine), Outcome::Genuine, 32, captesttexts::kGenuine},
        {1, stickOf("RIGCAPWRAP01", 64, Flash::Wraps, 32), Outcome::Counterfeit, 32, captesttexts::kWraps},
        {2, stickOf("RIGCAPDROP01", 64, Flash::Drops, 16), Outcome::Counterfeit, 16, captesttexts::kDrops},
        {3, stickOf("RIGCAPFAIL01", 64, Flash::Fails, 24), Outcome::Counterfeit, 24, captesttexts::kFails},
        {4, slow, Outcome::Genuine, 32, captesttexts::kGenuine},
    };
    UsbRig rig;
    std::map<int, UsbStick> plugged;
    for (const Expected &each : sticks)
        plugged[each.port] = each.stick;
    rig.plugAll(plugged);
    // The genuine stick is in use, as on the line: captest takes it off and puts it back.
    const std::string volume = *rig.volumeDevice(0);
    ASSERT_EQ(run({"udisksctl", "mount", "--no-user-interaction", "-b", volume}).exitCode, 0);

    std::map<int, CapacityReport> reports;
    for (const Expected &each : sticks) {
        SCOPED_TRACE(each.stick.serial);
        const std::string before = rig.checksum(each.port);
        const auto start = Clock::now();
        const RunResult ours = captest(static_cast<char>('F' + each.port));
        const double oursSeconds = secondsSince(start);
        EXPECT_EQ(ours.exitCode, each.outcome == Outcome::Genuine ? 0 : 3) << ours.out << ours.err;
        EXPECT_NE((ours.out + ours.err).find(each.words), std::string::npos) << ours.out << ours.err;
        EXPECT_NE((ours.out + ours.err).find(captesttexts::kRestored), std::string::npos) << ours.out << ours.err;
        EXPECT_EQ(rig.checksum(each.port), before) << "the flash is not as it was";
        const auto report = reportOf(rig, each.port);
        ASSERT_TRUE(report.has_value());
        EXPECT_EQ(report->outcome, each.outcome);
        EXPECT_EQ(report->realBytes, std::uint64_t{each.realMiB} * kMiB);
        EXPECT_EQ(report->claimedBytes, std::uint64_t{each.stick.sizeMiB} * kMiB);
        EXPECT_GT(report->writeMBps, 0);
        EXPECT_GT(report->readMBps, 0);
        reports[each.port] = *report;
        if (each.port == 0) {
            // The stick that was in use is mounted again, its files as they were.
            const std::vector<std::string> mounts = mountPointsOf(volume);
            ASSERT_FALSE(mounts.empty()) << ours.out;
            EXPECT_EQ(bytesOf(fs::path(mounts.front()) / "ORDER.TXT"), "order 4711\n");
        }

        for (const std::string &mounted : mountPointsOf(*rig.volumeDevice(each.port)))
            run({"umount", mounted});
        const F3Verdict theirs = f3probe(*rig.disk(each.port));
        note(each.stick.serial + ": captest " + std::to_string(oursSeconds) + " s, f3probe " +
             std::to_string(theirs.seconds) + " s, f3probe usable " + std::to_string(theirs.usableBytes));
        EXPECT_EQ(theirs.genuine, each.outcome == Outcome::Genuine);
        // f3probe gives up on a stick whose requests fail past the flash and calls it damaged, with no
        // usable size; captest finds where the failing begins.
        if (each.stick.flash == Flash::Fails)
            EXPECT_TRUE(theirs.damaged);
        else
            EXPECT_EQ(theirs.usableBytes, std::uint64_t{each.realMiB} * kMiB);
    }
    EXPECT_LT(reports[4].readMBps, reports[0].readMBps) << "the slow stick reads as fast as the genuine one";
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
