#include "platform/sim/stickdescriptor.h"

#include <gtest/gtest.h>

namespace dravex {
namespace {

TEST(StickDescriptorTest, ReadsEveryKeyAndKeepsValuesAsWritten) {
    const auto parsed = parseStickDescriptor("# a stick\n"
                                             "letter=K\r\n"
                                             "label= MY DISK=1\n"
                                             "\n"
                                             "fileSystem=exFAT\n"
                                             "capacity=17179869184\n"
                                             "medium=0\n"
                                             "locked=1\n"
                                             "vendor=SMI\n"
                                             "product=USB DISK\n"
                                             "revision=1100\n"
                                             "serial=AA00000000011111\n"
                                             "vid=090c\n"
                                             "pid=1000");
    ASSERT_TRUE(parsed.drive) << parsed.problem;
    const SimDrive &drive = *parsed.drive;
    EXPECT_EQ(drive.letter, 'K');
    EXPECT_EQ(drive.label, " MY DISK=1");
    EXPECT_EQ(drive.fileSystem, "exFAT");
    EXPECT_EQ(drive.totalBytes, 17179869184ull);
    EXPECT_FALSE(drive.mediumPresent);
    EXPECT_TRUE(drive.locked);
    EXPECT_EQ(drive.vendor, "SMI");
    EXPECT_EQ(drive.product, "USB DISK");
    EXPECT_EQ(drive.revision, "1100");
    EXPECT_EQ(drive.serial, "AA00000000011111");
    EXPECT_EQ(drive.vendorId, "090c");
    EXPECT_EQ(drive.productId, "1000");
}

TEST(StickDescriptorTest, LeftOutKeysTakeAnUnlockedFat32StickWithMedium) {
    const auto parsed = parseStickDescriptor("letter=F\ncapacity=0\n");
    ASSERT_TRUE(parsed.drive) << parsed.problem;
    EXPECT_EQ(parsed.drive->fileSystem, "FAT32");
    EXPECT_EQ(parsed.drive->label, "");
    EXPECT_TRUE(parsed.drive->mediumPresent);
    EXPECT_FALSE(parsed.drive->locked);
    EXPECT_EQ(parsed.drive->vendorId, "");
}

TEST(StickDescriptorTest, WritingAndReadingGiveTheSameStickWhateverTheLabelHolds) {
    SimDrive drive;
    drive.letter = 'Z';
    drive.label = std::string("A\\B\nC\rD", 8) + std::string(1, '\0') + "E";
    drive.fileSystem = "FAT";
    drive.totalBytes = 18446744073709551615ull;
    drive.locked = true;
    drive.vendor = "Vendor=X";
    drive.serial = "#1";
    drive.vendorId = "ABCD";
    drive.productId = "0001";
    const auto parsed = parseStickDescriptor(writeStickDescriptor(drive));
    ASSERT_TRUE(parsed.drive) << parsed.problem;
    EXPECT_EQ(parsed.drive->label, drive.label);
    EXPECT_EQ(parsed.drive->totalBytes, drive.totalBytes);
    EXPECT_EQ(parsed.drive->fileSystem, "FAT");
    EXPECT_TRUE(parsed.drive->locked);
    EXPECT_EQ(parsed.drive->vendor, "Vendor=X");
    EXPECT_EQ(parsed.drive->serial, "#1");
    EXPECT_EQ(parsed.drive->vendorId, "ABCD");
}

TEST(StickDescriptorTest, MalformedDescriptorsSayWhereAndWhy) {
    struct Case {
        const char *text;
        const char *problem;
    };
    const Case cases[] = {
        {"", "no letter"},
        {"letter=H\n", "no capacity"},
        {"capacity=5\n", "no letter"},
        {"letter=H\ncapacity=5\nsize=7\n", "line 3: unknown key \"size\""},
        {"letter=H\ncapacity=5\nlabel\n", "line 3: no \"=\""},
        {"letter=H\nletter=H\ncapacity=5\n", "line 2: \"letter\" given twice"},
        {"letter=h\ncapacity=5\n", "line 1: bad value for \"letter\""},
        {"letter=HK\ncapacity=5\n", "line 1: bad value for \"letter\""},
        {"letter=H\ncapacity=-5\n", "line 2: bad value for \"capacity\""},
        {"letter=H\ncapacity=18446744073709551616\n", "line 2: bad value for \"capacity\""},
        {"letter=H\ncapacity=16G\n", "line 2: bad value for \"capacity\""},
        {"letter=H\ncapacity=\n", "line 2: bad value for \"capacity\""},
        {"letter=H\ncapacity=5\nlocked=yes\n", "line 3: bad value for \"locked\""},
        {"letter=H\ncapacity=5\nmedium=2\n", "line 3: bad value for \"medium\""},
        {"letter=H\ncapacity=5\nvid=90C\n", "line 3: bad value for \"vid\""},
        {"letter=H\ncapacity=5\npid=10G0\n", "line 3: bad value for \"pid\""},
        {"letter=H\ncapacity=5\nlabel=A\\tB\n", "line 3: bad \\ escape"},
        {"letter=H\ncapacity=5\nlabel=A\\\n", "line 3: bad \\ escape"},
        {" letter=H\ncapacity=5\n", "line 1: unknown key \" letter\""},
    };
    for (const Case &c : cases) {
        const auto parsed = parseStickDescriptor(c.text);
        EXPECT_FALSE(parsed.drive) << c.text;
        EXPECT_EQ(parsed.problem, c.problem) << c.text;
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
