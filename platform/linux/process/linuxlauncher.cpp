#include "platform/linux/process/linuxlauncher.h"

#include "platform/linux/debuglog.h"
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

bool hasDisplay() {
    const char *x11 = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

std::optional<std::string> findTerminal() {
    if (auto terminal = findOnPath("x-terminal-emulator"))
        return terminal;
    return findOnPath("xterm");
}

} // namespace

LinuxLauncher::LinuxLauncher(std::string toolDirectory, NativePath nativePath, ScannedDisks scannedDisks)
    : m_toolDirectory(std::move(toolDirectory)), m_nativePath(std::move(nativePath)),
      m_scannedDisks(std::move(scannedDisks)) {}

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
    // Our own helpers learn the command line as written and what the letters named at the scan.
    std::vector<std::string> environment;
    const std::string ownFolder = m_toolDirectory + "/";
    if (program.compare(0, ownFolder.size(), ownFolder) == 0 &&
        program.find('/', ownFolder.size()) == std::string::npos) {
        environment.push_back(std::string(kCommandLineVariable) + "=" + commandLine);
        if (m_scannedDisks)
            environment.push_back(std::string(kScannedDisksVariable) + "=" + m_scannedDisks());
    }

    if (windowStyle == kWindowNormalFocus && hasDisplay()) {
        if (const auto terminal = findTerminal())
            arguments.insert(arguments.begin(), {*terminal, "-e"});
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
