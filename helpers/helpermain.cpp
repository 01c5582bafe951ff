#include "helpers/helpermain.h"

#include "helpers/helpertexts.h"
#include "platform/linux/process/fallbackdiskactions.h"
#include "platform/linux/process/programrun.h"
#include "platform/linux/udisks2/udisks2diskactions.h"

#include <QCoreApplication>

#include <cstdlib>
#include <iostream>
#include <memory>
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

int runHelperMain(int argc, char **argv, HelperRun run) {
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

    HelperContext context{root, *actions, std::cout, std::cerr};
    const int code = run(joinArguments(argc, argv), context);
    return finishHelper(code);
}

int finishHelper(int code) {
    std::cout.flush();
    if (code != kExitDone && ::isatty(STDIN_FILENO)) {
        std::cerr << helpertexts::kPressEnter << std::endl;
        std::string line;
        std::getline(std::cin, line);
    }
    return code;
}

} // namespace dravex
