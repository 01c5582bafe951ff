// How long one drive scan takes with ten sticks: over the Linux services reading the ten-stick fixture
// tree, over the simulated bench, and, for scale, how long lsblk takes to list the same tree.
#include "bench/programoutput.h"
#include "platform/linux/linuxvolumeservices.h"
#include "platform/sim/simbench.h"
#include "scan/drivescan.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

namespace {

using namespace dravex;

constexpr int kIterations = 200;
constexpr int kDriveCount = 10;

// The fixture's sticks are all mounted; a mount request would be a fault of the bench.
class RefusingMounter : public Mounter {
public:
    std::optional<std::string> mount(const std::string &) override { return std::nullopt; }
};

struct Figures {
    double meanMs = 0;
    double medianMs = 0;
};

Figures measure(const std::function<void()> &run) {
    std::vector<double> times;
    for (int i = 0; i < kIterations; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    const double median = (times[times.size() / 2] + times[(times.size() - 1) / 2]) / 2;
    return {std::accumulate(times.begin(), times.end(), 0.0) / static_cast<double>(times.size()), median};
}

bool scanFilledAllRows(const DriveTable &table) {
    return table.driveCount == std::to_string(kDriveCount) &&
           !table.slots[kDriveCount - 1].fileSystem.empty();
}

void print(const char *what, const Figures &figures) {
    std::printf("%-44s mean %8.3f ms   median %8.3f ms\n", what, figures.meanMs, figures.medianMs);
}

} // namespace

int main() {
    const std::string tree = DRAVEX_TEN_STICKS;
    std::printf("ten sticks, %d runs each; tree %s\n", kIterations, tree.c_str());

    RefusingMounter mounter;
    LinuxVolumeServices linuxServices(tree, mounter);
    DriveTable linuxTable;
    MainWindowState linuxWindow;
    DriveScan linuxScan(linuxServices, linuxTable, linuxWindow, Variant::V2);
    linuxScan.chus();
    if (!scanFilledAllRows(linuxTable)) {
        std::fprintf(stderr, "the scan over the fixture tree found %s drives, not %d\n",
                     linuxTable.driveCount.c_str(), kDriveCount);
        return 1;
    }

    SimBench bench;
    for (int i = 0; i < kDriveCount; ++i) {
        SimDrive drive;
        drive.letter = static_cast<char>('F' + i);
        drive.label = "STICK" + std::to_string(i + 1);
        drive.totalBytes = 4026531840;
        drive.totalFreeBytes = 4000000000;
        drive.freeBytesAvailableToCaller = 4000000000;
        bench.plug(drive);
    }
    DriveTable simTable;
    MainWindowState simWindow;
    DriveScan simScan(bench, simTable, simWindow, Variant::V2);
    simScan.chus();
    if (!scanFilledAllRows(simTable)) {
        std::fprintf(stderr, "the scan over the simulated bench found %s drives\n",
                     simTable.driveCount.c_str());
        return 1;
    }

    const auto listing = programOutput({"lsblk", "--sysroot", tree});
    if (!listing) {
        std::fprintf(stderr, "lsblk --sysroot %s failed\n", tree.c_str());
        return 1;
    }
    for (char disk = 'b'; disk < 'b' + kDriveCount; ++disk) {
        if (listing->find(std::string("sd") + disk + "1") == std::string::npos) {
            std::fprintf(stderr, "lsblk did not list sd%c1:\n%s", disk, listing->c_str());
            return 1;
        }
    }

    print("DriveScan::chus, LinuxVolumeServices", measure([&] { linuxScan.chus(); }));
    print("DriveScan::chus, SimBench", measure([&] { simScan.chus(); }));
    print("lsblk --sysroot (spawn, list, wait)", measure([&] {
              programOutput({"lsblk", "--sysroot", tree});
          }));
    return 0;
}
