#pragma once

#include "platform/linux/diskactions.h"
#include "platform/linux/udisks2/udisks2mounter.h"

#include <optional>
#include <string>

namespace dravex {

// The disk actions through UDisks2 on the system bus, so an operator without privileges may run them.
class UDisks2DiskActions : public DiskActions {
public:
    std::optional<std::string> mount(const std::string &volumeKernelName) override;
    bool flush(const std::string &mountPath) override;
    bool unmount(const std::string &volumeKernelName) override;
    bool powerOff(const std::string &diskKernelName) override;
    bool eject(const std::string &diskKernelName) override;
    // Only the mapping of an encrypted volume: its file system unmounted, then the volume locked.
    bool closeHolder(const std::string &volumeKernelName, const std::string &holderKernelName) override;

private:
    UDisks2Mounter m_mounter;
};

// Whether the UDisks2 service answers on the system bus (starting it if the bus starts it on demand).
bool udisks2Reachable();

// Sets a volume's label through UDisks2, unmounting a mounted volume for it and mounting it again. Nothing
// when the service cannot be reached; otherwise whether it took the label.
std::optional<bool> udisks2SetLabel(const std::string &volumeKernelName, const std::string &label);

} // namespace dravex
