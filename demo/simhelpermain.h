#pragma once

#include "platform/sim/simbench.h"

#include <ostream>
#include <string>

namespace dravex {

using SimHelperRun = int (*)(const std::string &commandText, SimBench &bench, std::ostream &out,
                             std::ostream &err);

// main() of the bench's helper programs: the bench folder from DRAVEX_BENCH, the arguments joined as the
// Linux helpers join them. It ends as they do: a success closes its terminal window, a failure keeps it
// open until a key is pressed, so the operator can read why.
int runSimHelperMain(int argc, char **argv, SimHelperRun run);

} // namespace dravex
