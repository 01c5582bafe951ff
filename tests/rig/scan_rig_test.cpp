#include "rig/station.h"
#include "scan/numberformat.h"

#include <gtest/gtest.h>

#include <QTest>

#include <sys/statvfs.h>

namespace dravex::rig {
namespace {

using namespace std::chrono_literals;

std::string two(int number) {
    return (number < 10 ? "0" : "") + std::to_string(number);
}

// Stick n of a batch: its own label, serial and size; the file systems and layouts of a real batch mixed.
UsbStick batchStick(int port) {
    UsbStick stick;
    stick.label = "STICK" + two(port);
    stick.serial = "RIG" + two(port) + "A4C3FAE22BE";
    stick.sizeMiB = 16 + 2 * static_cast<unsigned>(port);
    if (port == 2)
        stick.fileSystem = "fat32", stick.sizeMiB = 40;
    if (port == 4)
        stick.fileSystem = "exfat";
    if (port == 5)
        stick.writeProtected = true;
    if (port == 7)
        stick.partitioned = false;
    if (port == 3)
        stick.files = {{"readme.txt", std::string(5000, 'r')}, {"docs/a.bin", std::string(70000, 'a')}};
    return stick;
}

const char *shownFileSystem(const UsbStick &stick) {
    return stick.fileSystem == "fat32" ? "FAT32" : stick.fileSystem == "exfat" ? "exFAT" : "FAT";
}

// The capacity and used-space cells as statvfs measures the mounted stick.
std::pair<QString, QString> measuredCells(UsbRig &rig, int port) {
    const auto device = rig.volumeDevice(port);
    const auto mounts = device ? mountPointsOf(*device) : std::vector<std::string>{};
    if (mounts.empty())
        return {QStringLiteral("<not mounted>"), QString()};
    struct statvfs status {};
    if (::statvfs(mounts.front().c_str(), &status) != 0)
        return {QStringLiteral("<no statvfs>"), QString()};
    const double total = static_cast<double>(status.f_blocks) * status.f_frsize;
    const double free = static_cast<double>(status.f_bfree) * status.f_frsize;
    return {u(formatCapacity(static_cast<float>(total), Variant::V2)),
            u("已用:" + formatWholeGrouped(total - free) + "字节")};
}

TEST(RigScan, TenSticksInPortOrderTheEleventhLeftOutAndUnreadableOrFixedDisks) {
    Station station;
    std::map<int, UsbStick> sticks;
    for (int port = 0; port < UsbRig::kPorts; ++port)
        sticks[port] = batchStick(port);
    station.rig().plugAll(sticks);
    station.start();

    EXPECT_EQ(station.text("Label6"), u("10"));
    EXPECT_EQ(station.text("StatusBar1_Panel1"), u("列举完成...共有10个U盘。"));
    QStringList letters, labels, fileSystems, capacities, used;
    for (int port = 0; port < 10; ++port) {
        letters << QString(QChar('F' + port));
        labels << u("卷标:" + sticks[port].label);
        fileSystems << shownFileSystem(sticks[port]);
        const auto [capacity, usedSpace] = measuredCells(station.rig(), port);
        capacities << capacity;
        used << usedSpace;
    }
    EXPECT_EQ(station.column("Label1", 10), letters);
    EXPECT_EQ(station.column("Label2", 10), labels);
    EXPECT_EQ(station.column("Label3", 10), fileSystems);
    EXPECT_EQ(station.column("Label4", 10), capacities);
    EXPECT_EQ(station.column("Label5", 10), used);

    // Three go; a USB disk that says it is fixed and a stick without a file system come.
    for (int port : {8, 9, 10})
        station.rig().pull(port);
    UsbStick fixed = batchStick(9);
    fixed.removable = false;
    UsbStick blank = batchStick(10);
    blank.fileSystem.clear();
    station.rig().plugAll({{9, fixed}, {10, blank}});
    station.press(Qt::Key_F5);
    EXPECT_EQ(station.text("Label6"), u("8"));
    EXPECT_EQ(station.column("Label1", 10), (letters.mid(0, 8) << u("N") << QString()));
    // The blank stick keeps its letter and says it cannot be read; the fixed disk takes no letter.
    EXPECT_EQ(station.cell("Label5", 8), u("不能得到N磁盘信息"));
    EXPECT_EQ(station.cell("Label2", 8), QString());
}

TEST(RigScan, TheWindowFollowsEveryPlugAndPullByItself) {
    Station station;
    station.start();
    EXPECT_EQ(station.text("Label6"), u("0"));

    const auto showsSticks = [&](const QStringList &expected) {
        return [&station, expected] {
            return station.column("Label1", 10) == expected &&
                   station.text("Label6") ==
                       QString::number(expected.count(QString()) == 10 ? 0 : 10 - expected.count(QString()));
        };
    };
    const QStringList none(10, QString());
    QStringList justH = none;
    justH[0] = u("F");

    // How long after udev announced the change the table was right, in ms; -1 when it was not in time.
    const auto shownAfter = [&](const QStringList &expected, std::chrono::milliseconds limit) {
        const auto start = std::chrono::steady_clock::now();
        const bool shown = station.waitFor(showsSticks(expected), limit);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        return shown ? std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() : -1;
    };

    station.rig().plug(0, batchStick(0));
    const auto plugShown = shownAfter(justH, 10s);
    EXPECT_NE(plugShown, -1) << station.column("Label1", 10).join(',').toStdString();
    EXPECT_EQ(station.cell("Label2", 0), u("卷标:STICK00"));
    const auto rescanStart = std::chrono::steady_clock::now();
    station.press(Qt::Key_F5);
    const auto rescan = std::chrono::steady_clock::now() - rescanStart;
    station.rig().pull(0);
    const auto pullShown = shownAfter(none, 10s);
    EXPECT_NE(pullShown, -1);
    std::cout << "[ rig      ] plug shown after " << plugShown << " ms, pull after " << pullShown
              << " ms; a rescan of the same stick takes "
              << std::chrono::duration_cast<std::chrono::milliseconds>(rescan).count() << " ms" << std::endl;

    // Ten at once: one burst of events, one right table at the end.
    std::map<int, UsbStick> ten;
    QStringList letters;
    for (int port = 0; port < 10; ++port) {
        ten[port] = batchStick(port);
        letters << QString(QChar('F' + port));
    }
    station.rig().plugAll(ten);
    EXPECT_TRUE(station.waitFor(showsSticks(letters), 10s))
        << station.column("Label1", 10).join(',').toStdString();
    QStringList labels;
    for (int port = 0; port < 10; ++port)
        labels << u("卷标:" + ten[port].label);
    EXPECT_EQ(station.column("Label2", 10), labels);
}

TEST(RigIdentity, EveryRowShowsWhatItsGadgetDeclares) {
    Station station;
    std::map<int, UsbStick> sticks;
    const std::vector<std::tuple<std::string, std::string, std::string, std::string>> makers{
        {"0951", "1666", "Kingston", "DataTraveler 3.0"},
        {"090C", "1000", "SMI", "USB DISK"},
        {"058F", "6387", "Generic", "Flash Disk"},
    };
    for (int port = 0; port < 3; ++port) {
        UsbStick stick = batchStick(port);
        const auto &[vid, pid, vendor, product] = makers[static_cast<size_t>(port)];
        stick.vid = vid;
        stick.pid = pid;
        // The SCSI inquiry: vendor in 8 characters, product in 16, revision in 4.
        stick.inquiry = (vendor + "        ").substr(0, 8) + (product + std::string(16, ' ')).substr(0, 16) +
                        "1.0" + std::to_string(port);
        sticks[port] = stick;
    }
    station.rig().plugAll(sticks);
    station.start();
    // UDisks2 publishes the sticks after udev; the window rescans when it has.
    ASSERT_TRUE(station.waitFor([&] { return station.text("Label6") == "3"; }, 30s)) << station.describe();
    station.click("Check2");
    station.press(Qt::Key_F5);
    ASSERT_EQ(station.column("Label1", 3), (QStringList{u("F"), u("G"), u("H")}))
        << station.text("StatusBar1_Panel1").toStdString();

    for (int port = 0; port < 3; ++port) {
        const auto &[vid, pid, vendor, product] = makers[static_cast<size_t>(port)];
        SCOPED_TRACE(vendor);
        // Windows names the disk USBSTOR\DISK&VEN_<vendor>&PROD_<product, blanks as
        // _>&REV_<revision>\<serial>&0, in upper case, and the tool takes the product's first word.
        const QString firstWord = u(product.substr(0, product.find(' '))).toUpper();
        EXPECT_EQ(station.cell("Label9", port),
                  u(vendor).toUpper() + " " + firstWord + " 1.0" + QString::number(port));
        EXPECT_EQ(station.cell("Label10", port), u("S/N:" + sticks[port].serial));
        EXPECT_EQ(station.cell("Label12", port), u("VID_" + vid + "&PID_" + pid));
    }
}

} // namespace
} // namespace dravex::rig
