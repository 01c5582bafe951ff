#pragma once

#include "platform/capacityreports.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dravex {

// The folder, named by the tool in its helpers' environment, where the capacity check leaves its report.
inline constexpr const char *kCapacityReportsVariable = "DRAVEX_CAPACITY_REPORTS";

// The report's file name in that folder: the disk's kernel name and diskseq ("sdb.12"), so a report
// belongs to one stick's stay in its port and a stick plugged in later, even into the same port, has
// none. "sdb.0" where the kernel does not number media.
std::string capacityReportFileName(const std::string &diskName, std::optional<std::uint64_t> diskseq);

// The report as lines of "name=value": outcome (genuine, counterfeit, damaged, write-protected, failed,
// no-response), claimed and real (bytes), write and read (MB/s).
std::string capacityReportText(const CapacityReport &report);
// Nothing when the text is not such a report (a name or number it does not know, an outcome missing).
std::optional<CapacityReport> parseCapacityReport(std::string_view text);

// Writes the report into the folder under its name, whole or not at all (a file beside it, renamed).
bool writeCapacityReport(const std::string &folder, const std::string &fileName, const CapacityReport &report);

} // namespace dravex
