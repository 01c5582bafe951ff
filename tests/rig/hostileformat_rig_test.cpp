#include "rig/station.h"

#include <gtest/gtest.h>

namespace dravex::rig {
namespace {

using namespace std::chrono_literals;

bool isMounted(UsbRig &rig, int port) {
    const auto device = rig.volumeDevice(port);
    return device && !mountPointsOf(*device).empty();
}

// F2 on sticks the chosen file system does not fit: format.com refuses each before it unmounts or writes
// anything. Only sticks too small are tried here; a stick too large (FAT16 past 4 GiB) would take minutes
// to checksum in the emulated guest, so that side is proven on sparse images in the helpers' tests. The
// probe file's links and FIFOs cannot exist on vfat at all: they are proven on fixture folders only.
TEST(RigHostileFormat, SticksTooSmallForTheFileSystemAreRefusedAndLeftMounted) {
    Station station;
    // 10 MiB is too small for FAT32's fewest clusters; the 3 MiB stick's 2 MiB partition also for exFAT.
    UsbStick ten;
    ten.sizeMiB = 10;
    ten.serial = "RIGHOS00";
    UsbStick three = ten;
    three.sizeMiB = 3;
    three.serial = "RIGHOS01";
    station.rig().plugAll({{0, ten}, {1, three}});
    station.start();
    ASSERT_TRUE(station.waitFor([&] { return station.text("Label6") == "2"; }, 30s)) << station.describe();
    ASSERT_TRUE(
        station.waitFor([&] { return isMounted(station.rig(), 0) && isMounted(station.rig(), 1); }, 30s))
        << station.describe();
    const std::string before[] = {station.rig().checksum(0), station.rig().checksum(1)};

    struct Round {
        const char *fileSystem;
        int quick;
        std::vector<int> ports;
    };
    // The full format first: it used to write zeros over the stick before mkfs found it too small.
    for (const Round &round : {Round{"FAT32", 0, {0, 1}}, Round{"exFAT", 1, {1}}}) {
        SCOPED_TRACE(round.fileSystem);
        if (round.ports.size() == 1) {
            station.rig().pull(0);
            ASSERT_TRUE(station.waitFor([&] { return station.text("Label6") == "1"; }, 30s))
                << station.describe();
        }
        ConfigDialog &dialog = station.qaStation().configDialog();
        dialog.setFileSystem(round.fileSystem);
        dialog.setQuickFormat(round.quick);
        dialog.setLabel("NEW");
        station.press(Qt::Key_F2);
        std::vector<HelperExit> ended;
        ASSERT_TRUE(station.waitForHelpers(round.ports.size(), 120s, ended));
        ASSERT_EQ(ended.size(), round.ports.size());
        for (const HelperExit &exit : ended) {
            EXPECT_EQ(exit.program, "format.com");
            EXPECT_EQ(exit.exitCode, 2);
        }
        for (int port : round.ports) {
            EXPECT_TRUE(isMounted(station.rig(), port)) << port << "\n" << station.describe();
            EXPECT_EQ(station.rig().checksum(port), before[port]) << port;
        }
    }
}

} // namespace
} // namespace dravex::rig
