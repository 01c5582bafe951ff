// The helpers against disks they must not touch, on the real kernel: a letter that moved to another stick
// after the tool's scan, a stick mounted outside the media folders, a mapping stacked on a stick, and an
// extended partition's container. Each stick that must stay untouched keeps its bytes.
#include "rig/station.h"

#include "platform/linux/sysfs/drivemap.h"
#include "platform/linux/sysfs/volumeguard.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace dravex::rig {
namespace {

constexpr int kExitDone = 0;
constexpr int kExitRefused = 2;
constexpr int kExitDriveChanged = 4;

std::string program(const std::string &name) {
    return buildFolder() + "/" + name;
}

RunResult runHelper(const std::vector<std::string> &arguments,
                    const std::vector<std::string> &environment = {}) {
    std::vector<std::string> argv = arguments;
    argv.front() = program(argv.front());
    return runCaptured(argv, environment);
}

UsbStick stick(const std::string &serial) {
    UsbStick made;
    made.sizeMiB = 16;
    made.serial = serial;
    return made;
}

std::string scannedNow() {
    return "DRAVEX_SCANNED_DISKS=" + scannedDisksText(DriveMap::read(SystemRoot("/")));
}

TEST(RigHostileDisks, HelpersRefuseALetterThatMovedToAnotherStickSinceTheScan) {
    UsbRig rig;
    rig.plugAll({{0, stick("RIGMOVE0")}, {1, stick("RIGMOVE1")}, {2, stick("RIGMOVE2")}});
    // The tool scanned F:, G: and H:; then F:'s stick was pulled, and G: is H:'s stick now.
    const std::string scanned = scannedNow();
    rig.pull(0);
    const std::string before = rig.checksum(2);
    const RunResult eject = runHelper({"RemoveDrive.exe", "G"}, {scanned});
    EXPECT_EQ(eject.exitCode, kExitDriveChanged) << eject.out << eject.err;
    EXPECT_NE(eject.err.find("盘符已指向另一个磁盘"), std::string::npos) << eject.err;
    const RunResult format = runHelper({"format.com", "G:/FS:FAT/V:X/q/y"}, {scanned});
    EXPECT_EQ(format.exitCode, kExitDriveChanged) << format.out << format.err;
    EXPECT_TRUE(rig.disk(1) && rig.disk(2));
    EXPECT_EQ(rig.checksum(2), before);
    // After a new scan the letter is the tool's again.
    const RunResult rescanned = runHelper({"RemoveDrive.exe", "G"}, {scannedNow()});
    EXPECT_EQ(rescanned.exitCode, kExitDone) << rescanned.out << rescanned.err;
    EXPECT_FALSE(rig.disk(2));
    EXPECT_TRUE(rig.disk(1));
}

TEST(RigHostileDisks, StickMountedOutsideTheMediaFoldersOrUnderAMappingIsRefused) {
    UsbRig rig;
    rig.plugAll({{0, stick("RIGHOLD0")}, {1, stick("RIGHOLD1")}});
    const std::string first = *rig.volumeDevice(0);
    const std::string second = *rig.volumeDevice(1);
    const std::string before[] = {rig.checksum(0), rig.checksum(1)};

    // F: is also mounted where the machine keeps its own data.
    std::filesystem::create_directories("/srv/op");
    ASSERT_EQ(run({"mount", first, "/srv/op"}).exitCode, 0);
    for (const std::vector<std::string> &command :
         {std::vector<std::string>{"format.com", "F:/FS:FAT/q/y"}, {"RemoveDrive.exe", "F"}}) {
        const RunResult result = runHelper(command);
        EXPECT_EQ(result.exitCode, kExitRefused) << command.front() << result.out << result.err;
        EXPECT_NE(result.err.find("/srv/op"), std::string::npos) << result.err;
    }
    EXPECT_EQ(run({"umount", "/srv/op"}).exitCode, 0);

    // G: carries a device-mapper mapping, as a volume group or an encrypted volume would.
    run({"modprobe", "dm_mod"});
    const std::string name = std::filesystem::path(second).filename();
    const std::string sectors = run({"cat", "/sys/class/block/" + name + "/size"}).out;
    ASSERT_EQ(run({"dmsetup", "create", "righolder", "--noudevsync", "--table",
                   "0 " + sectors.substr(0, sectors.find('\n')) + " linear " + second + " 0"})
                  .exitCode,
              0);
    for (const std::vector<std::string> &command :
         {std::vector<std::string>{"format.com", "G:/FS:FAT/q/y"}, {"RemoveDrive.exe", "G"}}) {
        const RunResult result = runHelper(command);
        EXPECT_EQ(result.exitCode, kExitRefused) << command.front() << result.out << result.err;
        EXPECT_NE(result.err.find("映射设备"), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("righolder"), std::string::npos) << result.err;
    }
    EXPECT_TRUE(rig.disk(0) && rig.disk(1));
    EXPECT_EQ(run({"dmsetup", "remove", "--noudevsync", "righolder"}).exitCode, 0);
    EXPECT_EQ(rig.checksum(0), before[0]);
    EXPECT_EQ(rig.checksum(1), before[1]);
}

TEST(RigHostileDisks, AnOpenEncryptedVolumeIsClosedThroughUDisks2BeforeTheStickGoes) {
    UsbRig rig;
    UsbStick sealed = stick("RIGLUKS0");
    sealed.fileSystem.clear();
    rig.plug(0, sealed);
    const std::string partition = *rig.volumeDevice(0);
    run({"modprobe", "dm_crypt"});
    const std::string key = "/tmp/rig/luks.key";
    { std::ofstream(key) << "rig passphrase"; }
    // LUKS1 for its small header, and a cheap key derivation: the guest's emulated CPU would take minutes
    // over the default one.
    const RunResult sealing =
        run({"cryptsetup", "luksFormat", "--batch-mode", "--type", "luks1", "--pbkdf", "pbkdf2",
             "--pbkdf-force-iterations", "1000", "--key-file", key, partition});
    ASSERT_EQ(sealing.exitCode, 0) << sealing.out << sealing.err;
    const RunResult opening = run({"cryptsetup", "open", "--key-file", key, partition, "rigluks"});
    ASSERT_EQ(opening.exitCode, 0) << opening.out << opening.err;
    ASSERT_EQ(run({"mkfs.vfat", "/dev/mapper/rigluks"}).exitCode, 0);
    std::filesystem::create_directories("/media/rigluks");
    ASSERT_EQ(run({"mount", "/dev/mapper/rigluks", "/media/rigluks"}).exitCode, 0);

    // Nothing writes to a stick under a live mapping.
    const RunResult format = runHelper({"format.com", "F:/FS:FAT/q/y"});
    EXPECT_EQ(format.exitCode, kExitRefused) << format.out << format.err;
    EXPECT_NE(format.err.find("rigluks"), std::string::npos) << format.err;
    // Without UDisks2 nobody could close the mapping in a way the desktop hears of: the stick stays, and the
    // holder is named.
    {
        WithoutUDisks2 stopped;
        const RunResult refused = runHelper({"RemoveDrive.exe", "F"});
        EXPECT_EQ(refused.exitCode, kExitRefused) << refused.out << refused.err;
        EXPECT_NE(refused.err.find("rigluks"), std::string::npos) << refused.err;
        EXPECT_TRUE(rig.disk(0));
        EXPECT_EQ(mountPointsOf("/dev/mapper/rigluks"), std::vector<std::string>{"/media/rigluks"});
    }
    // Eject unmounts and locks it through UDisks2, then takes the stick off the machine.
    const RunResult eject = runHelper({"RemoveDrive.exe", "F"});
    EXPECT_EQ(eject.exitCode, kExitDone) << eject.out << eject.err;
    EXPECT_NE(eject.out.find("正在关闭映射设备"), std::string::npos) << eject.out;
    EXPECT_FALSE(std::filesystem::exists("/dev/mapper/rigluks"));
    EXPECT_TRUE(mountPointsOf("/dev/mapper/rigluks").empty());
    EXPECT_FALSE(rig.disk(0));
}

TEST(RigHostileDisks, AnExtendedPartitionsContainerGetsNoLetter) {
    UsbRig rig;
    UsbStick raw = stick("RIGEXT00");
    raw.fileSystem.clear();
    raw.partitioned = false;
    const std::string disk = rig.plug(0, raw);
    // One primary partition, and an extended one holding one logical partition.
    const std::string script = "/tmp/rig/extended.sfdisk";
    { std::ofstream(script) << "2048,8192,c\n10240,,5\n12288,,c\n"; }
    const RunResult table = run({"sh", "-c", "sfdisk -q \"$1\" < \"$2\"", "sh", "/dev/" + disk, script});
    ASSERT_EQ(table.exitCode, 0) << table.err;
    ASSERT_EQ(run({"udevadm", "settle", "--timeout=10"}).exitCode, 0);
    const DriveMap map = DriveMap::read(SystemRoot("/"));
    std::vector<std::string> lettered;
    for (const MappedVolume &volume : map.volumes())
        lettered.push_back(std::string(1, *volume.letter) + ":" + volume.volumeName);
    EXPECT_EQ(lettered, (std::vector<std::string>{"F:" + disk + "1", "G:" + disk + "5"}));
    EXPECT_EQ(runHelper({"format.com", "H:/FS:FAT/q/y"}).exitCode, kExitRefused);
    const RunResult logical = runHelper({"format.com", "G:/FS:FAT/V:LOGICAL/q/y"});
    EXPECT_EQ(logical.exitCode, kExitDone) << logical.out << logical.err;
    EXPECT_EQ(run({"blkid", "-p", "-o", "value", "-s", "LABEL", "/dev/" + disk + "5"}).out, "LOGICAL\n");
    EXPECT_TRUE(std::filesystem::exists("/sys/class/block/" + disk + "2"));
}

} // namespace
} // namespace dravex::rig
