#include "platform/linux/process/linuxcapacityreports.h"

#include "fixtures.h"
#include "platform/linux/process/capacityreportfile.h"
#include "platform/linux/windows/linuxvolumeservices.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sys/stat.h>

namespace dravex {
namespace {

namespace fs = std::filesystem;
using Outcome = CapacityReport::Outcome;

// The reports of the sticks of a copy of the hub-two-sticks tree, whose disks the kernel numbers.
class LinuxCapacityReportsTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char *runtime = std::getenv("XDG_RUNTIME_DIR");
        m_savedRuntime = runtime ? std::optional<std::string>(runtime) : std::nullopt;
        fs::create_directories(m_runtime);
        ::setenv("XDG_RUNTIME_DIR", m_runtime.c_str(), 1);
        m_tree = copySysroot("hub-two-sticks", m_folder.path());
        m_volumes.emplace(m_tree, m_mounter);
        setDiskseq('F', 7);
        setDiskseq('G', 9);
    }
    void TearDown() override {
        m_savedRuntime ? ::setenv("XDG_RUNTIME_DIR", m_savedRuntime->c_str(), 1)
                       : ::unsetenv("XDG_RUNTIME_DIR");
    }

    LinuxCapacityReports::CurrentDriveMap driveMap() {
        return [this]() -> const DriveMap & { return m_volumes->driveMap(); };
    }
    std::string diskOf(char letter) { return m_volumes->driveMap().find(letter)->diskName; }
    // Gives the letter's disk a new medium number, as the kernel does when the stick is plugged in again,
    // and reads the drive list again, as a scan does.
    void setDiskseq(char letter, int diskseq) {
        writeFileBytes(m_tree + "/sys/block/" + diskOf(letter) + "/diskseq", std::to_string(diskseq) + "\n");
        m_volumes->refreshDriveList();
    }
    // Runs the event loop until the condition holds or the time is up.
    static bool waitFor(const std::function<bool()> &condition,
                        std::chrono::milliseconds limit = std::chrono::seconds(10)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!condition() && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        return condition();
    }
    // Lets the notifications of what happened so far arrive.
    static void settle() {
        waitFor([] { return false; }, std::chrono::milliseconds(300));
    }

    int m_argc = 1;
    char m_name[16] = "platform_tests";
    char *m_argv[2] = {m_name, nullptr};
    QCoreApplication m_application{m_argc, m_argv};
    TemporaryFolder m_folder;
    fs::path m_runtime = m_folder.path() / "runtime";
    std::optional<std::string> m_savedRuntime;
    std::string m_tree;
    FakeMounter m_mounter;
    std::optional<LinuxVolumeServices> m_volumes;
};

TEST_F(LinuxCapacityReportsTest, TheFolderIsTheOperatorsAloneAndGoesWithItsReports) {
    std::string folder;
    {
        LinuxCapacityReports reports(driveMap());
        folder = reports.folder();
        EXPECT_EQ(fs::path(folder).parent_path(), m_runtime);
        struct stat status {};
        ASSERT_EQ(::stat(folder.c_str(), &status), 0);
        EXPECT_TRUE(S_ISDIR(status.st_mode));
        EXPECT_EQ(status.st_mode & 07777, 0700u);
        ASSERT_TRUE(writeCapacityReport(folder, "sdb.7", {}));
        fs::create_directories(fs::path(folder) / "left" / "behind");
        EXPECT_NE(LinuxCapacityReports(driveMap()).folder(), folder) << "each tool its own";
    }
    EXPECT_FALSE(fs::exists(folder));

    // A runtime folder we may not write to, or none, and the reports go below /tmp.
    for (const char *runtime : {"/proc", "relative/runtime", ""}) {
        ::setenv("XDG_RUNTIME_DIR", runtime, 1);
        EXPECT_EQ(fs::path(LinuxCapacityReports(driveMap()).folder()).parent_path(), "/tmp") << runtime;
    }
    ::unsetenv("XDG_RUNTIME_DIR");
    LinuxCapacityReports withoutRuntime(driveMap());
    EXPECT_EQ(fs::path(withoutRuntime.folder()).parent_path(), "/tmp");
}

TEST_F(LinuxCapacityReportsTest, ALetterFindsOnlyTheReportOfTheStickItNamesNow) {
    LinuxCapacityReports reports(driveMap());
    const std::string folder = reports.folder();
    const CapacityReport counterfeit{Outcome::Counterfeit, 16'008'609'792ull, 8'482'560'000ull, 11.5, 23.5};
    ASSERT_TRUE(writeCapacityReport(folder, diskOf('F') + ".7", counterfeit));
    const auto found = reports.reportFor("F");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->outcome, Outcome::Counterfeit);
    EXPECT_EQ(found->claimedBytes, 16'008'609'792ull);
    EXPECT_EQ(found->realBytes, 8'482'560'000ull);
    EXPECT_EQ(found->writeMBps, 11.5);
    EXPECT_EQ(found->readMBps, 23.5);
    // G's disk has none; no stick, or no letter, has none either.
    for (const char *letter : {"G", "H", "f", "", "FG"})
        EXPECT_FALSE(reports.reportFor(letter)) << letter;

    // The stick pulled and plugged in again: the same disk name, a new medium number, no report.
    setDiskseq('F', 8);
    EXPECT_FALSE(reports.reportFor("F"));
    ASSERT_TRUE(writeCapacityReport(folder, diskOf('F') + ".8", {Outcome::Genuine, 1, 1, 0, 0}));
    EXPECT_EQ(reports.reportFor("F")->outcome, Outcome::Genuine);

    // What is no report: garbage, half a report, a folder in its place.
    writeFileBytes(folder + "/" + diskOf('G') + ".9", "outcome=genuine\nclaimed=");
    EXPECT_FALSE(reports.reportFor("G"));
    writeFileBytes(folder + "/" + diskOf('G') + ".9", std::string(100000, '\xff'));
    EXPECT_FALSE(reports.reportFor("G"));
    fs::remove(folder + "/" + diskOf('G') + ".9");
    fs::create_directories(folder + "/" + diskOf('G') + ".9");
    EXPECT_FALSE(reports.reportFor("G"));
}

TEST_F(LinuxCapacityReportsTest, TheListenerHearsOfEveryReportThatArrivesUntilItIsRemoved) {
    LinuxCapacityReports reports(driveMap());
    int told = 0;
    reports.setListener([&told] { ++told; });
    ASSERT_TRUE(writeCapacityReport(reports.folder(), diskOf('F') + ".7", {Outcome::Damaged, 1, 0, 0, 0}));
    ASSERT_TRUE(waitFor([&] { return told > 0; }));
    EXPECT_EQ(reports.reportFor("F")->outcome, Outcome::Damaged) << "in place when the listener hears";

    settle();
    const int before = told;
    ASSERT_TRUE(writeCapacityReport(reports.folder(), diskOf('G') + ".9", {Outcome::Genuine, 1, 1, 0, 0}));
    ASSERT_TRUE(waitFor([&] { return told > before; })) << "a second report is heard too";

    settle();
    reports.setListener({});
    const int last = told;
    ASSERT_TRUE(writeCapacityReport(reports.folder(), diskOf('G') + ".9", {Outcome::Failed, 1, 1, 0, 0}));
    settle();
    EXPECT_EQ(told, last);
}

} // namespace
} // namespace dravex
