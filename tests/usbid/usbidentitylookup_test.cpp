#include "platform/sim/simbench.h"
#include "scan/drivescan.h"
#include "support/fakeoperator.h"
#include "usbid/usbidentitylookup.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace dravex {
namespace {

const std::string kKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\USBSTOR\\Enum\\";
const char *const kAbcStick = "USBSTOR\\DISK&VEN_ABC&PROD_FLASH_DISK&REV_1.00\\0123456789AB&0";

// Management data and registry as a test writes them, with every read recorded.
class FakeMachine : public ManagementData, public RegistryReader {
public:
    std::vector<ManagementInstance> associations;
    std::vector<ManagementInstance> disks;
    std::map<std::string, std::string> registry;
    std::vector<std::string> classesAsked;
    std::vector<std::string> valuesRead;
    bool reachable = true;

    void associate(unsigned disk, const std::string &letter) {
        associations.push_back(
            {{{"Antecedent", "\\\\PC\\root\\cimv2:Win32_DiskPartition.DeviceID=\"Disk #" +
                                 std::to_string(disk) + ", Partition #0\""},
              {"Dependent", "\\\\PC\\root\\cimv2:Win32_LogicalDisk.DeviceID=\"" + letter + ":\""}},
             ""});
    }
    void disk(unsigned number, const std::string &pnp, const std::string &text = "") {
        disks.push_back(
            {{{"Name", "\\\\.\\PHYSICALDRIVE" + std::to_string(number)}, {"PNPDeviceID", pnp}}, text});
    }
    void entries(const std::vector<std::string> &values) {
        registry[kKey + "Count"] = std::to_string(values.size());
        for (size_t i = 0; i < values.size(); ++i)
            registry[kKey + std::to_string(i)] = values[i];
    }

    std::optional<std::vector<ManagementInstance>> InstancesOf(const std::string &className) override {
        classesAsked.push_back(className);
        if (!reachable)
            return std::nullopt;
        if (className == "Win32_LogicalDiskToPartition ")
            return associations;
        return className == "Win32_DiskDrive" ? disks : std::vector<ManagementInstance>{};
    }
    std::optional<std::string> RegRead(const std::string &valuePath) override {
        valuesRead.push_back(valuePath);
        const auto found = registry.find(valuePath);
        return found == registry.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
};

class IdentityTest : public ::testing::Test {
protected:
    FakeMachine machine;
    UsbIdentityLookup lookup{machine, machine};
    // The record as "vendor|product|revision|serial|vidPid".
    std::string fields() {
        const UsbIdentity &id = lookup.identity();
        return id.vendor + "|" + id.product + "|" + id.revision + "|" + id.serial + "|" + id.vidPid;
    }
};

TEST_F(IdentityTest, ParsePnpDeviceIdTakesFieldsByPositionAndLeavesThoseWithoutPieces) {
    const std::pair<const char *, const char *> steps[] = {
        {kAbcStick, "ABC|FLASH|1.00|0123456789AB|"},
        // The prefixes are not checked: position alone counts.
        {"X\\A&B_1&C_2&D_3\\S&9", "1|2|3|S|"},
        {"USBSTOR\\DISK&VEN_ABC&PROD_FLASH\\0123456789AB&0", "ABC|FLASH|3|0123456789AB|"},
        {"USBSTOR\\DISK&VEN&PROD_X", "ABC|X|3|0123456789AB|"},
        // An empty serial piece is a piece: it is assigned.
        {"USBSTOR\\DISK\\", "ABC|X|3||"},
    };
    for (const auto &[deviceId, expected] : steps) {
        lookup.ParsePnpDeviceId(deviceId);
        EXPECT_EQ(fields(), expected) << deviceId;
    }
}

TEST_F(IdentityTest, MatchUsbStorEntryComparesUpperAndLowerCaseOnly) {
    const struct {
        const char *serial;
        const char *entry;
        bool matches;
    } cases[] = {
        {"0123456789AB", "USB\\VID_1234&PID_5678\\0123456789AB", true},
        {"0123456789AB", "USB\\VID_1234&PID_5678\\0123456789ab", true},
        {"0123456789ab", "USB\\VID_1234&PID_5678\\0123456789AB", true},
        {"0123456789AB", "USB\\VID_1234&PID_5678\\0123456789Ab", false},
        {"0123456789Ab", "USB\\VID_1234&PID_5678\\0123456789Ab", false},
        {"0123456789AB", "USB\\VID_1234&PID_5678", false},
        {"0123456789AB", "USB\\VID_1234&PID_5678\\0123456789AB\\MORE", true},
        {"0123456789AB", "USB\\VID_1234&PID_5678\\0123456789ABC", false},
    };
    for (const auto &c : cases) {
        lookup.ParsePnpDeviceId(std::string("A\\B\\") + c.serial);
        lookup.MatchUsbStorEntry("USB\\OLD\\" + std::string(c.serial));
        ASSERT_EQ(lookup.identity().vidPid, "OLD");
        lookup.MatchUsbStorEntry(c.entry);
        EXPECT_EQ(lookup.identity().vidPid, c.matches ? "VID_1234&PID_5678" : "OLD")
            << c.serial << " " << c.entry;
    }
}

TEST_F(IdentityTest, FindUsbVidPidReadsExactlyCountEntriesAndTheLastMatchWins) {
    machine.entries({"USB\\VID_1111&PID_2222\\FFEE", "USB\\VID_1234&PID_5678\\0123456789AB",
                     "USB\\VID_9999&PID_0001\\0123456789ab", "unreadable",
                     "USB\\VID_4444&PID_0004\\0123456789AB"});
    machine.registry[kKey + "Count"] = "2";
    lookup.ParsePnpDeviceId("A\\B\\0123456789AB");
    lookup.FindUsbVidPid();
    EXPECT_EQ(lookup.identity().vidPid, "VID_1234&PID_5678");
    EXPECT_EQ(machine.valuesRead, (std::vector<std::string>{kKey + "Count", kKey + "0", kKey + "1"}));
    // An unreadable entry is skipped.
    machine.registry[kKey + "Count"] = "5";
    machine.registry.erase(kKey + "3");
    lookup.FindUsbVidPid();
    EXPECT_EQ(lookup.identity().vidPid, "VID_4444&PID_0004");

    for (const char *count : {"", "0", "-3", "40000", "2x", "-"}) {
        machine.registry[kKey + "Count"] = count;
        machine.valuesRead.clear();
        lookup.FindUsbVidPid();
        EXPECT_EQ(machine.valuesRead.size(), 1u) << count;
    }
    machine.registry.erase(kKey + "Count");
    machine.valuesRead.clear();
    lookup.FindUsbVidPid();
    EXPECT_EQ(machine.valuesRead.size(), 1u);
}

TEST_F(IdentityTest, LookupFollowsTheDiskNumberAndStartsFromAnEmptyRecord) {
    machine.associate(1, "F");
    machine.associate(12, "H");
    machine.associate(1, "g");
    machine.disk(1, "USBSTOR\\DISK&VEN_ONE&PROD_P1&REV_1\\S1&0");
    machine.disk(12, "USBSTOR\\DISK&VEN_TWELVE&PROD_P12&REV_2\\S12&0");
    machine.entries({"USB\\VID_0001&PID_0001\\S1", "USB\\VID_0012&PID_0012\\S12"});
    lookup.LookupDriveIdentity("H");
    EXPECT_EQ(fields(), "TWELVE|P12|2|S12|VID_0012&PID_0012");
    // The class name is passed with its trailing blank, as the query always has.
    EXPECT_EQ(machine.classesAsked.front(), "Win32_LogicalDiskToPartition ");
    // An unknown letter (the comparison is exact) and an unreachable service leave no trace of H.
    lookup.LookupDriveIdentity("G");
    EXPECT_EQ(fields(), "||||");
    lookup.LookupDriveIdentity("F");
    ASSERT_EQ(fields(), "ONE|P1|1|S1|VID_0001&PID_0001");
    machine.reachable = false;
    lookup.LookupDriveIdentity("F");
    EXPECT_EQ(fields(), "||||");
}

TEST_F(IdentityTest, ShowDiskInfoShowsTheDescriptionOfTheLettersDisk) {
    machine.associate(2, "H");
    machine.associate(3, "K");
    machine.disk(1, "X", "instance of Win32_DiskDrive { Name = \"one\"; };");
    machine.disk(2, "Y", "instance of Win32_DiskDrive { Name = \"two\"; };");
    machine.disk(3, "Z", "");
    FakeOperator person;
    lookup.ShowDiskInfo("H", person);
    // No letter, an unknown letter, or a disk without description: nothing shown.
    for (const char *letter : {"", "Q", "K"})
        lookup.ShowDiskInfo(letter, person);
    ASSERT_EQ(person.messages.size(), 1u);
    EXPECT_EQ(person.messages[0].first, "instance of Win32_DiskDrive { Name = \"two\"; };");
    EXPECT_EQ(person.messages[0].second, "USBDisk Info");
}

TEST(AssociationParsing, DiskNumberAndLetter) {
    EXPECT_EQ(diskNumberOfAntecedent("x:Win32_DiskPartition.DeviceID=\"Disk #12, Partition #0\""), 12u);
    EXPECT_EQ(diskNumberOfAntecedent("a=\"Disk #0, Partition #1\""), 0u);
    for (const char *bad :
         {"a=\"Disk #, Partition #1\"", "a=\"Disk #", "no equals sign", "a=\"Disk #99999999999999999999\""})
        EXPECT_EQ(diskNumberOfAntecedent(bad), std::nullopt) << bad;
    EXPECT_EQ(letterOfDependent("x:Win32_LogicalDisk.DeviceID=\"H:\""), "H");
    EXPECT_EQ(letterOfDependent("x=\""), std::nullopt);
    EXPECT_EQ(letterOfDependent("nothing"), std::nullopt);
}

// Hostile device data: random and truncated texts through every parser, which must neither crash nor
// read outside their input (the sanitizers watch).
TEST(IdentityParsing, SurvivesRandomAndTruncatedInput) {
    FakeMachine machine;
    UsbIdentityLookup lookup(machine, machine);
    std::mt19937 random(20261207);
    const std::string alphabet = "\\&_=\"#:0123456789ABab .\x01\xff";
    const std::string seeds[] = {
        kAbcStick, "USB\\VID_1234&PID_5678\\0123456789AB",
        "\\\\PC\\root\\cimv2:Win32_DiskPartition.DeviceID=\"Disk #1, Partition #0\""};
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        if (round % 2 == 0) {
            const std::string &seed = seeds[static_cast<size_t>(round / 2) % 3];
            text = seed.substr(0, random() % (seed.size() + 1));
        } else {
            for (size_t i = random() % 40; i > 0; --i)
                text += alphabet[random() % alphabet.size()];
        }
        // Every field the parsers assign is a piece of the text they were given.
        lookup.LookupDriveIdentity("F");
        lookup.ParsePnpDeviceId(text);
        lookup.MatchUsbStorEntry(text);
        const UsbIdentity &identity = lookup.identity();
        for (const std::string *field :
             {&identity.vendor, &identity.product, &identity.revision, &identity.serial, &identity.vidPid})
            ASSERT_NE(text.find(*field), std::string::npos) << text;
        const auto number = diskNumberOfAntecedent(text);
        ASSERT_TRUE(!number || text.find(std::to_string(*number)) != std::string::npos) << text;
        const auto letter = letterOfDependent(text);
        ASSERT_TRUE(!letter || text.find(*letter) != std::string::npos) << text;
    }
}

TEST(IdentityOnTheSimBench, ScanShowsEachSticksIdentityOnlyWhenTicked) {
    SimBench bench;
    SimDrive known;
    known.letter = 'F';
    known.totalBytes = 1ull << 30;
    known.vendor = "ABC";
    known.product = "FLASH DISK";
    known.revision = "1.00";
    known.serial = "0123456789AB";
    known.vendorId = "1234";
    known.productId = "5678";
    bench.plug(known);
    SimDrive unknown = known;
    unknown.letter = 'G';
    unknown.vendor.clear();
    unknown.serial.clear();
    bench.plug(unknown);

    DriveTable table;
    MainWindowState window;
    DriveScan scan(bench, table, window, Variant::V2);
    UsbIdentityLookup lookup(bench, bench);
    ScanSteps steps;
    steps.lookupDriveIdentity = [&lookup](const std::string &letter) {
        lookup.LookupDriveIdentity(letter);
        return lookup.identity();
    };
    scan.setSteps(steps);

    scan.chus();
    EXPECT_EQ(bench.managementQueries(), 0);
    EXPECT_EQ(table.slots[0].deviceName, "");
    window.check2 = kChecked;
    scan.chus();
    const auto cells = [&](size_t row) {
        const DriveSlot &slot = table.slots[row];
        return slot.deviceName + "|" + slot.deviceSerial + "|" + slot.deviceKey;
    };
    EXPECT_EQ(cells(0), "ABC FLASH 1.00|S/N:0123456789AB|VID_1234&PID_5678");
    EXPECT_EQ(cells(1), "  |S/N:|");
}

} // namespace
} // namespace dravex
