#pragma once

#include "platform/linux/mounter.h"

#include <string>

namespace dravex {

// What the helper programs ask of the machine's disk service, beside mounting. Names are kernel names.
class DiskActions : public Mounter {
public:
    // Writes what is cached for the file system mounted at this path (a path of this machine) to its medium.
    virtual bool flush(const std::string &mountPath) = 0;
    // Unmounts every mount of the volume; false when one stays.
    virtual bool unmount(const std::string &volumeKernelName) = 0;
    // Cuts the power to the disk's USB device, so the kernel reports it gone.
    virtual bool powerOff(const std::string &diskKernelName) = 0;
    // Ejects the disk's medium, leaving the device (and a card reader's other slots) powered.
    virtual bool eject(const std::string &diskKernelName) = 0;
    // Takes away a holder stacked on a volume (an unlocked encrypted volume's mapping), unmounting what is
    // mounted of it first; false when it is of a kind this cannot close or stays.
    virtual bool closeHolder(const std::string &volumeKernelName, const std::string &holderKernelName) = 0;
};

// Writes back what is cached for the file system mounted at the path (a path of this machine); a path that
// cannot be opened gets the whole machine written back.
bool flushFileSystem(const std::string &mountPath);

// For a system root that is not the machine: nothing below a fixture tree is a real disk, so every action
// succeeds without touching anything and nothing gets mounted.
class InertDiskActions : public DiskActions {
public:
    std::optional<std::string> mount(const std::string &) override { return std::nullopt; }
    bool flush(const std::string &) override { return true; }
    bool unmount(const std::string &) override { return true; }
    bool powerOff(const std::string &) override { return true; }
    bool eject(const std::string &) override { return true; }
    bool closeHolder(const std::string &, const std::string &) override { return true; }
};

} // namespace dravex
