#include "platform/linux/process/commandline.h"

#include <gtest/gtest.h>

namespace dravex {
namespace {

using Arguments = std::vector<std::string>;

TEST(SplitWindowsCommandLine, Table) {
    const struct {
        const char *name;
        std::string text;
        Arguments arguments;
    } cases[] = {
        {"empty", "", {}},
        {"program only", "format.com", {"format.com"}},
        {"blanks and tabs separate", "prog  a\t\tb  ", {"prog", "a", "b"}},
        {"quoted program with blanks", "\"C:\\Program Files\\x.exe\" a", {"C:\\Program Files\\x.exe", "a"}},
        {"program keeps backslashes and quotes after its start", "C:\\x\\y\\\" a", {"C:\\x\\y\\\"", "a"}},
        {"unterminated quoted program", "\"prog a", {"prog a"}},
        {"empty quoted program", "\"\" a", {"", "a"}},
        {"leading blank gives an empty program", " a", {"", "a"}},
        {"quotes group", "prog \"a b\" c", {"prog", "a b", "c"}},
        {"quotes inside an argument", "prog a\"b c\"d", {"prog", "ab cd"}},
        {"quote toggles twice", "prog \"a b\"c\" d\"", {"prog", "a bc d"}},
        {"empty argument", "prog \"\" x", {"prog", "", "x"}},
        {"unterminated quote runs to the end", "prog \"a b", {"prog", "a b"}},
        {"backslashes not before a quote are literal", "prog a\\b\\\\c\\", {"prog", "a\\b\\\\c\\"}},
        {"2n backslashes and a quote: n backslashes, quote toggles",
         "prog a\\\\\\\\\"b c\"",
         {"prog", "a\\\\b c"}},
        {"2n+1 backslashes and a quote: n backslashes and a quote", "prog a\\\\\\\"b", {"prog", "a\\\"b"}},
        {"one backslash and a quote", "prog \\\"a b", {"prog", "\"a", "b"}},
        {"quoted folder ending in a backslash", "prog \"C:\\dir\\\\\" x", {"prog", "C:\\dir\\", "x"}},
        {"doubled quote inside a quoted run", "prog \"a\"\"b\" c", {"prog", "a\"b", "c"}},
        {"four quotes", "prog \"\"\"\"", {"prog", "\""}},
        {"newline is no separator", "prog \"line1\nline2\" a\nb", {"prog", "line1\nline2", "a\nb"}},
        {"shell syntax is plain text",
         "prog ; rm -rf / && $(reboot) `id` | x > y",
         {"prog", ";", "rm", "-rf", "/", "&&", "$(reboot)", "`id`", "|", "x", ">", "y"}},
        {"tool command line",
         "/opt/dravex\\RemoveDrive.exe H -L",
         {"/opt/dravex\\RemoveDrive.exe", "H", "-L"}},
        {"bytes that are not text", std::string("p \xff\0\xfe", 5), {"p", std::string("\xff\0\xfe", 3)}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(splitWindowsCommandLine(c.text), c.arguments) << c.name;
}

TEST(ArgumentsText, EverythingAfterTheProgramAsWritten) {
    const std::pair<const char *, const char *> cases[] = {
        {"format.com F:/FS:FAT/V:MY  DISK/q/y", "F:/FS:FAT/V:MY  DISK/q/y"},
        {"xcopy  \t /home/op/a  b\\*.* F:\\ /e ", "/home/op/a  b\\*.* F:\\ /e "},
        {"\"C:\\Program Files\\x.exe\"   a  b", "a  b"},
        {"\"unterminated a", ""},
        {"prog", ""},
        {"", ""},
    };
    for (const auto &[line, arguments] : cases)
        EXPECT_EQ(argumentsText(line), arguments) << line;
}

} // namespace
} // namespace dravex
