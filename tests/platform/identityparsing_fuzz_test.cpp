#include "platform/linux/windows/identitytext.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace dravex {
namespace {

constexpr int kIterations = 20000;

// Random texts made mostly of the bytes the parsers look at, and cut-off copies of well-formed ones.
class HostileTexts {
public:
    std::string next() {
        if (m_random() % 4 == 0) {
            const std::string &sample = kSamples[m_random() % kSamples.size()];
            return sample.substr(0, m_random() % (sample.size() + 1));
        }
        static const char kAlphabet[] =
            "\\\"&,:/-._ 0123456789abcdefABCDEFsdnvmeloopblk\x00\x01\t\n\r\x7f\x80\xff";
        static const std::string alphabet(kAlphabet, sizeof kAlphabet - 1);
        std::string text(m_random() % 48, '\0');
        for (char &c : text)
            c = m_random() % 8 == 0 ? static_cast<char>(m_random() % 256)
                                    : alphabet[m_random() % alphabet.size()];
        return text;
    }

private:
    const std::vector<std::string> kSamples = {
        "/sys/devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/host8/target8:0:0/8:0:0:0/block/sdd",
        "6:0:0:1",
        "0951",
        "4294967295",
        "mmcblk0boot0",
        "nvme0n10",
        "bench-07\n",
        "AA04012700007245",
        "FLASH DISK      "};
    std::mt19937 m_random{20240607};
};

bool isDeviceIdByte(char c) {
    return c > 0x20 && c < 0x7F && c != ',' && c != '\\' && c != '&';
}

TEST(IdentityParsingFuzz, HostileTextsGiveDefinedResults) {
    HostileTexts texts;
    for (int i = 0; i < kIterations; ++i) {
        const std::string text = texts.next();
        const std::string other = texts.next();
        SCOPED_TRACE(i);

        const std::string field = deviceIdField(text, 16);
        EXPECT_LE(field.size(), 16u);
        for (char c : field)
            EXPECT_TRUE(isDeviceIdByte(c) && !(c >= 'a' && c <= 'z')) << static_cast<int>(c);

        const std::string upper = asciiUpperCase(text);
        ASSERT_EQ(upper.size(), text.size());
        for (size_t at = 0; at < text.size(); ++at) {
            const bool lower = text[at] >= 'a' && text[at] <= 'z';
            EXPECT_EQ(upper[at], lower ? static_cast<char>(text[at] - 'a' + 'A') : text[at]);
        }

        for (char c : readableField(text))
            EXPECT_TRUE(c >= 0x20 && c < 0x7F) << static_cast<int>(c);

        if (isUsableSerial(text)) {
            for (char c : text)
                EXPECT_TRUE(isDeviceIdByte(c));
        }

        const std::string generated = generatedInstanceId(text, 0);
        ASSERT_EQ(generated.size(), 12u);
        EXPECT_EQ(generated.compare(0, 2, "7&"), 0);
        EXPECT_EQ(generated.compare(10, 2, "&0"), 0);

        if (const auto id = usbHexId(text)) {
            ASSERT_EQ(id->size(), 4u);
            for (char c : *id)
                EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'));
        }

        // An index is read only from the text Windows would write for it.
        if (const auto index = parseValueIndex(text)) {
            EXPECT_EQ(std::to_string(*index), text);
        }

        if (const auto lun = scsiAddressLun(text)) {
            EXPECT_EQ(text.substr(text.rfind(':') + 1), std::to_string(*lun));
        }

        const std::string folder = usbDeviceFolder(text);
        EXPECT_EQ(text.compare(0, folder.size(), folder), 0);

        for (char c : managementHostName(text))
            EXPECT_TRUE((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.');

        // A strict order, or the disk numbers would depend on how the sort meets the names.
        EXPECT_FALSE(diskNameLess(text, text));
        if (text != other) {
            EXPECT_NE(diskNameLess(text, other), diskNameLess(other, text)) << text << " / " << other;
        }
        (void)isVirtualDiskName(text);

        // Whatever the texts, the description keeps one property a line and its quotes balanced.
        const std::string quoted = mofQuoted(text);
        ASSERT_GE(quoted.size(), 2u);
        EXPECT_EQ(quoted.front(), '"');
        EXPECT_EQ(quoted.back(), '"');
        bool escaped = false;
        for (size_t at = 1; at + 1 < quoted.size(); ++at) {
            const char c = quoted[at];
            EXPECT_TRUE(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) << static_cast<int>(c);
            if (!escaped) {
                EXPECT_NE(c, '"');
            }
            escaped = !escaped && c == '\\';
        }
        EXPECT_FALSE(escaped);
        const std::string description =
            mofObjectText("Win32_DiskDrive", {{"Caption", {text, false}}, {"Size", {other, true}}});
        EXPECT_EQ(std::count(description.begin(), description.end(), '\n'), 6);
    }
}

} // namespace
} // namespace dravex
