// captest beside f3probe, the open counterfeit-flash probe, on the same sticks in the same run inside the
// USB rig's guest: a genuine stick, counterfeits whose addresses past the flash wrap, drop writes or fail,
// and a slow genuine stick. The two take turns round by round; each run's verdict and size are checked
// against what the stick is, and its flash against what it held before, so a wrong answer is reported as
// such, never as a time. The emulator makes seconds meaningless on their own: what counts is ours over
// theirs on the same stick.
//
//   tests/rig/rig.sh --time-limit 1500 build-bench $PWD/build-bench/bench/dravex-capacity-bench [--rounds N]
#include "platform/linux/process/capacityreportfile.h"
#include "rig/f3probe.h"
#include "rig/usbrig.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace dravex;
using namespace dravex::rig;
namespace fs = std::filesystem;
using Outcome = CapacityReport::Outcome;

constexpr unsigned kMiB = 1 << 20;
const fs::path kReports = "/tmp/rig/bench-reports";

struct Case {
    const char *name;
    UsbStick stick;
    bool genuine;
    unsigned realMiB;
};

UsbStick stickOf(const char *serial, unsigned claimedMiB, Flash flash, unsigned realMiB, unsigned delayMs = 0) {
    UsbStick stick;
    stick.serial = serial;
    stick.sizeMiB = claimedMiB;
    stick.flash = flash;
    stick.realMiB = realMiB;
    stick.delayMs = delayMs;
    stick.label = "BENCH";
    stick.files = {{"ORDER.TXT", "order 4711\n"}};
    return stick;
}

std::string bytesOf(const fs::path &path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

struct Run {
    double seconds = 0;
    std::string verdict; // "genuine", "32 MiB", "damaged", or what went wrong
    bool right = false;
};

std::string sizeOf(std::uint64_t bytes) {
    return std::to_string(bytes / kMiB) + " MiB";
}

Run runCaptest(UsbRig &rig, const Case &c) {
    fs::remove_all(kReports);
    fs::create_directories(kReports);
    const std::string disk = *rig.disk(0);
    const auto start = std::chrono::steady_clock::now();
    const RunResult result = runCaptured({std::string(DRAVEX_BUILD_FOLDER) + "/captest", "F:"},
                                         {std::string(kCapacityReportsVariable) + "=" + kReports.string()});
    Run run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::string diskseq = std::to_string(std::stoull(bytesOf("/sys/block/" + disk + "/diskseq")));
    const auto report = parseCapacityReport(bytesOf(kReports / (disk + "." + diskseq)));
    if (!report) {
        run.verdict = "no report, exit " + std::to_string(result.exitCode);
        return run;
    }
    run.verdict = report->outcome == Outcome::Genuine ? "genuine" : sizeOf(report->realBytes);
    run.right = c.genuine ? report->outcome == Outcome::Genuine
                          : report->outcome == Outcome::Counterfeit && report->realBytes == c.realMiB * kMiB;
    return run;
}

Run runF3probe(UsbRig &rig, const Case &c) {
    const F3Verdict found = f3probe(*rig.disk(0));
    Run run;
    run.seconds = found.seconds;
    run.verdict = found.genuine ? "genuine" : found.damaged ? "damaged" : sizeOf(found.usableBytes);
    run.right = c.genuine ? found.genuine : !found.genuine && found.usableBytes == c.realMiB * kMiB;
    return run;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

struct Line {
    std::vector<Run> ours;
    std::vector<Run> theirs;
    bool oursKeptFlash = true;
    bool theirsKeptFlash = true;
};

std::string column(const std::vector<Run> &runs) {
    std::vector<double> seconds;
    std::string verdict;
    bool right = true;
    for (const Run &run : runs) {
        seconds.push_back(run.seconds);
        right = right && run.right;
        if (verdict.empty() || !run.right)
            verdict = run.verdict;
    }
    char text[96];
    std::snprintf(text, sizeof text, "%-9s%s %6.1f %6.1f", verdict.c_str(), right ? " " : "!",
                  *std::min_element(seconds.begin(), seconds.end()), median(seconds));
    return text;
}

} // namespace

int main(int argc, char **argv) {
    int rounds = 2;
    if (argc == 3 && std::strcmp(argv[1], "--rounds") == 0)
        rounds = std::max(1, std::atoi(argv[2]));
    const std::vector<Case> cases{
        {"genuine 64 MiB", stickOf("BENCHGENU", 64, Flash::Genuine, 0), true, 64},
        {"64 MiB wrapping at 32", stickOf("BENCHWRAP", 64, Flash::Wraps, 32), false, 32},
        {"64 MiB dropping past 16", stickOf("BENCHDROP", 64, Flash::Drops, 16), false, 16},
        {"64 MiB failing past 24", stickOf("BENCHFAIL", 64, Flash::Fails, 24), false, 24},
        {"genuine 64 MiB, 20 ms late", stickOf("BENCHSLOW", 64, Flash::Slow, 0, 20), true, 64},
    };
    try {
        UsbRig rig;
        std::vector<Line> lines(cases.size());
        for (size_t i = 0; i < cases.size(); ++i) {
            rig.plug(0, cases[i].stick);
            for (int round = 0; round < rounds; ++round) {
                note(std::string(cases[i].name) + ", round " + std::to_string(round + 1));
                std::string before = rig.checksum(0);
                lines[i].ours.push_back(runCaptest(rig, cases[i]));
                lines[i].oursKeptFlash = lines[i].oursKeptFlash && rig.checksum(0) == before;
                before = rig.checksum(0);
                lines[i].theirs.push_back(runF3probe(rig, cases[i]));
                lines[i].theirsKeptFlash = lines[i].theirsKeptFlash && rig.checksum(0) == before;
            }
            rig.pull(0);
        }
        std::printf("\ncaptest and f3probe on the same rig sticks, %d round(s), taking turns; seconds min / median;\n"
                    "'!' marks a wrong verdict or size, 'changed' a stick whose flash was not left as it was.\n\n",
                    rounds);
        std::printf("%-28s %-24s %-24s %s\n", "stick", "captest: found  min  med", "f3probe: found  min  med",
                    "captest/f3probe (median)");
        for (size_t i = 0; i < cases.size(); ++i) {
            std::vector<double> ours, theirs;
            for (const Run &run : lines[i].ours)
                ours.push_back(run.seconds);
            for (const Run &run : lines[i].theirs)
                theirs.push_back(run.seconds);
            std::printf("%-28s %-24s %-24s %5.2f%s%s\n", cases[i].name, column(lines[i].ours).c_str(),
                        column(lines[i].theirs).c_str(), median(ours) / median(theirs),
                        lines[i].oursKeptFlash ? "" : "  captest changed", lines[i].theirsKeptFlash ? "" : "  f3probe changed");
        }
    } catch (const std::exception &error) {
        std::fprintf(stderr, "dravex-capacity-bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
