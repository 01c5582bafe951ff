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

// Management data and registry as a test writes them, with every read recorded.
class FakeMachine : public ManagementData, public RegistryReader {
public:
    std::vector<ManagementInstance> associations;
    std::vector<ManagementInstance> disks;
    std::map<std::string, std::string> registry;
    std::vector<std::string> classesAsked;
    std::vector<std::string> valuesRead;
    bool reachable = true;

    void associate(const std::string &partition, const std::string &letter) {
        associations.push_back(
            {{{"Antecedent", "\\\\PC\\root\\cimv2:Win32_DiskPartition.DeviceID=\"" + partition + "\""},
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
        if (className == "Win32_DiskDrive")
            return disks;
        return std::vector<ManagementInstance>{};
    }
    std::optional<std::string> RegRead(const std::string &valuePath) override {
        valuesRead.push_back(valuePath);
        const auto found = registry.find(valuePath);
        if (found == registry.end())
            return std::nullopt;
        return found->second;
    }
};

class IdentityTest : public ::testing::Test {
protected:
    FakeMachine machine;
    UsbIdentityLookup lookup{machine, machine};
    const UsbIdentity &identity() { return lookup.identity(); }
};

TEST_F(IdentityTest, ParsePnpDeviceIdTakesFieldsByPosition) {
    lookup.ParsePnpDeviceId("USBSTOR\\DISK&VEN_ABC&PROD_FLASH_DISK&REV_1.00\\0123456789AB&0");
    EXPECT_EQ(identity().vendor, "ABC");
    EXPECT_EQ(identity().product, "FLASH");
    EXPECT_EQ(identity().revision, "1.00");
    EXPECT_EQ(identity().serial, "0123456789AB");
    // The prefixes are not checked: position alone counts.
    lookup.ParsePnpDeviceId("X\\A&B_1&C_2&D_3\\S&9");
    EXPECT_EQ(identity().vendor, "1");
    EXPECT_EQ(identity().product, "2");
    EXPECT_EQ(identity().revision, "3");
    EXPECT_EQ(identity().serial, "S");
}

TEST_F(IdentityTest, ParsePnpDeviceIdLeavesFieldsWithoutPiecesAlone) {
    lookup.ParsePnpDeviceId("USBSTOR\\DISK&VEN_OLD&PROD_OLD&REV_9.99\\OLDSERIAL&0");
    lookup.ParsePnpDeviceId("USBSTOR\\DISK&VEN_ABC&PROD_FLASH\\0123456789AB&0");
    EXPECT_EQ(identity().vendor, "ABC");
    EXPECT_EQ(identity().product, "FLASH");
    EXPECT_EQ(identity().revision, "9.99");
    EXPECT_EQ(identity().serial, "0123456789AB");
    lookup.ParsePnpDeviceId("USBSTOR\\DISK&VEN&PROD_X");
    EXPECT_EQ(identity().vendor, "ABC");
    EXPECT_EQ(identity().product, "X");
    EXPECT_EQ(identity().serial, "0123456789AB");
    // An empty serial piece is a piece: it is assigned.
    lookup.ParsePnpDeviceId("USBSTOR\\DISK\\");
    EXPECT_EQ(identity().serial, "");
}

TEST_F(IdentityTest, MatchUsbStorEntryComparesUpperAndLowerCaseOnly) {
    struct Case {
        const char *serial;
        const char *entry;
        bool matches;
    };
    const std::vector<Case> cases = {
        {"0123456789AB", "USB\\VID_1234&PID_5678\\0123456789AB", true},
        {"0123456789AB", "USB\\VID_1234&PID_5678\\0123456789ab", true},
        {"0123456789ab", "USB\\VID_1234&PID_5678\\0123456789AB", true},
        {"0123456789AB", "USB\\VID_1234&PID_5678\\0123456789Ab", false},
        {"0123456789Ab", "USB\\VID_1234&PID_5678\\0123456789Ab", false},
        {"0123456789AB", "USB\\VID_1234&PID_5678", false},
        {"0123456789AB", "USB\\VID_1234&PID_5678\\0123456789AB\\MORE", true},
        {"0123456789AB", "USB\\VID_1234&PID_5678\\0123456789ABC", false},
    };
    for (const Case &c : cases) {
        lookup.ParsePnpDeviceId(std::string("A\\B\\") + c.serial);
        lookup.MatchUsbStorEntry("USB\\OLD\\" + std::string(c.serial));
        ASSERT_EQ(identity().vidPid, "OLD");
        lookup.MatchUsbStorEntry(c.entry);
        EXPECT_EQ(identity().vidPid, c.matches ? "VID_1234&PID_5678" : "OLD") << c.serial << " " << c.entry;
    }
}

TEST_F(IdentityTest, FindUsbVidPidReadsExactlyCountEntriesAndTheLastMatchWins) {
    machine.entries({"USB\\VID_1111&PID_2222\\FFEE", "USB\\VID_1234&PID_5678\\0123456789AB",
                     "USB\\VID_9999&PID_0001\\0123456789ab"});
    machine.registry[kKey + "Count"] = "2";
    lookup.ParsePnpDeviceId("A\\B\\0123456789AB");
    lookup.FindUsbVidPid();
    EXPECT_EQ(identity().vidPid, "VID_1234&PID_5678");
    EXPECT_EQ(machine.valuesRead, (std::vector<std::string>{kKey + "Count", kKey + "0", kKey + "1"}));

    machine.registry[kKey + "Count"] = "3";
    lookup.FindUsbVidPid();
    EXPECT_EQ(identity().vidPid, "VID_9999&PID_0001");
}

TEST_F(IdentityTest, UnreadableCountReadsNoEntry) {
    machine.entries({"USB\\VID_1234&PID_5678\\S"});
    lookup.ParsePnpDeviceId("A\\B\\S");
    for (const char *count : {"", "0", "-3", "40000", "2x", "-"}) {
        machine.registry[kKey + "Count"] = count;
        machine.valuesRead.clear();
        lookup.FindUsbVidPid();
        EXPECT_EQ(machine.valuesRead.size(), 1u) << count;
    }
    machine.registry.erase(kKey + "Count");
    lookup.FindUsbVidPid();
    EXPECT_EQ(identity().vidPid, "");
}

TEST_F(IdentityTest, UnreadableEntryIsSkipped) {
    machine.entries({"USB\\VID_1234&PID_5678\\S", "USB\\VID_0000&PID_0000\\X"});
    machine.registry.erase(kKey + "1");
    lookup.ParsePnpDeviceId("A\\B\\S");
    lookup.FindUsbVidPid();
    EXPECT_EQ(identity().vidPid, "VID_1234&PID_5678");
}

TEST_F(IdentityTest, LookupFollowsTheDiskNumberOfTheLettersPartition) {
    machine.associate("Disk #1, Partition #0", "F");
    machine.associate("Disk #12, Partition #0", "H");
    machine.disk(1, "USBSTOR\\DISK&VEN_ONE&PROD_P1&REV_1\\S1&0");
    machine.disk(12, "USBSTOR\\DISK&VEN_TWELVE&PROD_P12&REV_2\\S12&0");
    machine.entries({"USB\\VID_0001&PID_0001\\S1", "USB\\VID_0012&PID_0012\\S12"});
    lookup.LookupDriveIdentity("H");
    EXPECT_EQ(identity().vendor, "TWELVE");
    EXPECT_EQ(identity().serial, "S12");
    EXPECT_EQ(identity().vidPid, "VID_0012&PID_0012");
    // The class name is passed with its trailing blank, as the query always has.
    EXPECT_EQ(machine.classesAsked.front(), "Win32_LogicalDiskToPartition ");
}

TEST_F(IdentityTest, LookupOfAnUnknownDriveGivesAnEmptyRecordNotThePreviousOne) {
    machine.associate("Disk #1, Partition #0", "F");
    machine.disk(1, "USBSTOR\\DISK&VEN_ABC&PROD_FLASH&REV_1.00\\0123456789AB&0");
    machine.entries({"USB\\VID_1234&PID_5678\\0123456789AB"});
    lookup.LookupDriveIdentity("F");
    ASSERT_EQ(identity().serial, "0123456789AB");
    lookup.LookupDriveIdentity("G");
    EXPECT_EQ(identity().vendor, "");
    EXPECT_EQ(identity().product, "");
    EXPECT_EQ(identity().revision, "");
    EXPECT_EQ(identity().serial, "");
    EXPECT_EQ(identity().vidPid, "");
}

TEST_F(IdentityTest, UnreachableServiceGivesAnEmptyRecord) {
    machine.associate("Disk #1, Partition #0", "F");
    machine.disk(1, "USBSTOR\\DISK&VEN_ABC&PROD_FLASH&REV_1.00\\0123456789AB&0");
    lookup.LookupDriveIdentity("F");
    machine.reachable = false;
    lookup.LookupDriveIdentity("F");
    EXPECT_EQ(identity().vendor, "");
}

TEST_F(IdentityTest, LetterComparisonIsExact) {
    machine.associate("Disk #1, Partition #0", "f");
    machine.disk(1, "USBSTOR\\DISK&VEN_ABC&PROD_FLASH&REV_1.00\\0123456789AB&0");
    lookup.LookupDriveIdentity("F");
    EXPECT_EQ(identity().vendor, "");
}

TEST_F(IdentityTest, ShowDiskInfoShowsTheDescriptionOfTheLettersDisk) {
    machine.associate("Disk #2, Partition #0", "H");
    machine.disk(1, "X", "instance of Win32_DiskDrive { Name = \"one\"; };");
    machine.disk(2, "Y", "instance of Win32_DiskDrive { Name = \"two\"; };");
    machine.disk(3, "Z", "");
    machine.associate("Disk #3, Partition #0", "K");
    FakeOperator person;
    lookup.ShowDiskInfo("H", person);
    ASSERT_EQ(person.messages.size(), 1u);
    EXPECT_EQ(person.messages[0].first, "instance of Win32_DiskDrive { Name = \"two\"; };");
    EXPECT_EQ(person.messages[0].second, "USBDisk Info");
    // No letter, an unknown letter, or a disk without description: nothing shown.
    lookup.ShowDiskInfo("", person);
    lookup.ShowDiskInfo("Q", person);
    lookup.ShowDiskInfo("K", person);
    EXPECT_EQ(person.messages.size(), 1u);
}

TEST(AssociationParsing, DiskNumberAndLetter) {
    EXPECT_EQ(diskNumberOfAntecedent("x:Win32_DiskPartition.DeviceID=\"Disk #12, Partition #0\""), 12u);
    EXPECT_EQ(diskNumberOfAntecedent("a=\"Disk #0, Partition #1\""), 0u);
    EXPECT_EQ(diskNumberOfAntecedent("a=\"Disk #, Partition #1\""), std::nullopt);
    EXPECT_EQ(diskNumberOfAntecedent("a=\"Disk #"), std::nullopt);
    EXPECT_EQ(diskNumberOfAntecedent("no equals sign"), std::nullopt);
    EXPECT_EQ(diskNumberOfAntecedent("a=\"Disk #99999999999999999999\""), std::nullopt);
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
    const std::vector<std::string> seeds = {
        "USBSTOR\\DISK&VEN_ABC&PROD_FLASH_DISK&REV_1.00\\0123456789AB&0",
        "USB\\VID_1234&PID_5678\\0123456789AB",
        "\\\\PC\\root\\cimv2:Win32_DiskPartition.DeviceID=\"Disk #1, Partition #0\""};
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        if (round % 2 == 0) {
            const std::string &seed = seeds[static_cast<size_t>(round / 2) % seeds.size()];
            text = seed.substr(0, random() % (seed.size() + 1));
        } else {
            const size_t length = random() % 40;
            for (size_t i = 0; i < length; ++i)
                text += alphabet[random() % alphabet.size()];
        }
        // Every field the parsers assign is a piece of the text they were given.
        lookup.LookupDriveIdentity("F");
        lookup.ParsePnpDeviceId(text);
        lookup.MatchUsbStorEntry(text);
        const UsbIdentity &identity = lookup.identity();
        for (const std::string *field :
             {&identity.vendor, &identity.product, &identity.revision, &identity.serial, &identity.vidPid}) {
            ASSERT_NE(text.find(*field), std::string::npos) << text;
        }
        if (const auto number = diskNumberOfAntecedent(text)) {
            ASSERT_NE(text.find(std::to_string(*number)), std::string::npos) << text;
        }
        if (const auto letter = letterOfDependent(text)) {
            ASSERT_NE(text.find(*letter), std::string::npos) << text;
        }
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
    EXPECT_EQ(table.slots[0].deviceName, "ABC FLASH 1.00");
    EXPECT_EQ(table.slots[0].deviceSerial, "S/N:0123456789AB");
    EXPECT_EQ(table.slots[0].deviceKey, "VID_1234&PID_5678");
    EXPECT_EQ(table.slots[1].deviceName, "  ");
    EXPECT_EQ(table.slots[1].deviceSerial, "S/N:");
    EXPECT_EQ(table.slots[1].deviceKey, "");
}

} // namespace
} // namespace dravex
