#include "demo/simhelpermain.h"

#include "demo/simhelpertexts.h"
#include "helpers/helpercontext.h"
#include "helpers/helpermain.h"
#include "helpers/helpertexts.h"

#include <cstdlib>
#include <iostream>

namespace dravex {

int runSimHelperMain(int argc, char **argv, SimHelperRun run) {
    const char *benchFolder = std::getenv("DRAVEX_BENCH");
    int code = kExitBadCommandLine;
    if (!benchFolder || !*benchFolder) {
        std::cerr << helpertexts::kError << simhelpertexts::kNoBench << std::endl;
    } else {
        SimBench bench{std::filesystem::path(benchFolder)};
        if (!bench.folderProblem().empty()) {
            std::cerr << helpertexts::kError << bench.folderProblem() << std::endl;
            code = kExitFailed;
        } else {
            code = run(joinArguments(argc, argv), bench, std::cout, std::cerr);
        }
    }
    return finishHelper(code);
}

} // namespace dravex
