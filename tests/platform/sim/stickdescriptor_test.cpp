#include "platform/sim/stickdescriptor.h"

#include <gtest/gtest.h>

#include <sstream>

namespace dravex {
namespace {

// Every field of a stick in one text, so that one comparison catches a key read into the wrong field.
std::string fieldsOf(const SimDrive &d) {
    std::ostringstream out;
    out.precision(17);
    out << d.letter << '|' << d.label << '|' << d.fileSystem << '|' << d.totalBytes << '|' << d.mediumPresent
        << d.locked << '|' << d.vendor << '|' << d.product << '|' << d.revision << '|' << d.serial << '|'
        << d.vendorId << '|' << d.productId << '|';
    if (d.realBytes)
        out << "real " << *d.realBytes;
    out << '|';
    if (const auto &r = d.capacityReport)
        out << static_cast<int>(r->outcome) << ' ' << r->claimedBytes << ' ' << r->realBytes << ' '
            << r->writeMBps << ' ' << r->readMBps;
    return out.str();
}

TEST(StickDescriptorTest, ReadsEveryKeyAsWrittenAndDefaultsTheLeftOutOnes) {
    const std::pair<const char *, const char *> cases[] = {
        {"# a stick\nletter=K\r\nlabel= MY DISK=1\n\nfileSystem=exFAT\ncapacity=17179869184\n"
         "medium=0\nlocked=1\nvendor=SMI\nproduct=USB DISK\nrevision=1100\nserial=AA00000000011111\n"
         "vid=090c\npid=1000",
         "K| MY DISK=1|exFAT|17179869184|01|SMI|USB DISK|1100|AA00000000011111|090c|1000||"},
        {"letter=F\ncapacity=0\n", "F||FAT32|0|10||||||||"},
        // A counterfeit's real size given by hand, and its last report.
        {"letter=H\ncapacity=17179869184\nreal=8G\n"
         "capacityCheck=counterfeit 17179869184 8589934592 12.5 25\n",
         "H||FAT32|17179869184|10|||||||real 8589934592|1 17179869184 8589934592 12.5 25"},
        // The real size as written: in bytes.
        {"letter=H\ncapacity=5\nreal=0\ncapacityCheck=no-response 5 0 0 0.25\n",
         "H||FAT32|5|10|||||||real 0|5 5 0 0 0.25"},
    };
    for (const auto &[text, fields] : cases) {
        const auto parsed = parseStickDescriptor(text);
        ASSERT_TRUE(parsed.drive) << parsed.problem;
        EXPECT_EQ(fieldsOf(*parsed.drive), fields);
    }
}

TEST(StickDescriptorTest, WritingAndReadingGiveTheSameStickWhateverTheTextsHold) {
    SimDrive drive;
    drive.realBytes = 18446744073709551615ull;
    drive.capacityReport =
        CapacityReport{CapacityReport::Outcome::Damaged, 1, 18446744073709551615ull, 0.1 + 0.2, 1e-7};
    drive.letter = 'Z';
    drive.label = std::string("A\\B\nC\rD\0E", 9);
    drive.fileSystem = "FAT";
    drive.totalBytes = 18446744073709551615ull;
    drive.locked = true;
    drive.vendor = "Vendor=X";
    drive.serial = "#1";
    drive.vendorId = "ABCD";
    drive.productId = "0001";
    auto parsed = parseStickDescriptor(writeStickDescriptor(drive));
    ASSERT_TRUE(parsed.drive) << parsed.problem;
    EXPECT_EQ(fieldsOf(*parsed.drive), fieldsOf(drive));
    // Every outcome reads back as itself.
    for (int outcome = 0; outcome <= static_cast<int>(CapacityReport::Outcome::NoResponse); ++outcome) {
        drive.capacityReport->outcome = static_cast<CapacityReport::Outcome>(outcome);
        parsed = parseStickDescriptor(writeStickDescriptor(drive));
        ASSERT_TRUE(parsed.drive) << parsed.problem;
        EXPECT_EQ(fieldsOf(*parsed.drive), fieldsOf(drive));
    }
}

TEST(StickDescriptorTest, MalformedDescriptorsSayWhereAndWhy) {
    const std::pair<const char *, const char *> cases[] = {
        {"capacity=5\n", "no letter"},
        {"letter=H\n", "no capacity"},
        {"letter=H\ncapacity=5\nsize=7\n", "line 3: unknown key \"size\""},
        {" letter=H\ncapacity=5\n", "line 1: unknown key \" letter\""},
        {"letter=H\ncapacity=5\nlabel\n", "line 3: no \"=\""},
        {"letter=H\nletter=H\ncapacity=5\n", "line 2: \"letter\" given twice"},
        {"letter=h\ncapacity=5\n", "line 1: bad value for \"letter\""},
        {"letter=HK\ncapacity=5\n", "line 1: bad value for \"letter\""},
        {"letter=H\ncapacity=-5\n", "line 2: bad value for \"capacity\""},
        {"letter=H\ncapacity=18446744073709551616\n", "line 2: bad value for \"capacity\""},
        {"letter=H\ncapacity=\n", "line 2: bad value for \"capacity\""},
        {"letter=H\ncapacity=5\nlocked=yes\n", "line 3: bad value for \"locked\""},
        {"letter=H\ncapacity=5\nmedium=2\n", "line 3: bad value for \"medium\""},
        {"letter=H\ncapacity=5\nvid=90C\n", "line 3: bad value for \"vid\""},
        {"letter=H\ncapacity=5\npid=10G0\n", "line 3: bad value for \"pid\""},
        {"letter=H\ncapacity=5\nlabel=A\\tB\n", "line 3: bad \\ escape"},
        {"letter=H\ncapacity=5\nlabel=A\\\n", "line 3: bad \\ escape"},
        {"letter=H\ncapacity=5\nreal=8Q\n", "line 3: bad value for \"real\""},
        {"letter=H\ncapacity=5\nreal=\n", "line 3: bad value for \"real\""},
        {"letter=H\ncapacity=5\nreal=-1\n", "line 3: bad value for \"real\""}};
    for (const auto &[text, problem] : cases) {
        const auto parsed = parseStickDescriptor(text);
        EXPECT_FALSE(parsed.drive) << text;
        EXPECT_EQ(parsed.problem, problem) << text;
    }
}

TEST(StickDescriptorTest, ACapacityReportThatIsNotWellFormedMakesTheDescriptorMalformed) {
    for (const char *report :
         {"", "genuine 5 5 1", "genuine 5 5 1 1 1", "fake 5 5 1 1", "Genuine 5 5 1 1", "genuine -5 5 1 1",
          "genuine 5 x 1 1", "genuine 5 5 -1 1", "genuine 5 5 1 nan", "genuine 5 5 inf 1",
          "genuine 5 5 1e999 1", "genuine  5 5 1 1", "genuine 5 5 1 1 ", "genuine 5 5 1,5 1"}) {
        const auto parsed =
            parseStickDescriptor("letter=H\ncapacity=5\ncapacityCheck=" + std::string(report));
        EXPECT_FALSE(parsed.drive) << report;
        EXPECT_EQ(parsed.problem, "line 3: bad value for \"capacityCheck\"") << report;
    }
}

TEST(ParseSizeTest, SuffixesArePowersOfTwo) {
    EXPECT_EQ(parseSize("16G"), std::optional<uint64_t>(16ull << 30));
    EXPECT_EQ(parseSize("512m"), std::optional<uint64_t>(512ull << 20));
    EXPECT_EQ(parseSize("64K"), std::optional<uint64_t>(64ull << 10));
    EXPECT_EQ(parseSize("2T"), std::optional<uint64_t>(2ull << 40));
    EXPECT_EQ(parseSize("1000"), std::optional<uint64_t>(1000));
    EXPECT_EQ(parseSize("8589934592G"), std::optional<uint64_t>(1ull << 63));
    for (const char *bad : {"", "G", "0", "0G", "-1G", "1.5G", "16GB", "16 G", " 16G", "8589934593G",
                            "99999999999999999999", "0x10"})
        EXPECT_EQ(parseSize(bad), std::nullopt) << bad;
}

TEST(StickDescriptorTest, OnlyOneCapitalLetterAndDotStickNameADescriptor) {
    EXPECT_EQ(descriptorLetter("H.stick"), std::optional<char>('H'));
    EXPECT_EQ(descriptorLetter("Z.stick"), std::optional<char>('Z'));
    for (const char *name :
         {"h.stick", "HH.stick", "H.stick~", ".H.stick.123", "H", "H.STICK", "1.stick", ""})
        EXPECT_FALSE(descriptorLetter(name)) << name;
}

} // namespace
} // namespace dravex
