#include "demo/simhelpers.h"

#include "demo/simhelpertexts.h"
#include "helpers/format.h"
#include "helpers/formattexts.h"
#include "helpers/helpercontext.h"
#include "helpers/helpertexts.h"
#include "helpers/removedrive.h"
#include "helpers/removedrivetexts.h"
#include "helpers/treecopy.h"
#include "helpers/xcopy.h"
#include "helpers/xcopytexts.h"

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

std::string driveName(char letter) {
    return std::string(1, letter) + ":";
}

// Why the stick cannot be written; empty when it can. The descriptor is read afresh, since the stick
// may have been locked or pulled since this program started.
std::string writeRefusal(SimBench &bench, char letter) {
    bench.refreshDriveList();
    const SimDrive *drive = bench.drive(letter);
    if (!drive)
        return helpertexts::kNotMapped + driveName(letter);
    if (!drive->mediumPresent)
        return helpertexts::kNoMedium + driveName(letter);
    if (drive->locked)
        return simhelpertexts::kLocked + driveName(letter);
    return {};
}

} // namespace

int runSimFormat(const std::string &commandText, SimBench &bench, std::ostream &out, std::ostream &err) {
    const ParsedFormatCommand parsed = parseFormatCommand(commandText);
    if (!parsed.command) {
        err << helpertexts::kError << parsed.problem << std::endl;
        return kExitBadCommandLine;
    }
    const FormatCommand &command = *parsed.command;
    if (const std::string refusal = writeRefusal(bench, command.letter); !refusal.empty()) {
        err << helpertexts::kError << refusal << std::endl;
        return kExitRefused;
    }
    if (const std::string why = labelProblem(command.fileSystem, command.label); !why.empty()) {
        err << helpertexts::kError << why << std::endl;
        return kExitBadCommandLine;
    }
    out << formattexts::kCreating << fileSystemName(command.fileSystem) << std::endl;
    if (!bench.format(command.letter, fileSystemName(command.fileSystem), command.label)) {
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
    if (const std::string refusal = writeRefusal(bench, command.letter); !refusal.empty()) {
        err << helpertexts::kError << refusal << std::endl;
        return kExitRefused;
    }
    const auto source = bench.nativePath(command.sourceFolder);
    std::error_code error;
    if (!source || !std::filesystem::is_directory(*source, error)) {
        err << helpertexts::kError << xcopytexts::kSourceNotFound << command.sourceFolder << std::endl;
        return kExitFailed;
    }

    TreeCopy copy(command.options, out, err);
    const bool complete = copy.copy(source->string(), bench.folderOf(command.letter).string());
    out << copy.filesCopied() << xcopytexts::kFilesCopied << std::endl;
    // The files are in place by now; the stick only learns afterwards that they did not fit.
    const SimDrive *drive = bench.drive(command.letter);
    const bool fits = drive && bench.usedBytes(command.letter) <= drive->totalBytes;
    bench.announceChange(command.letter);
    if (!fits) {
        err << helpertexts::kError << simhelpertexts::kNoSpace << driveName(command.letter) << std::endl;
        return kExitFailed;
    }
    if (!complete) {
        err << helpertexts::kError << copy.failures() << xcopytexts::kErrors << std::endl;
        return kExitFailed;
    }
    return kExitDone;
}

int runSimRemoveDrive(const std::string &commandText, SimBench &bench, std::ostream &out, std::ostream &err) {
    const auto letter = parseRemoveDriveCommand(commandText);
    if (!letter) {
        err << helpertexts::kError << removedrivetexts::kBadLetter << commandText << std::endl;
        return kExitBadCommandLine;
    }
    bench.refreshDriveList();
    if (!bench.drive(*letter)) {
        err << helpertexts::kError << helpertexts::kNotMapped << driveName(*letter) << std::endl;
        return kExitRefused;
    }
    bench.unplug(*letter);
    out << removedrivetexts::kPoweredOff << driveName(*letter) << std::endl;
    return kExitDone;
}

} // namespace dravex
