#pragma once

#include "helpers/helpercontext.h"
#include "helpers/helperrecord.h"

#include <string>

namespace dravex {

// RemoveDrive.exe takes a drive letter (parseDriveArgument). Flushes and unmounts every mounted volume of the drive's disk, then powers the disk off; a slot of a
// card reader has only its medium ejected, so the other slots keep theirs. A stick without a medium (a dead
// one) is powered off as it is; an empty slot has nothing to eject.
int runRemoveDrive(const std::string &commandText, HelperContext &context);
// The run as the production record keeps it: the drive.
RecordedRun removeDriveRun(const std::string &commandText);

} // namespace dravex
