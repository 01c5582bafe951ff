#pragma once

#include "helpers/helpercontext.h"

#include <optional>
#include <string>
#include <string_view>

namespace dravex {

// RemoveDrive.exe's command line: a drive letter, alone or followed by ":" ("H", "h:"). Upper case.
std::optional<char> parseRemoveDriveCommand(std::string_view text);

// Flushes and unmounts every mounted volume of the drive's disk, then powers the disk off; a slot of a
// card reader has only its medium ejected, so the other slots keep theirs. A stick without a medium (a dead
// one) is powered off as it is; an empty slot has nothing to eject.
int runRemoveDrive(const std::string &commandText, HelperContext &context);

} // namespace dravex
