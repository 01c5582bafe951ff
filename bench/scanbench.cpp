// How long one drive scan takes with ten sticks: over the Linux services reading the ten-stick fixture
// tree, the same with "查看VPSN" ticked so every stick's USB identity is looked up through the Linux
// management data and mass-storage list, over the simulated bench, and, for scale, how long lsblk takes
// to list the same tree.
#include "bench/programoutput.h"
#include "platform/linux/windows/iconvcodepage.h"
#include "platform/linux/windows/linuxmanagementdata.h"
#include "platform/linux/windows/linuxusbstorageregistry.h"
#include "platform/linux/windows/linuxvolumeservices.h"
#include "platform/sim/simbench.h"
#include "station/qastation.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace dravex;
namespace fs = std::filesystem;

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

// The services of a station whose volumes, management data and registry are given; the rest, which a scan
// does not ask, come from an idle simulated bench.
struct BenchServices {
    SimBench idle;
    IconvCodePage codePage;
    PlatformServices services;

    BenchServices(VolumeServices &volumes, ManagementData &management, RegistryReader &registry)
        : services{volumes, idle, idle, codePage, idle, management, registry, idle, idle.capacityReports(),
                   idle.productionLog(), "C:\\DRAVEX"} {}
};

bool scanFilledAllRows(const DriveTable &table) {
    return table.driveCount == std::to_string(kDriveCount) &&
           !table.slots[kDriveCount - 1].fileSystem.empty();
}

// Each row must name its own stick, with the VID/PID found in the mass-storage list.
bool scanIdentifiedAllRows(const DriveTable &table) {
    std::set<std::string> serials;
    for (int i = 0; i < kDriveCount; ++i) {
        const DriveSlot &slot = table.slots[static_cast<size_t>(i)];
        if (slot.deviceName != "ABC FLASH 1100" || slot.deviceKey != "VID_1234&PID_ABCD")
            return false;
        serials.insert(slot.deviceSerial);
    }
    return serials.size() == kDriveCount;
}

void print(const char *what, const Figures &figures) {
    std::printf("%-48s mean %8.3f ms   median %8.3f ms\n", what, figures.meanMs, figures.medianMs);
}

bool appendTo(const fs::path &file, const std::string &text) {
    std::ofstream out(file, std::ios::app);
    out << text;
    return static_cast<bool>(out);
}

// The ten-stick tree's sticks carry no USB identity; the copy gives each the udev keys and USB descriptors
// a real stick has (stick n on port 1-n, serial BENCH00000n), so the lookup does all its work and finds
// every stick.
bool addUsbIdentities(const fs::path &tree) {
    const fs::path usb = tree / "sys/devices/pci0000:00/0000:00:14.0/usb1";
    const fs::path bus = tree / "sys/bus/usb/devices";
    std::error_code error;
    fs::create_directories(bus, error);
    for (int i = 0; i < kDriveCount; ++i) {
        const std::string disk = std::string("sd") + static_cast<char>('b' + i);
        const std::string port = "1-" + std::to_string(i + 1);
        const std::string interface = port + ":1.0";
        const std::string serial =
            "BENCH" + std::string(i + 1 < 10 ? "00000" : "0000") + std::to_string(i + 1);
        std::ifstream devFile(tree / "sys/block" / disk / "dev");
        std::string dev;
        if (!std::getline(devFile, dev) || !fs::is_directory(usb / port / interface))
            return false;
        const bool written =
            appendTo(tree / "run/udev/data" / ("b" + dev),
                     "E:ID_USB_DRIVER=usb-storage\nE:ID_USB_VENDOR=ABC\n"
                     "E:ID_USB_VENDOR_ENC=ABC\\x20\\x20\\x20\\x20\\x20\nE:ID_USB_MODEL=FLASH_DISK\n"
                     "E:ID_USB_MODEL_ENC=FLASH\\x20DISK\\x20\\x20\\x20\\x20\\x20\\x20\n"
                     "E:ID_USB_REVISION=1100\nE:ID_USB_SERIAL_SHORT=" +
                         serial + "\nE:ID_USB_VENDOR_ID=1234\nE:ID_USB_MODEL_ID=abcd\n") &&
            appendTo(usb / port / "idVendor", "1234\n") && appendTo(usb / port / "idProduct", "abcd\n") &&
            appendTo(usb / port / "serial", serial + "\n") &&
            appendTo(usb / port / interface / "bInterfaceClass", "08\n");
        fs::create_directory_symlink(fs::path("../../../devices/pci0000:00/0000:00:14.0/usb1") / port,
                                     bus / port, error);
        fs::create_directory_symlink(fs::path("../../../devices/pci0000:00/0000:00:14.0/usb1") / port /
                                         interface,
                                     bus / interface, error);
        if (!written || error)
            return false;
    }
    return true;
}

// A copy of the tree in a folder of the bench's own, removed at the end.
class TreeCopy {
public:
    explicit TreeCopy(const fs::path &tree)
        : m_path(fs::temp_directory_path() / ("dravex-scan-bench-" + std::to_string(::getpid()))) {
        std::error_code error;
        fs::remove_all(m_path, error);
        fs::copy(tree, m_path, fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
        m_copied = !error;
    }
    ~TreeCopy() {
        std::error_code error;
        fs::remove_all(m_path, error);
    }
    TreeCopy(const TreeCopy &) = delete;
    TreeCopy &operator=(const TreeCopy &) = delete;

    bool copied() const { return m_copied; }
    const fs::path &path() const { return m_path; }

private:
    fs::path m_path;
    bool m_copied = false;
};

} // namespace

int main() {
    const std::string tree = DRAVEX_TEN_STICKS;
    std::printf("ten sticks, %d runs each; tree %s\n", kIterations, tree.c_str());

    RefusingMounter mounter;
    LinuxVolumeServices linuxServices(tree, mounter);
    LinuxManagementData linuxManagement(linuxServices, tree);
    LinuxUsbStorageRegistry linuxRegistry(linuxServices, tree);
    BenchServices linuxMachine(linuxServices, linuxManagement, linuxRegistry);
    QaStation linuxStation(Variant::V2, linuxMachine.services);
    const DriveTable &linuxTable = linuxStation.driveTable();
    linuxStation.scan();
    if (!scanFilledAllRows(linuxTable)) {
        std::fprintf(stderr, "the scan over the fixture tree found %s drives, not %d\n",
                     linuxTable.driveCount.c_str(), kDriveCount);
        return 1;
    }

    const TreeCopy identityTree(tree);
    if (!identityTree.copied() || !addUsbIdentities(identityTree.path())) {
        std::fprintf(stderr, "could not give the sticks of a copy of the tree in %s their USB identities\n",
                     identityTree.path().c_str());
        return 1;
    }
    LinuxVolumeServices identityServices(identityTree.path().string(), mounter);
    LinuxManagementData management(identityServices, identityTree.path().string());
    LinuxUsbStorageRegistry registry(identityServices, identityTree.path().string());
    BenchServices identityMachine(identityServices, management, registry);
    QaStation identityStation(Variant::V2, identityMachine.services);
    identityStation.state().check2 = kChecked;
    const DriveTable &identityTable = identityStation.driveTable();
    identityStation.scan();
    if (!scanFilledAllRows(identityTable) || !scanIdentifiedAllRows(identityTable)) {
        std::fprintf(
            stderr,
            "the scan with Check2 ticked did not identify all %d sticks; row 1: \"%s\" \"%s\" \"%s\"\n",
            kDriveCount, identityTable.slots[0].deviceName.c_str(),
            identityTable.slots[0].deviceSerial.c_str(), identityTable.slots[0].deviceKey.c_str());
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
    IconvCodePage simCodePage;
    PlatformServices simServices{
        bench, bench, bench, simCodePage, bench, bench, bench, bench, bench.capacityReports(), bench.productionLog(),
        "C:\\DRAVEX"};
    QaStation simStation(Variant::V2, simServices);
    const DriveTable &simTable = simStation.driveTable();
    simStation.scan();
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

    print("QaStation::scan, LinuxVolumeServices", measure([&] { linuxStation.scan(); }));
    print("QaStation::scan, Linux services, Check2 ticked", measure([&] { identityStation.scan(); }));
    print("QaStation::scan, SimBench", measure([&] { simStation.scan(); }));
    print("lsblk --sysroot (spawn, list, wait)", measure([&] {
              programOutput({"lsblk", "--sysroot", tree});
          }));
    return 0;
}
