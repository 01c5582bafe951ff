#include "helpers/captest.h"

#include "helpers/captesttexts.h"
#include "helpers/directdisk.h"
#include "helpers/driveargument.h"
#include "helpers/helpertexts.h"
#include "helpers/mountpoints.h"
#include "helpers/volumerefusal.h"
#include "platform/linux/process/capacityreportfile.h"
#include "platform/linux/sysfs/disklock.h"
#include "platform/linux/sysfs/volumeguard.h"
#include "platform/linux/sysfs/writeaccess.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace dravex {

namespace {

using Outcome = CapacityReport::Outcome;

// Longer than any single request of a working stick takes, even one busy cleaning up its flash; shorter
// than the kernel's own patience with a USB disk, so the operator learns first.
constexpr std::chrono::seconds kAnswerWithin(15);
constexpr int kOpenAttempts = 3;

std::string error(const std::string &what) {
    return helpertexts::kError + what;
}

std::string speedText(double speed) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", speed);
    return text;
}

void leaveReport(HelperContext &context, const MappedVolume &volume, const CapacityReport &report) {
    const char *folder = std::getenv(kCapacityReportsVariable);
    if (!folder || !*folder)
        return;
    if (!writeCapacityReport(folder, capacityReportFileName(volume.diskName, volume.diskseq), report))
        context.err << error(captesttexts::kReportFailed + std::string(folder)) << std::endl;
}

int exitCodeOf(Outcome outcome) {
    switch (outcome) {
    case Outcome::Genuine:
        return kExitDone;
    case Outcome::WriteProtected:
        return kExitRefused;
    default:
        return kExitFailed;
    }
}

} // namespace

std::string sizeText(std::uint64_t bytes) {
    constexpr std::uint64_t kMiB = 1 << 20;
    constexpr std::uint64_t kGiB = kMiB << 10;
    if (bytes < kGiB)
        return std::to_string(bytes / kMiB) + " MB";
    const std::uint64_t tenths = bytes * 10 / kGiB;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " GB";
}

std::string outcomeText(const ProbeOutcome &outcome) {
    const CapacityReport &report = outcome.report;
    std::string text;
    switch (report.outcome) {
    case Outcome::Genuine:
        text = captesttexts::kGenuine + sizeText(report.realBytes) + "。\n";
        break;
    case Outcome::Counterfeit:
        text = captesttexts::kCounterfeit + sizeText(report.realBytes) + captesttexts::kClaimedWas +
               sizeText(report.claimedBytes) + "。";
        text += outcome.badPlaces == BadPlaces::Wrap      ? captesttexts::kWraps
                : outcome.badPlaces == BadPlaces::Dropped ? captesttexts::kDrops
                                                          : captesttexts::kFails;
        text += "\n";
        break;
    case Outcome::Damaged:
        text = captesttexts::kDamaged + sizeText(report.realBytes) + captesttexts::kDamagedAfter + "\n";
        break;
    case Outcome::NoResponse:
        text = std::string(captesttexts::kNoResponse) + "\n";
        break;
    case Outcome::Failed:
    case Outcome::WriteProtected:
        text = std::string(captesttexts::kFailed) + "\n";
        break;
    }
    if (report.writeMBps > 0 && report.readMBps > 0)
        text += captesttexts::kSpeeds + speedText(report.writeMBps) + captesttexts::kReadSpeed +
                speedText(report.readMBps) + captesttexts::kSpeedUnit + "\n";
    if (outcome.unrestored.empty()) {
        text += std::string(captesttexts::kRestored) + "\n";
    } else {
        text += std::string(captesttexts::kLost) + "\n";
        for (const Area &area : outcome.unrestored)
            text += captesttexts::kAreaFrom + std::to_string(area.offset) + captesttexts::kAreaLength +
                    std::to_string(area.length) + captesttexts::kBytes + "\n";
    }
    return text;
}

RecordedRun capacityTestRun(const std::string &commandText) {
    return {operations::kCapacityCheck, parseDriveArgument(commandText), {}};
}

int runCapacityTest(const std::string &commandText, HelperContext &context) {
    const auto letter = parseDriveArgument(commandText);
    if (!letter) {
        context.err << error(captesttexts::kBadLetter + commandText) << std::endl;
        return kExitBadCommandLine;
    }
    const VolumeCheck check = checkVolume(context.root, DriveMap::read(context.root), *letter, context.guardRules());
    if (!check.volume) {
        context.err << refusalMessage(check) << std::endl;
        return refusalExitCode(check);
    }
    const MappedVolume volume = *check.volume;
    const std::string device = context.root.path("/dev/" + volume.diskName);
    if (!mayWriteDevice(context.root, volume, device)) {
        context.err << error(captesttexts::kNoWriteAccess + device) << std::endl;
        CapacityReport report;
        report.outcome = Outcome::WriteProtected;
        leaveReport(context, volume, report);
        return kExitRefused;
    }

    // The stick's volumes are unmounted first and the disk locked afterwards: UDisks2 waits for udev after
    // an unmount, and udev holds back the events of a locked disk. The lock then keeps the tool's scan from
    // mounting it again until the end; a mount that slipped in between makes the exclusive open fail, and
    // the volumes are unmounted once more.
    const bool wholeMachine = context.root.isWholeMachine();
    std::vector<std::string> unmounted;
    std::optional<DiskLock> lock;
    std::unique_ptr<DirectDisk> disk;
    CapacityReport report;
    for (int attempt = 1;; ++attempt) {
        const DriveMap map = DriveMap::read(context.root);
        for (const MappedVolume &each : map.volumes()) {
            if (each.diskName != volume.diskName || mountPointsOf(context.root, each).empty())
                continue;
            if (!context.actions.unmount(each.volumeName)) {
                context.err << error(helpertexts::kUnmountFailed + each.volumeName) << std::endl;
                return kExitFailed;
            }
            if (std::find(unmounted.begin(), unmounted.end(), each.volumeName) == unmounted.end())
                unmounted.push_back(each.volumeName);
        }
        lock.reset();
        if (auto acquired = DiskLock::acquire(device))
            lock.emplace(std::move(*acquired));
        if (!lock && wholeMachine) {
            context.err << error(captesttexts::kCannotOpen + device + " (" + std::strerror(errno) + ")")
                        << std::endl;
            return kExitFailed;
        }
        disk = DirectDisk::open(device, wholeMachine, kAnswerWithin);
        if (disk || errno != EBUSY || attempt == kOpenAttempts)
            break;
    }
    if (!disk) {
        context.err << error(captesttexts::kCannotOpen + device + " (" + std::strerror(errno) + ")")
                    << std::endl;
        report.outcome = Outcome::Failed;
        leaveReport(context, volume, report);
        return kExitFailed;
    }
    if (disk->size() < 2 * kProbeUnit) {
        context.err << error(captesttexts::kTooSmall + device) << std::endl;
        return kExitRefused;
    }
    context.out << captesttexts::kTesting << *letter << ": (" << device << ")" << captesttexts::kClaimed
                << disk->size() << captesttexts::kBytes << std::endl;
    ProbeOptions options;
    const auto start = std::chrono::steady_clock::now();
    options.clock = [start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    options.stage = [&context](ProbeStage stage) {
        const char *line = stage == ProbeStage::Probing     ? captesttexts::kProbing
                           : stage == ProbeStage::Narrowing ? captesttexts::kNarrowing
                           : stage == ProbeStage::Timing    ? captesttexts::kTiming
                                                            : captesttexts::kRestoring;
        context.out << line << std::endl;
    };
    options.runNumber = std::random_device{}() ^ (static_cast<std::uint64_t>(std::random_device{}()) << 32);
    const ProbeOutcome outcome = probeCapacity(*disk, options);
    // Closed before anything is mounted again; on a stick that hangs, its last request is left waiting.
    disk.reset();
    report = outcome.report;
    (report.outcome == Outcome::Genuine ? context.out : context.err) << outcomeText(outcome) << std::flush;

    // A stick that hangs keeps its volumes as they are: asking it to mount would hang too.
    if (report.outcome != Outcome::NoResponse) {
        lock.reset();
        for (const std::string &name : unmounted) {
            if (const auto mounted = context.actions.mount(name))
                context.out << captesttexts::kMounted << *mounted << std::endl;
        }
    }
    // Last, so the tool finds the stick as it will stay when the report arrives.
    leaveReport(context, volume, report);
    return exitCodeOf(report.outcome);
}

} // namespace dravex
