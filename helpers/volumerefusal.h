#pragma once

#include "platform/linux/volumeguard.h"

#include <string>

namespace dravex {

// The line a helper prints when the volume guard refuses a drive.
std::string refusalMessage(const VolumeCheck &check);

} // namespace dravex
