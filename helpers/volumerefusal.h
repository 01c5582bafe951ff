#pragma once

#include "platform/linux/sysfs/volumeguard.h"

#include <string>

namespace dravex {

// The line a helper prints when the volume guard refuses a drive.
std::string refusalMessage(const VolumeCheck &check);

} // namespace dravex
