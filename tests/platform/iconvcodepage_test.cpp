#include "platform/linux/windows/iconvcodepage.h"

#include <gtest/gtest.h>

namespace dravex {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

// UTF-8 "数据盘一二三四五六七八" and its CP936 bytes.
const std::string kLabelUtf8 = "\xE6\x95\xB0\xE6\x8D\xAE\xE7\x9B\x98\xE4\xB8\x80\xE4\xBA\x8C\xE4\xB8\x89"
                               "\xE5\x9B\x9B\xE4\xBA\x94\xE5\x85\xAD\xE4\xB8\x83\xE5\x85\xAB";
const std::string kLabelAnsi = "\xCA\xFD\xBE\xDD\xC5\xCC\xD2\xBB\xB6\xFE\xC8\xFD\xCB\xC4\xCE\xE5\xC1\xF9"
                               "\xC6\xDF\xB0\xCB";

TEST(IconvCodePage, RoundTrips) {
    const struct {
        const char *name;
        std::string utf8;
        std::string ansi;
    } cases[] = {
        {"empty", "", ""},
        {"ascii", "Volnum=0001 ?*", "Volnum=0001 ?*"},
        {"NUL kept", std::string("a\0b", 3), std::string("a\0b", 3)},
        {"eleven-character label", kLabelUtf8, kLabelAnsi},
        {"mixed", "U\xE7\x9B\x98-1", "U\xC5\xCC-1"},
    };
    IconvCodePage codePage;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(codePage.toAnsi(c.utf8), c.ansi);
        EXPECT_EQ(codePage.fromAnsi(c.ansi), c.utf8);
    }
}

TEST(IconvCodePage, ToAnsiMarksWhatItCannotWrite) {
    const struct {
        const char *name;
        std::string utf8;
        std::string ansi;
    } cases[] = {
        {"emoji", "\xF0\x9F\x98\x80", "?"},
        {"emoji between text", "A\xF0\x9F\x98\x80\xE7\x9B\x98", "A?\xC5\xCC"},
        {"Korean", "\xEA\xB0\x80x", "?x"},
        {"invalid byte",
         "a\xFF"
         "b",
         "a?b"},
        {"each invalid byte", "\xC0\xAF", "??"},
        {"character cut off at the end", "x\xE4\xB8", "x??"},
        {"surrogate", "\xED\xA0\x80", "???"},
    };
    IconvCodePage codePage;
    for (const auto &c : cases)
        EXPECT_EQ(codePage.toAnsi(c.utf8), c.ansi) << c.name;
}

TEST(IconvCodePage, FromAnsiMarksWhatItCannotRead) {
    const struct {
        const char *name;
        std::string ansi;
        std::string utf8;
    } cases[] = {
        {"lone lead byte at the end", "AB\x81", "AB" + kReplacement},
        {"0xFF between text",
         "a\xFF"
         "b",
         "a" + kReplacement + "b"},
        {"lead byte before ASCII keeps the ASCII", "\x81\x20x", kReplacement + " x"},
        {"bad pair then a good one", "\xFF\xC5\xCC", kReplacement + "\xE7\x9B\x98"},
        {"label with a stray byte", kLabelAnsi.substr(0, 4) + "\xFF" + kLabelAnsi.substr(4),
         kLabelUtf8.substr(0, 6) + kReplacement + kLabelUtf8.substr(6)},
    };
    IconvCodePage codePage;
    for (const auto &c : cases)
        EXPECT_EQ(codePage.fromAnsi(c.ansi), c.utf8) << c.name;
}

TEST(IconvCodePage, LongTextConvertsWhole) {
    // Longer than one pass of the converter's buffer, with a mark near the end.
    std::string utf8;
    std::string ansi;
    for (int i = 0; i < 5000; ++i) {
        utf8 += kLabelUtf8;
        ansi += kLabelAnsi;
    }
    IconvCodePage codePage;
    EXPECT_EQ(codePage.toAnsi(utf8 + "\xF0\x9F\x98\x80"), ansi + "?");
    EXPECT_EQ(codePage.fromAnsi(ansi + "\x81"), utf8 + kReplacement);
}

} // namespace
} // namespace dravex
