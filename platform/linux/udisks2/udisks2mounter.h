#pragma once

#include "platform/linux/mounter.h"

namespace dravex {

// Mounts through the UDisks2 service on the system bus, so the volume lands where the desktop puts it
// and the operator needs no privileges.
class UDisks2Mounter : public Mounter {
public:
    std::optional<std::string> mount(const std::string &volumeKernelName) override;
};

// UDisks2's object path of a block device: characters other than letters and digits become "_xx".
std::string udisks2BlockObjectPath(const std::string &kernelName);

} // namespace dravex
