#include "platform/linux/linuxlauncher.h"

#include "fixtures.h"
#include "platform/linux/linuxvolumeservices.h"

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

// What the probe program wrote about itself.
struct ProbeReport {
    std::string exe;
    std::string sessionId;
    std::vector<std::string> arguments;
    std::vector<std::string> descriptors; // "<fd> <target>"
};

class LinuxLauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char *name : {"PATH", "DISPLAY", "WAYLAND_DISPLAY", "DRAVEX_PROBE_OUTPUT"}) {
            const char *value = std::getenv(name);
            m_savedEnvironment.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        const auto *test = ::testing::UnitTest::GetInstance()->current_test_info();
        m_folder = fs::weakly_canonical(fs::path(::testing::TempDir())) /
                   ("dravex-launch-" + std::to_string(::getpid()) + "-" + test->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder / "tool");
        fs::create_directories(m_folder / "bin");
        // Drive F lies in a copy of the fixture tree, so programs can be put on the stick.
        fs::copy(sysroot("hub-two-sticks"), m_folder / "root",
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        m_volumes.emplace((m_folder / "root").string(), m_mounter);
        m_output = m_folder / "probe-output";
        ::setenv("DRAVEX_PROBE_OUTPUT", m_output.c_str(), 1);
        ::setenv("PATH", (m_folder / "bin").c_str(), 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
    }

    void TearDown() override {
        for (const auto &[name, value] : m_savedEnvironment) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        fs::remove_all(m_folder);
    }

    // A copy of the probe program; copies rather than links, so each reports its own path.
    std::string installProbe(const std::string &relativePath) {
        const fs::path target = m_folder / relativePath;
        fs::copy_file(DRAVEX_PROBE_PROGRAM, target, fs::copy_options::overwrite_existing);
        return target.string();
    }

    std::string tool() const { return (m_folder / "tool").string(); }

    // Waits for the probe's report, however long the machine takes to start it.
    ProbeReport waitForReport() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!fs::exists(m_output) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::ifstream file(m_output, std::ios::binary);
        const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        ProbeReport report;
        size_t start = 0;
        while (start < content.size()) {
            const size_t end = content.find('\0', start);
            const std::string record = content.substr(start, end - start);
            const size_t equals = record.find('=');
            const std::string key = record.substr(0, equals);
            const std::string value = record.substr(equals + 1);
            if (key == "exe")
                report.exe = value;
            else if (key == "sid")
                report.sessionId = value;
            else if (key == "arg")
                report.arguments.push_back(value);
            else if (key == "fd")
                report.descriptors.push_back(value);
            start = end == std::string::npos ? content.size() : end + 1;
        }
        fs::remove(m_output);
        return report;
    }

    std::string stick() const { return (m_folder / "root/media/op/PORT 2").string(); }

    LinuxLauncher launcher() {
        return LinuxLauncher(tool(), [this](const std::string &path) { return m_volumes->nativePath(path); });
    }

    fs::path m_folder;
    fs::path m_output;
    FakeMounter m_mounter;
    std::optional<LinuxVolumeServices> m_volumes;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_savedEnvironment;
};

TEST_F(LinuxLauncherTest, ArgumentsReachTheProgramAsPlainText) {
    const std::string probe = installProbe("tool/probe");
    const fs::path witness = m_folder / "witness";
    // A descriptor without close-on-exec, as a careless library might leave open.
    const int careless = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(careless, 0);

    const auto pid = launcher().Shell("\"" + probe + "\" \"a;b\" \"x && y\" \"$(touch " + witness.string() +
                                          ")\" \"say \\\"hi\\\"\" \"line1\nline2\" `id` '|' >out",
                                      kWindowHidden);
    ::close(careless);
    ASSERT_TRUE(pid.has_value());
    const ProbeReport report = waitForReport();

    EXPECT_EQ(report.exe, probe);
    const std::vector<std::string> expected = {
        "a;b", "x && y", "$(touch " + witness.string() + ")", "say \"hi\"", "line1\nline2", "`id`",
        "'|'", ">out"};
    EXPECT_EQ(report.arguments, expected);
    EXPECT_FALSE(fs::exists(witness));
    EXPECT_EQ(report.descriptors, (std::vector<std::string>{"0 /dev/null", "1 /dev/null", "2 /dev/null"}));
    EXPECT_NE(report.sessionId, std::to_string(::getsid(0)));

    // Not our child: nothing to reap, so nothing can be left a zombie.
    errno = 0;
    EXPECT_EQ(::waitpid(static_cast<pid_t>(*pid), nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(LinuxLauncherTest, ToolStartedWithoutStandardStreams) {
    const std::string probe = installProbe("tool/probe");
    std::ofstream(m_folder / "tool" / "notes.txt") << "not a program\n";
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
    EXPECT_EQ(report.arguments, std::vector<std::string>{"x"});
    EXPECT_EQ(report.descriptors, (std::vector<std::string>{"0 /dev/null", "1 /dev/null", "2 /dev/null"}));
}

TEST_F(LinuxLauncherTest, FindsProgramsInTheToolFolderBeforePath) {
    const std::string inTool = installProbe("tool/dravex-probe");
    const std::string onPath = installProbe("bin/dravex-probe");
    ASSERT_TRUE(launcher().Shell("dravex-probe one", kWindowHidden));
    EXPECT_EQ(waitForReport().exe, inTool);

    fs::remove(inTool);
    ASSERT_TRUE(launcher().Shell("dravex-probe two", kWindowHidden));
    const ProbeReport report = waitForReport();
    EXPECT_EQ(report.exe, onPath);
    EXPECT_EQ(report.arguments, std::vector<std::string>{"two"});
}

TEST_F(LinuxLauncherTest, ProgramPaths) {
    const std::string probe = installProbe("tool/RemoveDrive.exe");
    const std::string onStick = installProbe("root/media/op/PORT 2/RemoveDrive.exe");
    const struct {
        std::string commandLine;
        std::string exe;
        const char *why;
    } cases[] = {
        {tool() + "\\RemoveDrive.exe H", probe, "tool folder joined with a backslash"},
        {"\"" + tool() + "\\RemoveDrive.exe\" H", probe, "quoted"},
        {(m_folder / "tool/RemoveDrive.exe").string() + " H", probe, "plain Linux path"},
        {"F:\\RemoveDrive.exe H", onStick, "on a drive"},
        {"f:\\.\\RemoveDrive.exe H", onStick, "on a drive, lower-case letter and a dot folder"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.why);
        ASSERT_TRUE(launcher().Shell(c.commandLine, kWindowHidden));
        const ProbeReport report = waitForReport();
        EXPECT_EQ(report.exe, c.exe);
        EXPECT_EQ(report.arguments, std::vector<std::string>{"H"});
    }
}

TEST_F(LinuxLauncherTest, UnquotedPathsWithBlanksAreTriedShortestFirst) {
    fs::create_directories(m_folder / "root/media/op/PORT 2/my tools");
    const std::string probe = installProbe("root/media/op/PORT 2/my tools/my probe");
    ASSERT_TRUE(launcher().Shell("F:\\my tools\\my probe a \"b c\"", kWindowMaximizedFocus));
    ProbeReport report = waitForReport();
    EXPECT_EQ(report.exe, probe);
    EXPECT_EQ(report.arguments, (std::vector<std::string>{"a", "b c"}));

    // The whole text, blanks and all, without arguments.
    ASSERT_TRUE(launcher().Shell("F:\\my tools\\my probe", kWindowMaximizedFocus));
    report = waitForReport();
    EXPECT_EQ(report.exe, probe);
    EXPECT_TRUE(report.arguments.empty());

    // A shorter text that names an existing file wins, as it would on Windows.
    const std::string shorter = installProbe("root/media/op/PORT 2/my tools/my");
    ASSERT_TRUE(launcher().Shell("F:\\my tools\\my probe a", kWindowMaximizedFocus));
    report = waitForReport();
    EXPECT_EQ(report.exe, shorter);
    EXPECT_EQ(report.arguments, (std::vector<std::string>{"probe", "a"}));

    // Nothing of the text names a file: nothing starts, and nothing went through a shell.
    EXPECT_FALSE(launcher().Shell("F:\\no such; touch x", kWindowMaximizedFocus).has_value());
}

TEST_F(LinuxLauncherTest, ProgramsThatCannotStart) {
    std::ofstream(m_folder / "tool" / "notes.txt") << "not a program\n";
    fs::permissions(m_folder / "tool" / "notes.txt", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directories(m_folder / "tool" / "sub");
    installProbe("tool/sub/probe");
    const struct {
        std::string commandLine;
        int windowStyle;
        const char *why;
    } cases[] = {
        {"", kWindowHidden, "empty command line"},
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

TEST_F(LinuxLauncherTest, NormalWindowRunsInATerminalWhenThereIsADisplay) {
    const std::string probe = installProbe("tool/probe");
    const struct {
        const char *display;
        const char *waylandDisplay;
        std::vector<std::string> terminals;
        std::string expectedExe;
        bool inTerminal;
    } cases[] = {
        {":99", nullptr, {"x-terminal-emulator", "xterm"}, "bin/x-terminal-emulator", true},
        {nullptr, "wayland-1", {"xterm"}, "bin/xterm", true},
        {nullptr, nullptr, {"x-terminal-emulator"}, "tool/probe", false},
        {":99", nullptr, {}, "tool/probe", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.expectedExe);
        for (const char *name : {"x-terminal-emulator", "xterm"})
            fs::remove(m_folder / "bin" / name);
        for (const std::string &terminal : c.terminals)
            installProbe("bin/" + terminal);
        c.display ? ::setenv("DISPLAY", c.display, 1) : ::unsetenv("DISPLAY");
        c.waylandDisplay ? ::setenv("WAYLAND_DISPLAY", c.waylandDisplay, 1) : ::unsetenv("WAYLAND_DISPLAY");

        ASSERT_TRUE(launcher().Shell("probe a \"b c\"", kWindowNormalFocus));
        const ProbeReport report = waitForReport();
        EXPECT_EQ(report.exe, (m_folder / c.expectedExe).string());
        const std::vector<std::string> expected = c.inTerminal
                                                      ? std::vector<std::string>{"-e", probe, "a", "b c"}
                                                      : std::vector<std::string>{"a", "b c"};
        EXPECT_EQ(report.arguments, expected);
    }
}

TEST_F(LinuxLauncherTest, MaximizedOpensDocumentsAndRunsPrograms) {
    const std::string probe = installProbe("tool/probe");
    const std::string opener = installProbe("bin/xdg-open");
    std::ofstream(m_folder / "tool" / "report.txt") << "a document\n";

    ASSERT_TRUE(launcher().Shell("report.txt", kWindowMaximizedFocus));
    ProbeReport report = waitForReport();
    EXPECT_EQ(report.exe, opener);
    EXPECT_EQ(report.arguments, std::vector<std::string>{(m_folder / "tool" / "report.txt").string()});

    ASSERT_TRUE(launcher().Shell("probe x", kWindowMaximizedFocus));
    report = waitForReport();
    EXPECT_EQ(report.exe, probe);
    EXPECT_EQ(report.arguments, std::vector<std::string>{"x"});
}

} // namespace
} // namespace dravex
