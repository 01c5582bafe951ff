#include "helpers/helpermain.h"

#include "helpers/helpertexts.h"
#include "platform/linux/process/commandline.h"
#include "platform/linux/process/fallbackdiskactions.h"
#include "platform/linux/process/helperenvironment.h"
#include "platform/linux/process/programrun.h"
#include "platform/linux/udisks2/udisks2diskactions.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <termios.h>
#include <unistd.h>

namespace dravex {

std::string joinArguments(int argc, char **argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            text += ' ';
        text += argv[i];
    }
    return text;
}

std::string helperCommandText(int argc, char **argv, const char *commandLine) {
    // The tool hands its own command line over too, since argv has lost the runs of blanks in it. It is
    // taken only when it is the one this program was started with.
    if (commandLine) {
        const std::vector<std::string> arguments = splitWindowsCommandLine(commandLine);
        const bool same = arguments.size() == static_cast<size_t>(std::max(argc, 1)) &&
                          std::equal(arguments.begin() + 1, arguments.end(), argv + 1);
        if (same)
            return std::string(argumentsText(commandLine));
    }
    return joinArguments(argc, argv);
}

int runHelperMain(int argc, char **argv, HelperRun run, RecordedRunOf recordedRun) {
    const char *rootVariable = std::getenv("DRAVEX_SYSTEM_ROOT");
    SystemRoot root(rootVariable && *rootVariable ? rootVariable : "/");

    // Qt only for D-Bus, and only where the disks are real; its own argument parsing sees no arguments.
    static int qtArgc = 1;
    std::unique_ptr<QCoreApplication> application;
    std::unique_ptr<DiskActions> actions;
    if (root.isWholeMachine()) {
        application = std::make_unique<QCoreApplication>(qtArgc, argv);
        // Without the service (a bare system, a container) the disks are still ours with util-linux.
        if (udisks2Reachable())
            actions = std::make_unique<UDisks2DiskActions>();
        else
            actions = std::make_unique<FallbackDiskActions>(root, runProgram);
    } else {
        actions = std::make_unique<InertDiskActions>();
    }

    LastLineBuffer outLines(std::cout.rdbuf());
    LastLineBuffer errLines(std::cerr.rdbuf());
    std::ostream out(&outLines);
    std::ostream err(&errLines);
    HelperContext context{root, *actions, out, err};
    if (const char *scanned = std::getenv(kScannedDisksVariable)) {
        // A list that cannot be read lets no letter pass.
        context.scanned = parseScannedDisks(scanned).value_or(ScannedDisks{});
    }
    const std::string commandText = helperCommandText(argc, argv, std::getenv(kCommandLineVariable));
    std::optional<HelperRecorder> recorder;
    if (const auto journal = helperJournalPath(root))
        recorder.emplace(root, *journal, recordedRun(commandText));
    const auto start = std::chrono::steady_clock::now();
    const int code = run(commandText, context);
    if (recorder) {
        const std::string message = code == kExitDone || errLines.lastLine().empty() ? outLines.lastLine()
                                                                                     : errLines.lastLine();
        recorder->finish(code, message,
                         std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start),
                         err);
    }
    out.flush();
    err.flush();
    return finishHelper(code);
}

namespace {

// Asks for a key and reads one byte of the terminal on standard input, without echo and without waiting
// for Enter; the terminal's mode is as before afterwards. Keys pressed while the helper worked are
// discarded first, so only one pressed after the question counts. Returns at end of input or on an error,
// so a closed terminal never keeps the helper alive.
void waitForKey() {
    termios saved{};
    if (::tcgetattr(STDIN_FILENO, &saved) != 0)
        return;
    termios oneKey = saved;
    oneKey.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    oneKey.c_cc[VMIN] = 1;
    oneKey.c_cc[VTIME] = 0;
    if (::tcsetattr(STDIN_FILENO, TCSAFLUSH, &oneKey) != 0)
        return;
    std::cerr << helpertexts::kPressAnyKey << std::endl;
    char key;
    while (::read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
    }
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
}

} // namespace

int finishHelper(int code) {
    std::cout.flush();
    if (code != kExitDone && ::isatty(STDIN_FILENO))
        waitForKey();
    return code;
}

} // namespace dravex
