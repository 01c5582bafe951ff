#pragma once

#include "helpers/capacityprobe.h"
#include "helpers/helpercontext.h"
#include "helpers/helperrecord.h"

#include <cstdint>
#include <string>

namespace dravex {

// captest X: finds the real capacity and the speeds of the stick at the letter (probeCapacity), with the
// stick's volumes unmounted and its disk locked meanwhile, and leaves a report for the tool in the folder
// named by DRAVEX_CAPACITY_REPORTS. Exit code 0 for a genuine stick, kExitRefused for one that cannot be
// written, kExitFailed for a counterfeit or broken one and a check that could not finish.
int runCapacityTest(const std::string &commandText, HelperContext &context);
// The run as the production record keeps it: the drive.
RecordedRun capacityTestRun(const std::string &commandText);

// "7.9 GB" (GiB with one decimal) from 1 GiB on, else "512 MB" (whole MiB); rounded down, so a real size
// is never overstated.
std::string sizeText(std::uint64_t bytes);

// What the probe found, in the words the helper's window shows.
std::string outcomeText(const ProbeOutcome &outcome);

} // namespace dravex
