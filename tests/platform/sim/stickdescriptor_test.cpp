#include "platform/sim/stickdescriptor.h"

#include <gtest/gtest.h>

#include <sstream>

namespace dravex {
namespace {

// Every field of a stick in one text, so that one comparison catches a key read into the wrong field.
std::string fieldsOf(const SimDrive &d) {
    std::ostringstream out;
    out << d.letter << '|' << d.label << '|' << d.fileSystem << '|' << d.totalBytes << '|' << d.mediumPresent
        << d.locked << '|' << d.vendor << '|' << d.product << '|' << d.revision << '|' << d.serial << '|'
        << d.vendorId << '|' << d.productId;
    return out.str();
}

TEST(StickDescriptorTest, ReadsEveryKeyAsWrittenAndDefaultsTheLeftOutOnes) {
    auto parsed =
        parseStickDescriptor("# a stick\nletter=K\r\nlabel= MY DISK=1\n\nfileSystem=exFAT\n"
                             "capacity=17179869184\nmedium=0\nlocked=1\nvendor=SMI\nproduct=USB DISK\n"
                             "revision=1100\nserial=AA00000000011111\nvid=090c\npid=1000");
    ASSERT_TRUE(parsed.drive) << parsed.problem;
    EXPECT_EQ(fieldsOf(*parsed.drive),
              "K| MY DISK=1|exFAT|17179869184|01|SMI|USB DISK|1100|AA00000000011111|090c|1000");

    parsed = parseStickDescriptor("letter=F\ncapacity=0\n");
    ASSERT_TRUE(parsed.drive) << parsed.problem;
    EXPECT_EQ(fieldsOf(*parsed.drive), "F||FAT32|0|10||||||");
}

TEST(StickDescriptorTest, WritingAndReadingGiveTheSameStickWhateverTheTextsHold) {
    SimDrive drive;
    drive.letter = 'Z';
    drive.label = std::string("A\\B\nC\rD\0E", 9);
    drive.fileSystem = "FAT";
    drive.totalBytes = 18446744073709551615ull;
    drive.locked = true;
    drive.vendor = "Vendor=X";
    drive.serial = "#1";
    drive.vendorId = "ABCD";
    drive.productId = "0001";
    const auto parsed = parseStickDescriptor(writeStickDescriptor(drive));
    ASSERT_TRUE(parsed.drive) << parsed.problem;
    EXPECT_EQ(fieldsOf(*parsed.drive), fieldsOf(drive));
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
        {"letter=H\ncapacity=5\nlabel=A\\\n", "line 3: bad \\ escape"}};
    for (const auto &[text, problem] : cases) {
        const auto parsed = parseStickDescriptor(text);
        EXPECT_FALSE(parsed.drive) << text;
        EXPECT_EQ(parsed.problem, problem) << text;
    }
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
