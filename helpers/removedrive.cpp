#include "helpers/removedrive.h"

#include "helpers/helpertexts.h"
#include "helpers/mountpoints.h"
#include "helpers/removedrivetexts.h"
#include "helpers/volumerefusal.h"
#include "platform/linux/cardreader.h"
#include "platform/linux/volumeguard.h"

namespace dravex {

std::optional<char> parseRemoveDriveCommand(std::string_view text) {
    if (text.empty() || text.size() > 2 || (text.size() == 2 && text[1] != ':'))
        return std::nullopt;
    const char letter = text[0];
    if (letter >= 'a' && letter <= 'z')
        return static_cast<char>(letter - 'a' + 'A');
    if (letter >= 'A' && letter <= 'Z')
        return letter;
    return std::nullopt;
}

int runRemoveDrive(const std::string &commandText, HelperContext &context) {
    const auto letter = parseRemoveDriveCommand(commandText);
    if (!letter) {
        context.err << helpertexts::kError << removedrivetexts::kBadLetter << commandText << std::endl;
        return kExitBadCommandLine;
    }
    const DriveMap map = DriveMap::read(context.root);
    const VolumeCheck check = checkVolume(context.root, map, *letter);
    if (!check.volume) {
        context.err << refusalMessage(check) << std::endl;
        return kExitRefused;
    }
    const std::string disk = check.volume->diskName;

    for (const MappedVolume &volume : map.volumes()) {
        if (volume.diskName != disk)
            continue;
        const std::vector<std::string> mountPoints = mountPointsOf(context.root, volume);
        for (const std::string &mountPoint : mountPoints) {
            context.out << removedrivetexts::kFlushing << mountPoint << std::endl;
            if (!context.actions.flush(context.root.path(mountPoint))) {
                context.err << helpertexts::kError << removedrivetexts::kFlushFailed << mountPoint
                            << std::endl;
                return kExitFailed;
            }
        }
        if (mountPoints.empty())
            continue;
        context.out << removedrivetexts::kUnmounting << volume.volumeName << std::endl;
        if (!context.actions.unmount(volume.volumeName)) {
            context.err << helpertexts::kError << helpertexts::kUnmountFailed << volume.volumeName
                        << std::endl;
            return kExitFailed;
        }
    }

    if (isCardReaderSlot(context.root, disk)) {
        if (!context.actions.eject(disk)) {
            context.err << helpertexts::kError << removedrivetexts::kEjectFailed << disk << std::endl;
            return kExitFailed;
        }
        context.out << removedrivetexts::kEjected << disk << std::endl;
        return kExitDone;
    }
    // Some bridges refuse to power off but do eject; either way the kernel reports the disk gone.
    if (!context.actions.powerOff(disk) && !context.actions.eject(disk)) {
        context.err << helpertexts::kError << removedrivetexts::kPowerOffFailed << disk << std::endl;
        return kExitFailed;
    }
    context.out << removedrivetexts::kPoweredOff << disk << std::endl;
    return kExitDone;
}

} // namespace dravex
