#pragma once

#include "platform/linux/diskactions.h"
#include "platform/linux/sysfs/systemroot.h"

#include <ostream>

namespace dravex {

// Exit codes shared by the three helper programs.
constexpr int kExitDone = 0;
constexpr int kExitBadCommandLine = 1;
constexpr int kExitRefused = 2; // the drive did not pass the volume guard, or cannot take what was asked
constexpr int kExitFailed = 3;  // started on the drive and failed

// What a helper program works with: the files below the system root, the disk service, and where its
// progress lines and its errors go.
struct HelperContext {
    SystemRoot root;
    DiskActions &actions;
    std::ostream &out;
    std::ostream &err;
};

} // namespace dravex
