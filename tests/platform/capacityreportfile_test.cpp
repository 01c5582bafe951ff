#include "platform/linux/process/capacityreportfile.h"

#include "fixtures.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace dravex {
namespace {

namespace fs = std::filesystem;
using Outcome = CapacityReport::Outcome;

// Every field of a report in one text, so that one comparison catches a value read into the wrong field.
std::string fieldsOf(const std::optional<CapacityReport> &report) {
    if (!report)
        return "(none)";
    return std::to_string(static_cast<int>(report->outcome)) + " " + std::to_string(report->claimedBytes) +
           " " + std::to_string(report->realBytes) + " " + std::to_string(report->writeMBps) + " " +
           std::to_string(report->readMBps);
}

TEST(CapacityReportFile, FileNamesTellAStaysDiskAndSequenceApart) {
    EXPECT_EQ(capacityReportFileName("sdb", 12u), "sdb.12");
    EXPECT_EQ(capacityReportFileName("sdb", 13u), "sdb.13");
    EXPECT_EQ(capacityReportFileName("sdc", std::nullopt), "sdc.0");
}

TEST(CapacityReportFile, EveryOutcomeComesBackAsWritten) {
    for (const Outcome outcome : {Outcome::Genuine, Outcome::Counterfeit, Outcome::Damaged,
                                  Outcome::WriteProtected, Outcome::Failed, Outcome::NoResponse}) {
        const CapacityReport report{outcome, 16'008'609'792ull, 8'589'934'592ull, 12.3, 25.1};
        EXPECT_EQ(fieldsOf(parseCapacityReport(capacityReportText(report))), fieldsOf(report));
    }
    // The largest sizes and a speed that needs no decimal survive too; a speed keeps one decimal.
    const CapacityReport extremes{Outcome::Genuine, UINT64_MAX, UINT64_MAX, 0, 9876.54};
    EXPECT_EQ(fieldsOf(parseCapacityReport(capacityReportText(extremes))),
              "0 18446744073709551615 18446744073709551615 0.000000 9876.500000");
    EXPECT_EQ(capacityReportText({Outcome::Counterfeit, 2048, 1024, 3.25, 0}),
              "outcome=counterfeit\nclaimed=2048\nreal=1024\nwrite=3.2\nread=0.0\n");
}

TEST(CapacityReportFile, ReadsWhatAHelperMayWriteAndNothingElse) {
    // Any order, blank lines, a missing last line end, fields left out (0), up to six decimals.
    EXPECT_EQ(fieldsOf(parseCapacityReport("\nread=7.123456\noutcome=damaged\n\nclaimed=100")),
              "2 100 0 0.000000 7.123456");
    const char *const refused[] = {
        "",
        "claimed=1\nreal=1\n",                          // no outcome
        "outcome=fake\n",                               // an outcome we do not know
        "outcome=Genuine\n",                            // nor in another case
        "outcome=genuine\nsize=5\n",                    // a name we do not know
        "outcome=genuine\nclaimed\n",                   // no "="
        "outcome=genuine\nclaimed=-1\n",                // negative
        "outcome=genuine\nclaimed=1e9\n",               // not a whole count
        "outcome=genuine\nreal=18446744073709551616\n", // beyond 64 bits
        "outcome=genuine\nreal= 5\n",                   // blanks
        "outcome=genuine\nreal=\n",                     // empty
        "outcome=genuine\nwrite=-1.0\n",                // negative speed
        "outcome=genuine\nwrite=12.3456789\n",          // overlong fraction
        "outcome=genuine\nwrite=12.\n",                 // no fraction after the point
        "outcome=genuine\nwrite=.5\n",                  // no whole part
        "outcome=genuine\nread=1.2.3\n",                // garbage
        "outcome=genuine\nread=nan\n",
        "outcome=genuine\r\nclaimed=1\r\n", // Windows line ends are no report of ours
    };
    for (const char *text : refused)
        EXPECT_EQ(fieldsOf(parseCapacityReport(text)), "(none)") << text;
}

TEST(CapacityReportFile, WritingLeavesTheWholeReportAndNoPartialFile) {
    TemporaryFolder folder;
    const CapacityReport report{Outcome::Counterfeit, 17'179'869'184ull, 8'482'560'000ull, 11.04, 23.96};
    ASSERT_TRUE(writeCapacityReport(folder.path().string(), "sdb.12", report));
    EXPECT_EQ(fileBytes((folder.path() / "sdb.12").string()),
              "outcome=counterfeit\nclaimed=17179869184\nreal=8482560000\nwrite=11.0\nread=24.0\n");
    EXPECT_FALSE(fs::exists(folder.path() / "sdb.12.part"));
    // A later report replaces the earlier one whole.
    ASSERT_TRUE(writeCapacityReport(folder.path().string(), "sdb.12", {Outcome::Genuine, 1, 1, 0, 0}));
    EXPECT_EQ(fileBytes((folder.path() / "sdb.12").string()),
              "outcome=genuine\nclaimed=1\nreal=1\nwrite=0.0\nread=0.0\n");
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder.path()))
        names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"sdb.12"});

    // A folder that is not there takes nothing and is not made.
    EXPECT_FALSE(writeCapacityReport((folder.path() / "gone").string(), "sdb.12", report));
    EXPECT_FALSE(fs::exists(folder.path() / "gone"));
}

} // namespace
} // namespace dravex
