#include "platform/linux/windows/iconvcodepage.h"
#include "rig/station.h"

#include <gtest/gtest.h>

#include <QTest>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace dravex::rig {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

UsbStick stick(const std::string &label, unsigned sizeMiB, const std::string &serial) {
    UsbStick stick;
    stick.label = label;
    stick.sizeMiB = sizeMiB;
    stick.serial = serial;
    return stick;
}

// The folder the machine mounted the stick's file system at; empty when it is not mounted.
std::string mountOf(UsbRig &rig, int port) {
    const auto device = rig.volumeDevice(port);
    const auto points = device ? mountPointsOf(*device) : std::vector<std::string>{};
    return points.empty() ? std::string() : points.front();
}

std::string exitCodes(const std::vector<HelperExit> &ended) {
    std::string text;
    for (const HelperExit &exit : ended)
        text += exit.program + "=" + std::to_string(exit.exitCode) + " ";
    return text;
}

// Every program the window started ended with 0.
void expectAllSucceeded(const std::vector<HelperExit> &ended, size_t count, const char *program) {
    ASSERT_EQ(ended.size(), count) << exitCodes(ended);
    for (const HelperExit &exit : ended) {
        EXPECT_EQ(exit.program, program);
        EXPECT_EQ(exit.exitCode, 0) << exit.program;
    }
}

std::string blkidLabel(const std::string &device) {
    RunResult result = run({"blkid", "-p", "-o", "value", "-s", "LABEL", device});
    while (!result.out.empty() && result.out.back() == '\n')
        result.out.pop_back();
    return result.out;
}

std::string blkidType(const std::string &device) {
    RunResult result = run({"blkid", "-p", "-o", "value", "-s", "TYPE", device});
    return result.out.substr(0, result.out.find('\n'));
}

void writeText(const fs::path &path, const std::string &text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

TEST(RigLockTest, AWriteProtectedStickIsMarkedAndNoProbeFileIsLeft) {
    Station station;
    UsbStick locked = stick("LOCKED", 16, "RIGLOCK01");
    locked.writeProtected = true;
    station.rig().plugAll(
        {{0, stick("OPEN1", 16, "RIGOPEN01")}, {1, locked}, {2, stick("OPEN2", 16, "RIGOPEN02")}});
    station.start();
    station.press(Qt::Key_F7);
    EXPECT_EQ(station.column("Label11", 3), (QStringList{u("可读写"), u("写保护"), u("可读写")}));
    for (int port = 0; port < 3; ++port) {
        const std::string root = mountOf(station.rig(), port);
        ASSERT_FALSE(root.empty()) << port;
        EXPECT_FALSE(fs::exists(fs::path(root) / "tavrin.bin")) << port;
    }
}

// What fsck.fat or fsck.exfat finds wrong with a file system, one line each; empty when nothing. fsck.fat
// 4.2 takes no label byte above 0x7F, which Windows writes on a Chinese system, so with such a label that
// one complaint is expected.
std::vector<std::string> fsckFindings(const std::string &device, const std::string &type,
                                      bool nonAsciiLabel) {
    const RunResult check = run({type == "exfat" ? "fsck.exfat" : "fsck.vfat", "-n", device});
    if (check.exitCode == 0)
        return {};
    std::vector<std::string> findings;
    std::istringstream lines(check.out + check.err);
    for (std::string line; std::getline(lines, line);) {
        const bool expected =
            line.empty() || line.rfind("fsck.", 0) == 0 || line.rfind("exfatprogs", 0) == 0 ||
            line == "Leaving filesystem unchanged." || line.rfind(device + ":", 0) == 0 ||
            (nonAsciiLabel && (line.find("stored in root directory is not valid") != std::string::npos ||
                               line == "  Auto-removing label."));
        if (!expected)
            findings.push_back(line);
    }
    if (findings.empty() && !nonAsciiLabel)
        findings.push_back("exit code " + std::to_string(check.exitCode));
    return findings;
}

// F2 through the launcher and format.com, as the operator runs it: each round sets the dialog's file
// system, quick format and label, and checks every stick afterwards with the file-system tools.
TEST(RigFormat, QuickAndFullFatFat32AndExfatWithAsciiAndChineseLabels) {
    Station station;
    station.rig().plug(0, stick("OLD0", 16, "RIGFMT00"));
    station.start();
    ConfigDialog &dialog = station.qaStation().configDialog();
    IconvCodePage codePage;

    struct Round {
        const char *fileSystem;
        int quick;
        std::string label;
        const char *blkidType;
        std::string blkidLabel; // as the file system stores it
        std::vector<int> ports;
    };
    // The full format on one small stick; the quick ones on two sticks big enough for FAT32.
    const std::vector<Round> rounds{
        {"FAT", 0, "LOT 7", "vfat", "LOT 7", {0}},
        {"FAT32", 1, "生产批次", "vfat", codePage.toAnsi("生产批次"), {1, 2}},
        {"exFAT", 1, "客户资料", "exfat", "客户资料", {1, 2}},
    };
    for (const Round &round : rounds) {
        SCOPED_TRACE(round.fileSystem + std::string(" ") + round.label);
        if (round.ports.front() == 1 && !station.rig().isPlugged(1)) {
            station.rig().pull(0);
            station.rig().plugAll({{1, stick("OLD1", 40, "RIGFMT01")}, {2, stick("OLD2", 40, "RIGFMT02")}});
            ASSERT_TRUE(station.waitFor([&] { return station.text("Label6") == "2"; }, 30s))
                << station.describe();
        }
        dialog.setFileSystem(round.fileSystem);
        dialog.setQuickFormat(round.quick);
        dialog.setLabel(round.label);
        station.press(Qt::Key_F2);
        EXPECT_EQ(station.text("StatusBar1_Panel1"), u("格式化完成"));
        std::vector<HelperExit> ended;
        ASSERT_TRUE(station.waitForHelpers(round.ports.size(), 180s, ended)) << exitCodes(ended);
        expectAllSucceeded(ended, round.ports.size(), "format.com");
        for (int port : round.ports) {
            const auto device = station.rig().volumeDevice(port);
            ASSERT_TRUE(device) << port;
            EXPECT_FALSE(mountOf(station.rig(), port).empty()) << *device << " was not mounted again\n"
                                                               << station.describe();
            // Checked unmounted, since a mounted FAT carries the kernel's dirty flag; the window does not
            // run meanwhile, so it does not mount the stick in between.
            run({"udisksctl", "unmount", "--no-user-interaction", "-b", *device});
            const bool nonAscii = round.blkidType == std::string("vfat") && round.blkidLabel != round.label;
            EXPECT_EQ(fsckFindings(*device, round.blkidType, nonAscii), std::vector<std::string>{})
                << *device;
            EXPECT_EQ(blkidType(*device), round.blkidType) << *device;
            EXPECT_EQ(blkidLabel(*device), round.blkidLabel) << *device;
            run({"udisksctl", "mount", "--no-user-interaction", "-b", *device});
        }
        // The table follows the new file systems by itself.
        const QString label = u("卷标:" + round.label);
        EXPECT_TRUE(station.waitFor(
            [&] {
                for (size_t row = 0; row < round.ports.size(); ++row)
                    if (station.cell("Label2", static_cast<int>(row)) != label ||
                        station.cell("Label3", static_cast<int>(row)) != round.fileSystem)
                        return false;
                return true;
            },
            30s))
            << station.describe();
    }

    // A locked stick behind the others: F7 marks it, F2 formats up to it, says why and leaves it alone.
    UsbStick locked = stick("LOCKED", 16, "RIGFMT03");
    locked.writeProtected = true;
    station.rig().plug(3, locked);
    ASSERT_TRUE(station.waitFor([&] { return station.text("Label6") == "3"; }, 30s)) << station.describe();
    const std::string before = station.rig().checksum(3);
    station.press(Qt::Key_F7);
    ASSERT_EQ(station.cell("Label11", 2), u("写保护"));
    dialog.setLabel("AGAIN");
    station.press(Qt::Key_F2);
    EXPECT_EQ(station.person().messages, std::vector<std::string>{"错误: 有磁盘被写保护，格式化程序退出。"});
    std::vector<HelperExit> ended;
    ASSERT_TRUE(station.waitForHelpers(2, 180s, ended)) << exitCodes(ended);
    expectAllSucceeded(ended, 2, "format.com");
    EXPECT_EQ(station.rig().checksum(3), before);
}

class RigCopyTest : public ::testing::Test {
protected:
    RigCopyTest() {
        writeText(customer / "readme.txt", std::string(3000, 'r'));
        writeText(customer / ".hidden", "h");
        writeText(customer / "docs" / "manual.txt", std::string(70000, 'm'));
        writeText(customer / u8"资料" / u8"说明.txt", "中文文件名");
        fs::create_directories(customer / "empty");
        station.writeSettings("LOT 7", customer.string());
    }
    ~RigCopyTest() override { fs::remove_all(customer); }

    fs::path customer = "/tmp/rig/customer";
    Station station;
};

TEST_F(RigCopyTest, F4FillsEveryStickTheContentCheckPassesThemAndATamperedOneFails) {
    station.rig().plugAll({{0, stick("C0", 24, "RIGCPY00")},
                           {1, stick("C1", 24, "RIGCPY01")},
                           {2, stick("C2", 24, "RIGCPY02")}});
    station.start();
    station.press(Qt::Key_F4);
    std::vector<HelperExit> ended;
    ASSERT_TRUE(station.waitForHelpers(3, 180s, ended)) << exitCodes(ended);
    expectAllSucceeded(ended, 3, "xcopy");

    station.click("Check1");
    const QString same = u("文件:4;目录:3;大小:73,016字节");
    EXPECT_EQ(station.column("Label7", 3), (QStringList{same, same, same}));
    EXPECT_EQ(station.column("Label11", 3), (QStringList{u("OK"), u("OK"), u("OK")}));

    // Someone changes a file on the middle stick afterwards.
    std::ofstream(fs::path(mountOf(station.rig(), 1)) / "readme.txt", std::ios::app) << "!";
    station.press(Qt::Key_F5);
    EXPECT_EQ(station.column("Label11", 3), (QStringList{u("OK"), u("NG"), u("OK")}));
}

TEST_F(RigCopyTest, AStickPulledDuringTheCopyFailsItsXcopyAndTheToolCarriesOn) {
    writeText(customer / "big.bin", std::string(12u << 20, 'b'));
    station.rig().plugAll({{0, stick("C0", 32, "RIGCPY10")}, {1, stick("C1", 32, "RIGCPY11")}});
    station.start();
    station.press(Qt::Key_F4);
    const fs::path target = fs::path(mountOf(station.rig(), 0)) / "big.bin";
    ASSERT_TRUE(station.waitFor([&] { return fs::exists(target); }, 60s));
    station.rig().pull(0);

    std::vector<HelperExit> ended;
    ASSERT_TRUE(station.waitForHelpers(2, 180s, ended)) << exitCodes(ended);
    std::sort(ended.begin(), ended.end(),
              [](const HelperExit &a, const HelperExit &b) { return a.exitCode < b.exitCode; });
    EXPECT_EQ(ended.front().exitCode, 0) << "the stick left alone";
    EXPECT_NE(ended.back().exitCode, 0) << "the pulled stick";
    EXPECT_TRUE(station.waitFor([&] { return station.text("Label6") == "1"; }, 20s));
    station.click("Check1");
    EXPECT_EQ(station.cell("Label11", 0), u("OK"));
}

} // namespace
} // namespace dravex::rig
