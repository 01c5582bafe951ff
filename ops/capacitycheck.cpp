#include "ops/capacitycheck.h"

#include "model/verdicts.h"
#include "ops/opstexts.h"

#include <cstdint>
#include <cstdio>

namespace dravex {

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

bool isListed(const DriveSlot &slot) {
    return !slot.letter.empty() && !slot.capacity.empty();
}

// Rounded down, so a counterfeit's real size is never overstated: "7.9G" from 1 GiB on, else "512M".
std::string realSizeText(std::uint64_t bytes) {
    if (bytes < kGiB)
        return std::to_string(bytes / kMiB) + "M";
    // Whole GiB and tenths apart, so that no product can overflow.
    const std::uint64_t tenths = bytes % kGiB * 10 / kGiB;
    return std::to_string(bytes / kGiB) + "." + std::to_string(tenths) + "G";
}

std::string verdictOf(const CapacityReport &report) {
    using Outcome = CapacityReport::Outcome;
    switch (report.outcome) {
    case Outcome::Genuine:
        return verdicts::kGenuine;
    case Outcome::Counterfeit:
        return verdicts::kCounterfeitPrefix + realSizeText(report.realBytes);
    case Outcome::Damaged:
        return verdicts::kDamaged;
    case Outcome::WriteProtected:
        return verdicts::kWriteProtected;
    case Outcome::NoResponse:
        return verdicts::kNoResponse;
    case Outcome::Failed:
        break;
    }
    return verdicts::kCheckFailed;
}

} // namespace

void startCapacityChecks(const DriveTable &table, MainWindowState &window, Launcher &launcher) {
    window.setMousePointer(kPointerHourglass);
    bool started = false;
    bool missing = false;
    for (const DriveSlot &slot : table.slots) {
        if (!isListed(slot) || slot.checkResult == verdicts::kWriteProtected)
            continue;
        window.panel(1) = opstexts::kCapacityStarting;
        if (launcher.Shell("captest " + slot.letter + ":", kWindowNormalFocus))
            started = true;
        else
            missing = true;
    }
    // With no stick to check, panel 1 keeps what it said.
    if (missing)
        window.panel(1) = opstexts::kCapacityProgramMissing;
    else if (started)
        window.panel(1) = opstexts::kCapacityStarted;
    window.setMousePointer(kPointerDefault);
}

void applyCapacityReports(DriveTable &table, CapacityReports &reports) {
    for (DriveSlot &slot : table.slots) {
        if (!isListed(slot))
            continue;
        const auto report = reports.reportFor(slot.letter);
        if (!report)
            continue;
        if (report->writeMBps > 0 && report->readMBps > 0) {
            char speeds[96];
            std::snprintf(speeds, sizeof speeds, opstexts::kSpeedsFormat, report->writeMBps,
                          report->readMBps);
            slot.usedSpace = speeds;
        }
        const bool contentVerdict =
            slot.checkResult == verdicts::kSame || slot.checkResult == verdicts::kDifferent;
        if (report->outcome != CapacityReport::Outcome::Genuine || !contentVerdict)
            slot.checkResult = verdictOf(*report);
    }
}

} // namespace dravex
