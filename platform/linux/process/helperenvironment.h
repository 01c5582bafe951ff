#pragma once

namespace dravex {

// What the tool tells the helper programs it starts, beside their command line.
// The command line exactly as the tool wrote it.
inline constexpr const char *kCommandLineVariable = "DRAVEX_COMMAND_LINE";
// What each drive letter named at the tool's last scan (scannedDisksText).
inline constexpr const char *kScannedDisksVariable = "DRAVEX_SCANNED_DISKS";
// The folder whose Dravex.db takes the helper's production record: the tool's own.
inline constexpr const char *kRecordsVariable = "DRAVEX_RECORDS";

} // namespace dravex
