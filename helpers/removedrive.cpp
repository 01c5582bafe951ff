#include "helpers/removedrive.h"

#include "helpers/driveargument.h"
#include "helpers/helpertexts.h"
#include "helpers/mountpoints.h"
#include "helpers/removedrivetexts.h"
#include "helpers/volumerefusal.h"
#include "platform/linux/sysfs/cardreader.h"
#include "platform/linux/sysfs/disklock.h"
#include "platform/linux/sysfs/volumeguard.h"

#include <set>

namespace dravex {

namespace {

// Every mount of every volume of the disk; false, with the message printed, at the first that stays.
bool flushAndUnmount(const DriveMap &map, const std::string &disk, HelperContext &context) {
    for (const MappedVolume &volume : map.volumes()) {
        if (volume.diskName != disk)
            continue;
        const std::vector<std::string> mountPoints = mountPointsOf(context.root, volume);
        for (const std::string &mountPoint : mountPoints) {
            context.out << removedrivetexts::kFlushing << mountPoint << std::endl;
            if (!context.actions.flush(context.root.path(mountPoint))) {
                context.err << helpertexts::kError << removedrivetexts::kFlushFailed << mountPoint
                            << std::endl;
                return false;
            }
        }
        if (mountPoints.empty())
            continue;
        context.out << removedrivetexts::kUnmounting << volume.volumeName << std::endl;
        if (!context.actions.unmount(volume.volumeName)) {
            context.err << helpertexts::kError << helpertexts::kUnmountFailed << volume.volumeName
                        << std::endl;
            return false;
        }
    }
    return true;
}

// Closes, one after the other, the holders stacked on the disk that the disk service can close safely; the
// guard's answer once none is left, or its refusal naming the first holder that stays.
VolumeCheck closeHolders(const DriveMap &map, char letter, GuardRules rules, HelperContext &context) {
    rules.allowStacked = false;
    std::set<std::string> tried;
    for (;;) {
        VolumeCheck check = checkVolume(context.root, map, letter, rules);
        if (check.refusal != Refusal::Stacked || !tried.insert(check.holder).second)
            return check;
        context.out << removedrivetexts::kClosingHolder << check.holder << std::endl;
        if (!context.actions.closeHolder(check.heldDevice, check.holder))
            return check;
    }
}

} // namespace

RecordedRun removeDriveRun(const std::string &commandText) {
    return {operations::kEject, parseDriveArgument(commandText), {}};
}

int runRemoveDrive(const std::string &commandText, HelperContext &context) {
    const auto letter = parseDriveArgument(commandText);
    if (!letter) {
        context.err << helpertexts::kError << removedrivetexts::kBadLetter << commandText << std::endl;
        return kExitBadCommandLine;
    }
    const DriveMap map = DriveMap::read(context.root);
    // A dead stick reads as having no medium, and must still be taken off the machine.
    GuardRules rules = context.guardRules(MediumRule::MayBeMissing);
    rules.allowStacked = true;
    VolumeCheck check = checkVolume(context.root, map, *letter, rules);
    if (check.volume)
        check = closeHolders(map, *letter, rules, context);
    if (!check.volume) {
        context.err << refusalMessage(check) << std::endl;
        return refusalExitCode(check);
    }
    const std::string disk = check.volume->diskName;
    const bool cardReaderSlot = isCardReaderSlot(DiskInventory::read(context.root), disk);
    if (!check.volume->hasMedium && cardReaderSlot) {
        context.out << removedrivetexts::kEmptySlot << disk << std::endl;
        return kExitDone;
    }

    // Held until the disk is gone, so that the tool's scan does not mount again what was just unmounted.
    const std::optional<DiskLock> lock = DiskLock::acquire(context.root.path("/dev/" + disk));
    // Nothing of a disk without a medium can be mounted, and flushing one that died could hang.
    if (check.volume->hasMedium && !flushAndUnmount(map, disk, context))
        return kExitFailed;

    if (cardReaderSlot) {
        if (!context.actions.eject(disk)) {
            context.err << helpertexts::kError << removedrivetexts::kEjectFailed << disk << std::endl;
            return kExitFailed;
        }
        context.out << removedrivetexts::kEjected << disk << std::endl;
        return kExitDone;
    }
    if (context.actions.powerOff(disk)) {
        context.out << removedrivetexts::kPoweredOff << disk << std::endl;
        return kExitDone;
    }
    // Some bridges refuse to power off but do eject: the medium goes, the device stays attached.
    if (!context.actions.eject(disk)) {
        context.err << helpertexts::kError << removedrivetexts::kPowerOffFailed << disk << std::endl;
        return kExitFailed;
    }
    context.out << removedrivetexts::kEjectedNotPoweredOff << disk << std::endl;
    return kExitDone;
}

} // namespace dravex
