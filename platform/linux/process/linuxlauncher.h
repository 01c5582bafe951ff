#pragma once

#include "platform/launcher.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dravex {

// Starts programs from Windows-style command lines: split by the Windows rules and executed directly,
// never through a shell. A program given with a folder ("H:\x", "/opt/dravex\x") lies where the native
// path function says (LinuxVolumeServices::nativePath in the tool); a bare name is looked for in the
// tool's own folder, then on PATH.
//
// Window styles: 0 runs detached with no terminal; 1 runs in an xterm window (UTF-8, CJK font) when there
// is an X display and xterm is installed, otherwise as 0; 3 runs an executable as 0 and opens any other
// file with xdg-open. Other styles run as 0.
//
// A program from the tool's own folder also gets DRAVEX_COMMAND_LINE (the command line as written, which
// argv cannot carry: runs of blanks), DRAVEX_SCANNED_DISKS and DRAVEX_CAPACITY_REPORTS.
class LinuxLauncher : public Launcher {
public:
    using NativePath = std::function<std::optional<std::string>(const std::string &windowsPath)>;

    // What the letters named at the tool's last scan (scannedDisksText), for the helpers in the tool's
    // folder.
    using ScannedDisks = std::function<std::string()>;

    // capacityReports: the folder for the capacity checks' reports (LinuxCapacityReports::folder); none
    // is named when it is empty.
    LinuxLauncher(std::string toolDirectory, NativePath nativePath, ScannedDisks scannedDisks = {},
                  std::string capacityReports = {});

    std::optional<long> Shell(const std::string &commandLine, int windowStyle) override;

private:
    std::optional<std::string> locate(const std::string &program) const;
    // The program's path and its arguments; nothing when no program can be found.
    std::vector<std::string> resolve(const std::string &commandLine) const;

    std::string m_toolDirectory;
    NativePath m_nativePath;
    ScannedDisks m_scannedDisks;
    std::string m_capacityReports;
};

} // namespace dravex
