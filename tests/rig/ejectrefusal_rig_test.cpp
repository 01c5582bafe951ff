#include "helpers/helpertexts.h"
#include "record/localjournal.h"
#include "rig/station.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <map>

namespace dravex::rig {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

UsbStick stick(const std::string &label, const std::string &fileSystem, unsigned sizeMiB) {
    UsbStick stick;
    stick.label = label;
    stick.fileSystem = fileSystem;
    stick.sizeMiB = sizeMiB;
    stick.serial = "RIGEJ" + label;
    return stick;
}

std::string blkidLabel(const std::string &device) {
    const RunResult result = run({"blkid", "-p", "-o", "value", "-s", "LABEL", device});
    return result.out.substr(0, result.out.find('\n'));
}

void expectRemoved(const std::vector<HelperExit> &ended, size_t count) {
    ASSERT_EQ(ended.size(), count);
    for (const HelperExit &exit : ended) {
        EXPECT_EQ(exit.program, "RemoveDrive.exe");
        EXPECT_EQ(exit.exitCode, 0);
    }
}

// F6 through the volume services, a row-number click and F8 through RemoveDrive.exe: the labels land on
// the media and the ejected sticks leave the kernel.
void relabelAndEject(Station &station) {
    UsbRig &rig = station.rig();
    station.press(Qt::Key_F6);
    const QString label = u("卷标:NEWLABEL");
    EXPECT_EQ(station.column("Label2", 3), (QStringList{label, label, label}));
    for (int port = 0; port < 3; ++port)
        EXPECT_EQ(blkidLabel(rig.volumeDevice(port).value_or("")), "NEWLABEL") << port;

    QTest::mouseClick(station.window().findChild<QLabel *>("Label8_0"), Qt::LeftButton);
    EXPECT_EQ(station.text("StatusBar1_Panel1"), u("卸载F盘，请单击..."));
    std::vector<HelperExit> ended;
    ASSERT_TRUE(station.waitForHelpers(1, 60s, ended));
    expectRemoved(ended, 1);
    EXPECT_FALSE(rig.disk(0)) << "the stick is still in the kernel";
    EXPECT_TRUE(station.waitFor([&] { return station.text("Label6") == "2"; }, 20s));

    ended.clear();
    station.press(Qt::Key_F8);
    ASSERT_TRUE(station.waitForHelpers(2, 60s, ended));
    expectRemoved(ended, 2);
    EXPECT_FALSE(rig.disk(1));
    EXPECT_FALSE(rig.disk(2));
    EXPECT_TRUE(station.waitFor([&] { return station.text("Label6") == "0"; }, 20s));
}

// The production record then holds, per gadget, the tool's relabel and RemoveDrive.exe's eject.
TEST(RigRelabelAndEject, ThroughUDisks2) {
    Station station;
    station.writeSettings("NEWLABEL", "");
    station.rig().plugAll(
        {{0, stick("OLD0", "vfat", 16)}, {1, stick("OLD1", "exfat", 16)}, {2, stick("OLD2", "fat32", 40)}});
    station.start();
    relabelAndEject(station);

    LocalJournal::Opening opening = LocalJournal::open(station.programFolder() + "/Dravex.db");
    ASSERT_TRUE(opening.journal) << opening.error;
    std::map<std::string, std::string> steps;
    for (const ProductionRecord &record : opening.journal->select({})) {
        steps[record.serial] += record.operation + "=" + record.result + " ";
        if (record.operation == "relabel") {
            EXPECT_EQ(record.parameters, "NEWLABEL");
            EXPECT_EQ(record.label, "NEWLABEL") << record.serial;
            EXPECT_EQ(record.message, "卷标:NEWLABEL");
        }
    }
    EXPECT_EQ(steps, (std::map<std::string, std::string>{{"RIGEJOLD0", "relabel=OK eject=0 "},
                                                         {"RIGEJOLD1", "relabel=OK eject=0 "},
                                                         {"RIGEJOLD2", "relabel=OK eject=0 "}}));
}

// FAT only: exfatlabel takes no mounted volume, and without UDisks2 the tool could not mount it again.
TEST(RigRelabelAndEject, ThroughTheFallbackWhenUDisks2IsGone) {
    Station station;
    station.writeSettings("NEWLABEL", "");
    station.rig().plugAll(
        {{0, stick("OLD0", "vfat", 16)}, {1, stick("OLD1", "vfat", 24)}, {2, stick("OLD2", "fat32", 40)}});
    station.start();
    ASSERT_EQ(station.text("Label6"), u("3"));
    WithoutUDisks2 stopped;
    ASSERT_NE(run({"gdbus", "introspect", "--system", "--dest", "org.freedesktop.UDisks2", "--object-path",
                   "/org/freedesktop/UDisks2"})
                  .exitCode,
              0)
        << "UDisks2 still answers";
    relabelAndEject(station);
}

// The refusals of the three helpers, run as the tool runs them, on disks they must never touch.
TEST(RigRefusals, EveryHelperRefusesAFixedDiskAndSticksWithASystemMountOrSwapAndWritesNothing) {
    UsbRig rig;
    UsbStick fixed = stick("FIXED", "vfat", 16);
    fixed.removable = false;
    UsbStick home = stick("HOME", "vfat", 16);
    UsbStick swap = stick("SWAP", "", 16);
    rig.plugAll({{0, fixed}, {1, home}, {2, swap}});
    const std::string homeDevice = rig.volumeDevice(1).value_or("");
    const std::string swapDevice = rig.volumeDevice(2).value_or("");
    ASSERT_EQ(run({"mount", "-o", "ro", homeDevice, "/home"}).exitCode, 0);
    ASSERT_EQ(run({"mkswap", swapDevice}).exitCode, 0);
    ASSERT_EQ(run({"swapon", swapDevice}).exitCode, 0);
    std::map<int, std::string> before;
    for (int port : {0, 1, 2})
        before[port] = rig.checksum(port);

    fs::create_directories("/tmp/rig/refusal-source");
    std::ofstream("/tmp/rig/refusal-source/file.txt") << "data";
    const std::string folder = buildFolder() + "/";
    // The fixed disk takes no letter, so H: names nothing; F: is the /home stick, G: the swap stick.
    const std::vector<std::tuple<char, const char *>> letters{
        {'F', helpertexts::kSystemMount}, {'G', helpertexts::kActiveSwap}, {'H', helpertexts::kNotMapped}};
    for (const auto &[letter, reason] : letters) {
        const std::string drive(1, letter);
        for (const std::vector<std::string> &command : std::vector<std::vector<std::string>>{
                 {folder + "format.com", drive + ":/FS:FAT/V:X/q/y"},
                 {folder + "xcopy", "/tmp/rig/refusal-source\\*.*", drive + ":\\./v/h/e/f/k"},
                 {folder + "RemoveDrive.exe", drive + ":"}}) {
            SCOPED_TRACE(command.front() + " " + drive);
            const RunResult result = run(command);
            EXPECT_EQ(result.exitCode, 2) << result.out << result.err;
            EXPECT_NE(result.err.find(reason), std::string::npos) << result.err;
        }
    }
    for (int port : {0, 1, 2})
        EXPECT_EQ(rig.checksum(port), before[port]) << port;
    EXPECT_EQ(mountPointsOf(homeDevice), std::vector<std::string>{"/home"});
    EXPECT_TRUE(rig.disk(0) && rig.disk(1) && rig.disk(2)) << "a disk was ejected";

    run({"swapoff", swapDevice});
    run({"umount", "/home"});
}

} // namespace
} // namespace dravex::rig
