#include "demo/simhelpers.h"

#include "demo/simhelpertexts.h"
#include "helpers/format.h"
#include "helpers/formattexts.h"
#include "helpers/helpercontext.h"
#include "helpers/driveargument.h"
#include "helpers/helpertexts.h"
#include "helpers/removedrive.h"
#include "helpers/removedrivetexts.h"
#include "helpers/treecopy.h"
#include "helpers/volumerefusal.h"
#include "helpers/xcopy.h"
#include "helpers/xcopytexts.h"
#include "platform/linux/windows/labeltext.h"

#include <cerrno>
#include <optional>

namespace dravex {

namespace {

const char *fileSystemName(FormatFileSystem fileSystem) {
    switch (fileSystem) {
    case FormatFileSystem::Fat32:
        return "FAT32";
    case FormatFileSystem::Exfat:
        return "exFAT";
    case FormatFileSystem::Fat:
        break;
    }
    return "FAT";
}

// A common USB 2.0 stick's sequential speeds, in MB/s.
constexpr double kWriteMBps = 14.2;
constexpr double kReadMBps = 31.6;

std::string driveName(char letter) {
    return std::string(1, letter) + ":";
}

// Refuses the stick at the letter as the volume guard would, as far as the bench can tell: the stick must be
// there, and hold a medium unless the rule lets it be missing. The exit code when it is refused. The
// descriptor is read afresh, since the stick may have been locked or pulled since this program started.
// The bench has no disk names; the drive stands in for them in the message.
std::optional<int> refuseStick(SimBench &bench, char letter, MediumRule medium, std::ostream &err) {
    bench.refreshDriveList();
    const SimDrive *drive = bench.drive(letter);
    VolumeCheck check;
    if (!drive)
        check.refusal = Refusal::NotMapped;
    else if (!drive->mediumPresent && medium == MediumRule::Required)
        check.refusal = Refusal::NoMedium;
    else
        return std::nullopt;
    check.detail = driveName(letter);
    err << refusalMessage(check) << std::endl;
    return refusalExitCode(check);
}

// The stick that a command of a drive letter alone names ("H", "h:"), as RemoveDrive.exe and captest take
// it, once refuseStick lets it pass; otherwise nothing, with the reason on err and the exit code in refusal.
std::optional<char> stickNamed(const std::string &commandText, SimBench &bench, MediumRule medium,
                               std::ostream &err, int &refusal) {
    const auto letter = parseDriveArgument(commandText);
    if (!letter) {
        err << helpertexts::kError << removedrivetexts::kBadLetter << commandText << std::endl;
        refusal = kExitBadCommandLine;
        return std::nullopt;
    }
    if (const auto refused = refuseStick(bench, *letter, medium, err)) {
        refusal = *refused;
        return std::nullopt;
    }
    return letter;
}

} // namespace

int runSimFormat(const std::string &commandText, SimBench &bench, std::ostream &out, std::ostream &err) {
    const ParsedFormatCommand parsed = parseFormatCommand(commandText);
    if (!parsed.command) {
        err << helpertexts::kError << parsed.problem << std::endl;
        return kExitBadCommandLine;
    }
    const FormatCommand &command = *parsed.command;
    // In the order format.com asks: the guard, the label, write access, the size.
    if (const auto refused = refuseStick(bench, command.letter, MediumRule::Required, err))
        return *refused;
    if (const std::string why = labelProblem(command.fileSystem, command.label); !why.empty()) {
        err << helpertexts::kError << why << std::endl;
        return kExitBadCommandLine;
    }
    const SimDrive &drive = *bench.drive(command.letter);
    if (drive.locked) {
        err << helpertexts::kError << formattexts::kNoWriteAccess << driveName(command.letter) << std::endl;
        return kExitRefused;
    }
    if (const std::string why = sizeProblem(command.fileSystem, drive.totalBytes); !why.empty()) {
        err << helpertexts::kError << why << std::endl;
        return kExitRefused;
    }
    const char *fileSystem = fileSystemName(command.fileSystem);
    out << formattexts::kCreating << fileSystem << std::endl;
    // The bench keeps a label as the scan reads it back from the volume.
    if (!bench.format(command.letter, fileSystem, labelToUtf8(storedLabel(command)))) {
        err << helpertexts::kError << simhelpertexts::kFormatFailed << driveName(command.letter) << std::endl;
        return kExitFailed;
    }
    out << formattexts::kDone << std::endl;
    return kExitDone;
}

int runSimXcopy(const std::string &commandText, SimBench &bench, std::ostream &out, std::ostream &err) {
    const ParsedXcopyCommand parsed = parseXcopyCommand(commandText);
    if (!parsed.command) {
        err << helpertexts::kError << parsed.problem << std::endl;
        return kExitBadCommandLine;
    }
    const XcopyCommand &command = *parsed.command;
    if (const auto refused = refuseStick(bench, command.letter, MediumRule::Required, err))
        return *refused;
    const auto source = bench.nativePath(command.sourceFolder);
    if (!source) {
        err << helpertexts::kError << xcopytexts::kSourceNotFound << command.sourceFolder << std::endl;
        return kExitFailed;
    }

    // The bench's folders take every write; what a real stick refuses, xcopy reports as it meets it there.
    const std::string destination = bench.folderOf(command.letter).string();
    const SimDrive &drive = *bench.drive(command.letter);
    TreeCopy copy(command.options, out, err);
    if (drive.locked) {
        copy.fail(xcopytexts::kCannotWrite, destination, EROFS);
    } else {
        const uint64_t usedBefore = bench.usedBytes(command.letter);
        copy.copy(source->string(), destination);
        // The files are in place by now; the stick only learns afterwards that what it took did not fit.
        const uint64_t usedAfter = bench.usedBytes(command.letter);
        if (usedAfter > drive.totalBytes && usedAfter > usedBefore)
            copy.fail(xcopytexts::kCannotWrite, destination, ENOSPC);
        bench.announceChange(command.letter);
    }
    return finishCopy(copy, out, err);
}

int runSimCaptest(const std::string &commandText, SimBench &bench, std::ostream &out, std::ostream &err) {
    int refusal = kExitDone;
    const auto letter = stickNamed(commandText, bench, MediumRule::Required, err, refusal);
    if (!letter)
        return refusal;
    const SimDrive &drive = *bench.drive(*letter);
    CapacityReport report;
    report.claimedBytes = drive.totalBytes;
    if (drive.locked) {
        report.outcome = CapacityReport::Outcome::WriteProtected;
    } else {
        const bool counterfeit = drive.realBytes && *drive.realBytes < drive.totalBytes;
        report.outcome =
            counterfeit ? CapacityReport::Outcome::Counterfeit : CapacityReport::Outcome::Genuine;
        report.realBytes = counterfeit ? *drive.realBytes : drive.totalBytes;
        report.writeMBps = kWriteMBps;
        report.readMBps = kReadMBps;
    }
    if (!bench.setCapacityReport(*letter, report)) {
        err << helpertexts::kError << simhelpertexts::kCapacityReportFailed << driveName(*letter)
            << std::endl;
        return kExitFailed;
    }
    out << simhelpertexts::kCapacityChecked << driveName(*letter) << std::endl;
    return kExitDone;
}

int runSimRemoveDrive(const std::string &commandText, SimBench &bench, std::ostream &out, std::ostream &err) {
    // A dead stick reads as having no medium, and must still be taken off the machine.
    int refusal = kExitDone;
    const auto letter = stickNamed(commandText, bench, MediumRule::MayBeMissing, err, refusal);
    if (!letter)
        return refusal;
    bench.unplug(*letter);
    out << removedrivetexts::kPoweredOff << driveName(*letter) << std::endl;
    return kExitDone;
}

} // namespace dravex
