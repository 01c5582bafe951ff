#include "platform/linux/process/programrun.h"

#include "fixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace dravex {
namespace {

TEST(RunProgram, ExitCodesAndNoShell) {
    EXPECT_EQ(runProgram({"true"}), 0);
    EXPECT_EQ(runProgram({"false"}), 1);
    EXPECT_EQ(runProgram({"/bin/sh", "-c", "exit 7"}), 7);
    EXPECT_FALSE(runProgram({"no-such-program-of-dravex"}));
    EXPECT_FALSE(runProgram({}));
    EXPECT_FALSE(runProgram({""}));

    // Shell text in an argument stays text: touch gets it as one file name.
    TemporaryFolder folder;
    const std::string name = (folder.path() / "a; touch b").string();
    EXPECT_EQ(runProgram({"touch", name}), 0);
    EXPECT_TRUE(std::filesystem::exists(name));
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "b"));
}

TEST(RunProgram, FindsToolsInSbin) {
    // fatlabel lives in /usr/sbin, which an operator's PATH lacks.
    const std::string saved = std::getenv("PATH") ? std::getenv("PATH") : "";
    ::setenv("PATH", "/usr/bin:/bin", 1);
    const auto exitCode = runProgram({"fatlabel", "--version"});
    ::setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(exitCode, 0);
}

} // namespace
} // namespace dravex
