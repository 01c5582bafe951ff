#pragma once

#include "platform/linux/diskactions.h"
#include "platform/linux/sysfs/systemroot.h"
#include "platform/linux/sysfs/volumeguard.h"

#include <optional>

#include <ostream>

namespace dravex {

// Exit codes shared by the three helper programs.
constexpr int kExitDone = 0;
constexpr int kExitBadCommandLine = 1;
constexpr int kExitRefused = 2;      // the drive did not pass the volume guard, or cannot take what was asked
constexpr int kExitFailed = 3;       // started on the drive and failed
constexpr int kExitDriveChanged = 4; // the letter names another disk than at the tool's scan

// What a helper program works with: the files below the system root, the disk service, and where its
// progress lines and its errors go.
struct HelperContext {
    SystemRoot root;
    DiskActions &actions;
    std::ostream &out;
    std::ostream &err;
    // What each letter named at the tool's scan; nothing when the helper was started by hand.
    std::optional<ScannedDisks> scanned = std::nullopt;

    // The guard's rules for this run: the letter must still name the disk the tool saw.
    GuardRules guardRules(MediumRule medium = MediumRule::Required) const {
        GuardRules rules;
        rules.medium = medium;
        rules.scanned = scanned ? &*scanned : nullptr;
        return rules;
    }
};

} // namespace dravex
