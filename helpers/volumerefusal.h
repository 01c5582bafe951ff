#pragma once

#include "helpers/helpercontext.h"
#include "platform/linux/sysfs/volumeguard.h"

#include <string>

namespace dravex {

// The line a helper prints when the volume guard refuses a drive.
std::string refusalMessage(const VolumeCheck &check);
// kExitDriveChanged when the letter moved on to another disk since the tool's scan, else kExitRefused.
int refusalExitCode(const VolumeCheck &check);

} // namespace dravex
