#pragma once

#include "platform/linux/diskactions.h"
#include "platform/linux/sysfs/systemroot.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dravex {

// Starts a program from its arguments and returns its exit code, nothing when it could not run.
using ProgramRunner = std::function<std::optional<int>(const std::vector<std::string> &arguments)>;

// The disk actions on a machine without the UDisks2 service, with util-linux and sysfs: umount of each
// mount point, mount of the device at the point it was unmounted from, eject of the disk's node, and power
// off by deleting the disk's SCSI device. Paths below the system root, so a test can watch them in a
// fixture tree with a runner of its own.
class FallbackDiskActions : public DiskActions {
public:
    explicit FallbackDiskActions(SystemRoot root, ProgramRunner runner);

    // Only a volume this object unmounted is mounted again, and only where it was.
    std::optional<std::string> mount(const std::string &volumeKernelName) override;
    bool flush(const std::string &mountPath) override;
    bool unmount(const std::string &volumeKernelName) override;
    // Never for a card-reader slot: that would take the slot away until the reader is plugged in again.
    bool powerOff(const std::string &diskKernelName) override;
    bool eject(const std::string &diskKernelName) override;
    // Never: without UDisks2 nobody could tell the desktop that a mapping it may be using went away.
    bool closeHolder(const std::string &, const std::string &) override { return false; }

private:
    SystemRoot m_root;
    ProgramRunner m_run;
    std::map<std::string, std::string> m_unmountedFrom;
};

} // namespace dravex
