#include "platform/linux/process/linuxlauncher.h"

#include "fixtures.h"
#include "platform/linux/windows/linuxvolumeservices.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace dravex {
namespace {

namespace fs = std::filesystem;
using Arguments = std::vector<std::string>;

// What the probe program wrote about itself.
struct ProbeReport {
    std::string exe;
    std::string sessionId;
    Arguments arguments;
    Arguments descriptors; // "<fd> <target>"
    Arguments environment; // the tool's own variables, "NAME=value"
};

const Arguments kNullStreams = {"0 /dev/null", "1 /dev/null", "2 /dev/null"};

class LinuxLauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char *name : {"PATH", "DISPLAY", "WAYLAND_DISPLAY", "DRAVEX_PROBE_OUTPUT",
                                 "DRAVEX_SCANNED_DISKS", "DRAVEX_CAPACITY_REPORTS", "DRAVEX_RECORDS"}) {
            const char *value = std::getenv(name);
            m_savedEnvironment.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        fs::create_directories(m_folder.path() / "tool");
        fs::create_directories(m_folder.path() / "bin");
        // Drive F lies in a copy of the fixture tree, so programs can be put on the stick.
        m_volumes.emplace(copySysroot("hub-two-sticks", m_folder.path()), m_mounter);
        m_output = m_folder.path() / "probe-output";
        ::setenv("DRAVEX_PROBE_OUTPUT", m_output.c_str(), 1);
        ::setenv("PATH", (m_folder.path() / "bin").c_str(), 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
    }

    void TearDown() override {
        for (const auto &[name, value] : m_savedEnvironment)
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }

    // A copy of the probe program; copies rather than links, so each reports its own path.
    std::string installProbe(const std::string &relativePath) {
        const fs::path target = m_folder.path() / relativePath;
        fs::copy_file(DRAVEX_PROBE_PROGRAM, target, fs::copy_options::overwrite_existing);
        return target.string();
    }

    std::string tool() const { return (m_folder.path() / "tool").string(); }

    LinuxLauncher launcher() {
        return LinuxLauncher(tool(), [this](const std::string &path) { return m_volumes->nativePath(path); });
    }

    // Starts the command line and waits for the probe's report, however long the machine takes.
    ProbeReport run(const std::string &commandLine, int windowStyle = kWindowHidden) {
        if (!launcher().Shell(commandLine, windowStyle)) {
            ADD_FAILURE() << "did not start: " << commandLine;
            return {};
        }
        return waitForReport();
    }

    ProbeReport waitForReport() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!fs::exists(m_output) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::string content = fileBytes(m_output.string());
        fs::remove(m_output);
        ProbeReport report;
        for (size_t start = 0, end; start < content.size(); start = end + 1) {
            end = content.find('\0', start);
            const std::string record = content.substr(start, end - start);
            const std::string key = record.substr(0, record.find('='));
            const std::string value = record.substr(record.find('=') + 1);
            if (key == "exe")
                report.exe = value;
            else if (key == "sid")
                report.sessionId = value;
            else if (key == "env")
                report.environment.push_back(value);
            else
                (key == "arg" ? report.arguments : report.descriptors).push_back(value);
        }
        return report;
    }

    TemporaryFolder m_folder;
    fs::path m_output;
    FakeMounter m_mounter;
    std::optional<LinuxVolumeServices> m_volumes;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_savedEnvironment;
};

TEST_F(LinuxLauncherTest, ArgumentsReachTheProgramAsPlainText) {
    const std::string probe = installProbe("tool/probe");
    const std::string witness = (m_folder.path() / "witness").string();
    // A descriptor without close-on-exec, as a careless library might leave open.
    const int careless = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(careless, 0);
    const auto pid = launcher().Shell("\"" + probe + "\" \"a;b\" \"x && y\" \"$(touch " + witness +
                                          ")\" \"say \\\"hi\\\"\" \"line1\nline2\" `id` '|' >out",
                                      kWindowHidden);
    ::close(careless);
    ASSERT_TRUE(pid.has_value());
    const ProbeReport report = waitForReport();

    EXPECT_EQ(report.exe, probe);
    EXPECT_EQ(report.arguments, (Arguments{"a;b", "x && y", "$(touch " + witness + ")", "say \"hi\"",
                                           "line1\nline2", "`id`", "'|'", ">out"}));
    EXPECT_FALSE(fs::exists(witness));
    EXPECT_EQ(report.descriptors, kNullStreams);
    EXPECT_NE(report.sessionId, std::to_string(::getsid(0)));
    // Not our child: nothing to reap, so nothing can be left a zombie.
    errno = 0;
    EXPECT_EQ(::waitpid(static_cast<pid_t>(*pid), nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
}

TEST_F(LinuxLauncherTest, OwnHelpersLearnTheCommandLineTheScanTheReportAndRecordFoldersOthersDoNot) {
    installProbe("tool/format.com");
    installProbe("tool/captest");
    installProbe("bin/other");
    ::setenv("DRAVEX_SCANNED_DISKS", "F=stale:", 1);
    ::setenv("DRAVEX_CAPACITY_REPORTS", "/stale", 1);
    LinuxLauncher withScan(
        tool(), [this](const std::string &path) { return m_volumes->nativePath(path); },
        [] { return std::string("F=sdb:12,G=sdc:13"); }, "/run/user/1000/dravex-capacity-x1Y2z3");
    ASSERT_TRUE(withScan.Shell("format.com F:/FS:FAT/V:MY  DISK/q/y", kWindowHidden));
    const ProbeReport own = waitForReport();
    EXPECT_EQ(own.arguments, (Arguments{"F:/FS:FAT/V:MY", "DISK/q/y"}));
    EXPECT_EQ(own.environment, (Arguments{"DRAVEX_COMMAND_LINE=format.com F:/FS:FAT/V:MY  DISK/q/y",
                                          "DRAVEX_RECORDS=" + tool(), "DRAVEX_SCANNED_DISKS=F=sdb:12,G=sdc:13",
                                          "DRAVEX_CAPACITY_REPORTS=/run/user/1000/dravex-capacity-x1Y2z3"}));
    ASSERT_TRUE(withScan.Shell("captest G:", kWindowNormalFocus));
    EXPECT_EQ(waitForReport().environment,
              (Arguments{"DRAVEX_COMMAND_LINE=captest G:", "DRAVEX_RECORDS=" + tool(), "DRAVEX_SCANNED_DISKS=F=sdb:12,G=sdc:13",
                         "DRAVEX_CAPACITY_REPORTS=/run/user/1000/dravex-capacity-x1Y2z3"}));
    ::unsetenv("DRAVEX_SCANNED_DISKS");
    ::unsetenv("DRAVEX_CAPACITY_REPORTS");
    ASSERT_TRUE(withScan.Shell("other a  b", kWindowHidden));
    EXPECT_TRUE(waitForReport().environment.empty());
    // Without a report folder none is named, not even an empty one.
    ASSERT_TRUE(launcher().Shell("captest G:", kWindowHidden));
    EXPECT_EQ(waitForReport().environment, (Arguments{"DRAVEX_COMMAND_LINE=captest G:", "DRAVEX_RECORDS=" + tool()}));
}

TEST_F(LinuxLauncherTest, ToolStartedWithoutStandardStreams) {
    const std::string probe = installProbe("tool/probe");
    std::ofstream(m_folder.path() / "tool/notes.txt") << "not a program\n";
    // The tool's own standard streams closed: the launcher's pipe and /dev/null get descriptors 0 to 2.
    int saved[3];
    for (int fd = 0; fd < 3; ++fd)
        saved[fd] = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
    for (int fd = 0; fd < 3; ++fd)
        ::close(fd);
    const bool failedExecReported = !launcher().Shell("notes.txt", kWindowHidden).has_value();
    const bool probeStarted = launcher().Shell("\"" + probe + "\" x", kWindowHidden).has_value();
    for (int fd = 0; fd < 3; ++fd) {
        ::dup2(saved[fd], fd);
        ::close(saved[fd]);
    }
    EXPECT_TRUE(failedExecReported);
    ASSERT_TRUE(probeStarted);
    const ProbeReport report = waitForReport();
    EXPECT_EQ(report.arguments, Arguments{"x"});
    EXPECT_EQ(report.descriptors, kNullStreams);
}

TEST_F(LinuxLauncherTest, ProgramPaths) {
    const std::string probe = installProbe("tool/RemoveDrive.exe");
    const std::string onStick = installProbe("hub-two-sticks/media/op/PORT 2/RemoveDrive.exe");
    const std::string inTool = installProbe("tool/dravex-probe");
    const std::string onPath = installProbe("bin/dravex-probe");
    const std::pair<std::string, std::string> cases[] = {
        {tool() + "\\RemoveDrive.exe H", probe},
        {"\"" + tool() + "\\RemoveDrive.exe\" H", probe},
        {tool() + "/RemoveDrive.exe H", probe},
        {"f:\\.\\RemoveDrive.exe H", onStick},
        // A bare name is looked for in the tool folder before PATH.
        {"dravex-probe H", inTool},
    };
    for (const auto &[commandLine, exe] : cases) {
        const ProbeReport report = run(commandLine);
        EXPECT_EQ(report.exe, exe) << commandLine;
        EXPECT_EQ(report.arguments, Arguments{"H"}) << commandLine;
    }
    fs::remove(inTool);
    EXPECT_EQ(run("dravex-probe two").exe, onPath);
}

TEST_F(LinuxLauncherTest, UnquotedPathsWithBlanksAreTriedShortestFirst) {
    const fs::path folder = m_folder.path() / "hub-two-sticks/media/op/PORT 2/my tools";
    fs::create_directories(folder);
    const std::string probe = installProbe("hub-two-sticks/media/op/PORT 2/my tools/my probe");
    ProbeReport report = run("F:\\my tools\\my probe a \"b c\"", kWindowMaximizedFocus);
    EXPECT_EQ(report.exe, probe);
    EXPECT_EQ(report.arguments, (Arguments{"a", "b c"}));

    // The whole text, blanks and all, without arguments.
    report = run("F:\\my tools\\my probe", kWindowMaximizedFocus);
    EXPECT_EQ(report.exe, probe);
    EXPECT_TRUE(report.arguments.empty());

    // A shorter text that names an existing file wins, as it would on Windows.
    const std::string shorter = installProbe("hub-two-sticks/media/op/PORT 2/my tools/my");
    report = run("F:\\my tools\\my probe a", kWindowMaximizedFocus);
    EXPECT_EQ(report.exe, shorter);
    EXPECT_EQ(report.arguments, (Arguments{"probe", "a"}));

    // Nothing of the text names a file: nothing starts, and nothing went through a shell.
    EXPECT_FALSE(launcher().Shell("F:\\no such; touch x", kWindowMaximizedFocus).has_value());
}

TEST_F(LinuxLauncherTest, ProgramsThatCannotStart) {
    std::ofstream(m_folder.path() / "tool/notes.txt") << "not a program\n";
    fs::permissions(m_folder.path() / "tool/notes.txt", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directories(m_folder.path() / "tool/sub");
    installProbe("tool/sub/probe");
    const struct {
        std::string commandLine;
        int windowStyle;
        const char *why;
    } cases[] = {
        {"   ", kWindowHidden, "blanks only"},
        {"dravex-no-such-program x", kWindowHidden, "not in the tool folder nor on PATH"},
        {tool() + "\\missing.exe", kWindowHidden, "missing path"},
        {"K:\\probe", kWindowHidden, "drive that maps nowhere"},
        {"sub\\probe", kWindowHidden, "relative path, even one that exists below the tool folder"},
        {"notes.txt", kWindowHidden, "not executable: exec fails"},
        {"notes.txt", kWindowMaximizedFocus, "a document, but no xdg-open on PATH"},
    };
    for (const auto &c : cases)
        EXPECT_FALSE(launcher().Shell(c.commandLine, c.windowStyle).has_value()) << c.why;
}

TEST_F(LinuxLauncherTest, NormalWindowIsAnXtermInUtf8WithTheChineseFont) {
    const std::string font = "Noto Sans Mono CJK SC:pixelsize=16:charwidth=8";
    const std::string probe = installProbe("tool/probe");
    const std::string xterm = installProbe("bin/xterm");
    const std::string nice = installProbe("bin/nice");
    ::setenv("DISPLAY", ":99", 1);
    const std::string commandLine = "probe a  \"b c\"";
    ProbeReport report = run(commandLine, kWindowNormalFocus);
    EXPECT_EQ(report.exe, xterm);
    EXPECT_EQ(report.arguments, (Arguments{"-u8", "-fa", font, "-cjk_width", "-T", commandLine, "-e", nice,
                                           "-n", "0", "--", probe, "a", "b c"}));
    // The terminal passes the command line as written on to the helper.
    EXPECT_EQ(report.environment, (Arguments{"DRAVEX_COMMAND_LINE=" + commandLine, "DRAVEX_RECORDS=" + tool()}));

    // Without arguments xterm still gets more than one word after -e, which it would give to a shell.
    report = run("probe", kWindowNormalFocus);
    EXPECT_EQ(report.arguments, (Arguments{"-u8", "-fa", font, "-cjk_width", "-T", "probe", "-e", nice, "-n",
                                           "0", "--", probe}));
}

TEST_F(LinuxLauncherTest, WindowStyles) {
    const std::string probe = installProbe("tool/probe");
    // Without an X display or without xterm a normal window runs windowless; another terminal program does
    // not stand in for xterm, as its options differ.
    const struct {
        const char *display;
        const char *waylandDisplay;
        Arguments terminals;
    } cases[] = {
        {nullptr, "wayland-1", {"xterm"}},
        {nullptr, nullptr, {"xterm"}},
        {":99", nullptr, {"x-terminal-emulator"}},
        {":99", nullptr, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.terminals.empty() ? std::string("no terminal") : c.terminals.front());
        for (const char *name : {"x-terminal-emulator", "xterm"})
            fs::remove(m_folder.path() / "bin" / name);
        for (const std::string &terminal : c.terminals)
            installProbe("bin/" + terminal);
        c.display ? ::setenv("DISPLAY", c.display, 1) : ::unsetenv("DISPLAY");
        c.waylandDisplay ? ::setenv("WAYLAND_DISPLAY", c.waylandDisplay, 1) : ::unsetenv("WAYLAND_DISPLAY");
        const ProbeReport report = run("probe a \"b c\"", kWindowNormalFocus);
        EXPECT_EQ(report.exe, probe);
        EXPECT_EQ(report.arguments, (Arguments{"a", "b c"}));
    }

    // Maximized opens documents with xdg-open and runs programs itself.
    const std::string opener = installProbe("bin/xdg-open");
    std::ofstream(m_folder.path() / "tool/report.txt") << "a document\n";
    ProbeReport report = run("report.txt", kWindowMaximizedFocus);
    EXPECT_EQ(report.exe, opener);
    EXPECT_EQ(report.arguments, Arguments{tool() + "/report.txt"});
    report = run("probe x", kWindowMaximizedFocus);
    EXPECT_EQ(report.exe, probe);
    EXPECT_EQ(report.arguments, Arguments{"x"});
}

} // namespace
} // namespace dravex
