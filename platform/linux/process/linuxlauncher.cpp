#include "platform/linux/process/linuxlauncher.h"

#include "platform/linux/debuglog.h"
#include "platform/linux/process/capacityreportfile.h"
#include "platform/linux/process/commandline.h"
#include "platform/linux/process/detachedprocess.h"
#include "platform/linux/process/helperenvironment.h"
#include "platform/linux/process/programsearch.h"

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace dravex {

namespace {

bool isFile(const std::string &path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

std::optional<std::string> findOnPath(const std::string &name) {
    return findProgram(name, std::getenv("PATH"));
}

// xterm is an X client: under Wayland it runs on XWayland, which sets DISPLAY too.
bool hasXDisplay() {
    const char *display = std::getenv("DISPLAY");
    return display && *display;
}

// The helpers print Chinese in UTF-8, so their window shows it in the CJK stand-in font our own windows fall
// back to (fonts-noto-cjk), at the 16 pixels of the Windows console's default type. xterm would make every
// cell as wide as the font's widest glyph, a Chinese one, and so space all text out twice as wide:
// charwidth gives the cell the width of the font's half-width letters, half the pixel size. -cjk_width
// gives the characters of ambiguous width (box drawing, "…", "①") two cells, as the Chinese Windows
// console does and as this font draws them.
constexpr const char *kTerminalFont = "Noto Sans Mono CJK SC:pixelsize=16:charwidth=8";

// The program in an xterm window titled with the command line, which names the stick; nothing without xterm
// (or nice). No -hold: the window closes when the program ends, and a helper that failed waits for a key
// before it ends.
std::vector<std::string> inTerminal(const std::string &title, const std::vector<std::string> &arguments) {
    const auto xterm = findOnPath("xterm");
    const auto nice = findProgram("nice", std::getenv("PATH"), "/usr/bin:/bin");
    if (!xterm || !nice)
        return {};
    std::vector<std::string> command{*xterm, "-u8", "-fa", kTerminalFont, "-cjk_width"};
    // xterm hands a lone argument after -e to "$SHELL -c" when it cannot execute it; "nice -n 0" changes
    // nothing but leaves it more than one.
    command.insert(command.end(), {"-T", title, "-e", *nice, "-n", "0", "--"});
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
}

} // namespace

LinuxLauncher::LinuxLauncher(std::string toolDirectory, NativePath nativePath, ScannedDisks scannedDisks,
                             std::string capacityReports)
    : m_toolDirectory(std::move(toolDirectory)), m_nativePath(std::move(nativePath)),
      m_scannedDisks(std::move(scannedDisks)), m_capacityReports(std::move(capacityReports)) {}

std::optional<std::string> LinuxLauncher::locate(const std::string &program) const {
    if (program.empty())
        return std::nullopt;
    if (program.find_first_of("\\/") != std::string::npos)
        return m_nativePath ? m_nativePath(program) : std::nullopt;
    const std::string inToolDirectory = m_toolDirectory + "/" + program;
    if (isFile(inToolDirectory))
        return inToolDirectory;
    return findOnPath(program);
}

std::vector<std::string> LinuxLauncher::resolve(const std::string &commandLine) const {
    // An unquoted program path may hold blanks ("H:\my tool.exe x"): like Windows, take the text up to
    // each blank in turn, shortest first, and use the first that names an existing file.
    if (!commandLine.empty() && commandLine.front() != '"') {
        size_t end = 0;
        do {
            end = std::min(commandLine.find_first_of(" \t", end + 1), commandLine.size());
            const auto program = locate(commandLine.substr(0, end));
            if (program && isFile(*program)) {
                // The rest are arguments; a stand-in program name lets the splitter read them as such.
                std::vector<std::string> arguments = splitWindowsCommandLine("x" + commandLine.substr(end));
                arguments.front() = *program;
                return arguments;
            }
        } while (end < commandLine.size());
    }
    std::vector<std::string> arguments = splitWindowsCommandLine(commandLine);
    if (arguments.empty())
        return {};
    const auto program = locate(arguments.front());
    if (!program)
        return {};
    arguments.front() = *program;
    return arguments;
}

std::optional<long> LinuxLauncher::Shell(const std::string &commandLine, int windowStyle) {
    std::vector<std::string> arguments = resolve(commandLine);
    if (arguments.empty()) {
        debugPlatform("Shell", commandLine + ": no such program");
        return std::nullopt;
    }
    const std::string program = arguments.front();
    // Our own helpers learn the command line as written, what the letters named at the scan, where a
    // capacity check leaves its report and whose production record takes theirs.
    std::vector<std::string> environment;
    const std::string ownFolder = m_toolDirectory + "/";
    if (program.compare(0, ownFolder.size(), ownFolder) == 0 &&
        program.find('/', ownFolder.size()) == std::string::npos) {
        environment.push_back(std::string(kCommandLineVariable) + "=" + commandLine);
        environment.push_back(std::string(kRecordsVariable) + "=" + m_toolDirectory);
        if (m_scannedDisks)
            environment.push_back(std::string(kScannedDisksVariable) + "=" + m_scannedDisks());
        if (!m_capacityReports.empty())
            environment.push_back(std::string(kCapacityReportsVariable) + "=" + m_capacityReports);
    }

    if (windowStyle == kWindowNormalFocus && hasXDisplay()) {
        // Without xterm the program runs windowless, as without a display: the work on the stick is done
        // all the same, and a helper that fails without a terminal ends at once instead of waiting.
        auto terminal = inTerminal(commandLine, arguments);
        if (terminal.empty())
            debugPlatform("Shell", commandLine + ": no xterm, running without a window");
        else
            arguments = std::move(terminal);
    } else if (windowStyle == kWindowMaximizedFocus && !isExecutableFile(program)) {
        const auto opener = findOnPath("xdg-open");
        if (!opener)
            return std::nullopt;
        arguments = {*opener, program};
    }
    const auto started = startDetached(arguments, environment);
    if (!started)
        debugPlatform("Shell", commandLine + ": could not start " + arguments.front());
    return started;
}

} // namespace dravex
