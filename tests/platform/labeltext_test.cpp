#include "platform/linux/windows/labeltext.h"

#include <gtest/gtest.h>

namespace dravex {
namespace {

TEST(IsValidUtf8, Table) {
    const struct {
        const char *name;
        std::string bytes;
        bool valid;
    } cases[] = {
        {"empty", "", true},
        {"ascii", "STICK 01", true},
        {"two bytes", "\xc3\xa9", true},
        {"three bytes", "\xe4\xb8\xad\xe6\x96\x87", true},
        {"four bytes", "\xf0\x9f\x98\x80", true},
        {"NUL inside", std::string("a\0b", 3), true},
        {"lone continuation byte", "\x80", false},
        {"lead byte at the end", "ab\xe4\xb8", false},
        {"lead without continuation",
         "\xe4"
         "ab",
         false},
        {"overlong two bytes", "\xc0\xaf", false},
        {"overlong three bytes", "\xe0\x80\xaf", false},
        {"overlong four bytes", "\xf0\x80\x80\xaf", false},
        {"surrogate", "\xed\xa0\x80", false},
        {"past U+10FFFF", "\xf4\x90\x80\x80", false},
        {"invalid lead", "\xff", false},
        {"CP936 text", "\xd6\xd0\xce\xc4", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(isValidUtf8(c.bytes), c.valid) << c.name;
}

TEST(LabelToUtf8, Table) {
    const std::string fffd = kReplacementCharacter;
    const struct {
        const char *name;
        std::string bytes;
        std::string text;
    } cases[] = {
        {"empty", "", ""},
        {"ascii", "MY DISK", "MY DISK"},
        {"UTF-8 is kept", "\xe4\xb8\xad", "\xe4\xb8\xad"},
        {"CP936 becomes UTF-8", "\xd6\xd0\xce\xc4", "\xe4\xb8\xad\xe6\x96\x87"},
        {"CP936 mixed with ascii",
         "U\xc5\xcc"
         "1",
         "U\xe7\x9b\x98"
         "1"},
        // Neither: one U+FFFD a byte that is no part of a CP936 character, the rest as it is.
        {"neither", "BAD\xff\xff", "BAD" + fffd + fffd},
        {"stray byte between CP936 characters", "\xd6\xd0\xff\xce\xc4",
         "\xe4\xb8\xad" + fffd + "\xe6\x96\x87"},
        {"CP936 lead byte cut off", "AB\x81", "AB" + fffd},
        {"only stray bytes", "\xff\xff", fffd + fffd},
    };
    for (const auto &c : cases) {
        const std::string text = labelToUtf8(c.bytes);
        EXPECT_EQ(text, c.text) << c.name;
        EXPECT_TRUE(isValidUtf8(text)) << c.name;
    }
}

} // namespace
} // namespace dravex
