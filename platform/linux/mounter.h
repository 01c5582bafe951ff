#pragma once

#include <optional>
#include <string>

namespace dravex {

// Mounts a volume that is not mounted yet, the way the desktop would when a stick is plugged in.
class Mounter {
public:
    virtual ~Mounter() = default;

    // The mount point, as seen inside the system root; nothing when the volume could not be mounted.
    virtual std::optional<std::string> mount(const std::string &volumeKernelName) = 0;
};

} // namespace dravex
