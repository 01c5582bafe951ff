#include "helpers/captest.h"

#include "helpers/captesttexts.h"
#include "helpers/helpertexts.h"
#include "platform/linux/process/capacityreportfile.h"

#include "helperfixtures.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace dravex {
namespace {

namespace fs = std::filesystem;
using Outcome = CapacityReport::Outcome;
constexpr std::uint64_t kMiB = 1 << 20;

std::string bytesOf(const fs::path &path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

// captest in-process on disk sdb of the guarded sticks (F: is its partition), whose image is a plain file
// below the fixture root, with the report folder the tool would name.
class CaptestRun : public HelperFixture {
protected:
    void SetUp() override {
        HelperFixture::SetUp();
        m_disk = m_tree + "/dev/sdb";
        m_reports = (fs::path(m_folder.path()) / "reports").string();
        fs::create_directories(m_reports);
        ::setenv(kCapacityReportsVariable, m_reports.c_str(), 1);
    }
    void TearDown() override { ::unsetenv(kCapacityReportsVariable); }

    void writeImage(std::uint64_t bytes) {
        std::string data(bytes, '\0');
        for (std::uint64_t i = 0; i < bytes; i += 509)
            data[i] = static_cast<char>(i / 509);
        std::ofstream(m_disk, std::ios::binary) << data;
    }
    int captest(const std::string &command) {
        HelperContext helper = context();
        return runCapacityTest(command, helper);
    }
    // The one report in the folder.
    std::optional<CapacityReport> report() const {
        for (const auto &entry : fs::directory_iterator(m_reports))
            return parseCapacityReport(bytesOf(entry.path()));
        return std::nullopt;
    }

    std::string m_disk;
    std::string m_reports;
};

TEST_F(CaptestRun, AGenuineStickIsReportedAndLeftAsItWas) {
    writeImage(12 * kMiB);
    const std::string before = bytesOf(m_disk);
    m_actions.mountPoints["sdb1"] = "/media/op/DATA";
    EXPECT_EQ(captest("F:"), kExitDone) << m_err.str();
    EXPECT_EQ(bytesOf(m_disk), before);
    EXPECT_NE(m_out.str().find(captesttexts::kGenuine), std::string::npos) << m_out.str();
    EXPECT_NE(m_out.str().find(captesttexts::kRestored), std::string::npos) << m_out.str();
    EXPECT_NE(m_out.str().find("/media/op/DATA"), std::string::npos) << m_out.str();
    EXPECT_EQ(m_actions.calls, (std::vector<std::string>{"unmount sdb1", "mount sdb1"}));
    const auto found = report();
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->outcome, Outcome::Genuine);
    EXPECT_EQ(found->realBytes, 12 * kMiB);
    EXPECT_GT(found->writeMBps, 0);
}

TEST_F(CaptestRun, BadCommandLinesAndRefusedLettersTouchNothing) {
    writeImage(4 * kMiB);
    const std::string before = bytesOf(m_disk);
    for (const char *command : {"", "FF", "1:", "F:\\", "F: G:"})
        EXPECT_EQ(captest(command), kExitBadCommandLine) << command;
    // No such drive.
    EXPECT_EQ(captest("Y:"), kExitRefused);
    EXPECT_NE(m_err.str().find(helpertexts::kNotMapped), std::string::npos) << m_err.str();
    EXPECT_EQ(bytesOf(m_disk), before);
    EXPECT_TRUE(m_actions.calls.empty());
    EXPECT_FALSE(report().has_value());
}

TEST_F(CaptestRun, AReadOnlyStickIsReportedWriteProtectedAndNotUnmounted) {
    writeImage(4 * kMiB);
    std::ofstream(m_tree + "/sys/block/sdb/ro") << "1\n";
    EXPECT_EQ(captest("F:"), kExitRefused);
    EXPECT_NE(m_err.str().find(captesttexts::kNoWriteAccess), std::string::npos) << m_err.str();
    EXPECT_TRUE(m_actions.calls.empty());
    ASSERT_TRUE(report().has_value());
    EXPECT_EQ(report()->outcome, Outcome::WriteProtected);
}

TEST_F(CaptestRun, AStickTooSmallToProbeIsRefused) {
    writeImage(kMiB);
    EXPECT_EQ(captest("F:"), kExitRefused);
    EXPECT_NE(m_err.str().find(captesttexts::kTooSmall), std::string::npos) << m_err.str();
}

TEST(CaptestWords, SizesAreRoundedDownAndTheLostAreasNamed) {
    EXPECT_EQ(sizeText(0), "0 MB");
    EXPECT_EQ(sizeText(1023 * kMiB + kMiB - 1), "1023 MB");
    EXPECT_EQ(sizeText(1024 * kMiB), "1.0 GB");
    EXPECT_EQ(sizeText(8140 * kMiB), "7.9 GB"); // 7.949 GiB
    EXPECT_EQ(sizeText(64ULL * 1024 * kMiB), "64.0 GB");

    ProbeOutcome outcome;
    outcome.report.outcome = Outcome::Counterfeit;
    outcome.report.claimedBytes = 64ULL * 1024 * kMiB;
    outcome.report.realBytes = 8ULL * 1024 * kMiB;
    outcome.badPlaces = BadPlaces::Dropped;
    outcome.unrestored = {{0, 4096}, {kMiB, 8192}};
    const std::string words = outcomeText(outcome);
    EXPECT_NE(words.find("假：实际容量只有 8.0 GB，标称 64.0 GB。写入超出部分的数据会丢失。"), std::string::npos) << words;
    EXPECT_NE(words.find("从第 0 字节起，共 4096 字节"), std::string::npos) << words;
    EXPECT_NE(words.find("从第 1048576 字节起，共 8192 字节"), std::string::npos) << words;
    EXPECT_EQ(words.find(captesttexts::kRestored), std::string::npos) << words;
    // No speeds were measured: none are shown.
    EXPECT_EQ(words.find(captesttexts::kSpeeds), std::string::npos) << words;
}

} // namespace
} // namespace dravex
