#include "helpers/xcopy.h"

#include "helpers/helpertexts.h"
#include "helpers/volumerefusal.h"
#include "helpers/xcopytexts.h"
#include "platform/linux/sysfs/volumeguard.h"
#include "platform/linux/windows/linuxvolumeservices.h"

namespace dravex {

namespace {

constexpr std::string_view kAllFiles = "\\*.*";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

ParsedXcopyCommand problem(const char *what, std::string_view detail) {
    ParsedXcopyCommand parsed;
    parsed.problem = std::string(what) + std::string(detail);
    return parsed;
}

bool setSwitch(char name, CopyOptions &options) {
    bool *flag = nullptr;
    switch (name) {
    case 'v':
    case 'V':
        flag = &options.verify;
        break;
    case 'h':
    case 'H':
        flag = &options.includeHidden;
        break;
    case 'e':
    case 'E':
        flag = &options.recurse;
        break;
    case 'f':
    case 'F':
        flag = &options.listNames;
        break;
    case 'k':
    case 'K':
        flag = &options.keepTimes;
        break;
    default:
        return false;
    }
    if (*flag)
        return false;
    *flag = true;
    return true;
}

} // namespace

ParsedXcopyCommand parseXcopyCommand(std::string_view text) {
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    size_t blank = text.size();
    while (blank > 0 && !isBlank(text[blank - 1]))
        --blank;
    if (blank == 0)
        return problem(xcopytexts::kMissingDestination, text);
    std::string_view destination = text.substr(blank);
    std::string_view source = text.substr(0, blank);
    while (!source.empty() && isBlank(source.back()))
        source.remove_suffix(1);

    if (source.size() <= kAllFiles.size() || source.substr(source.size() - kAllFiles.size()) != kAllFiles)
        return problem(xcopytexts::kBadSource, source);
    XcopyCommand command;
    command.sourceFolder = std::string(source.substr(0, source.size() - kAllFiles.size()));

    const char letter = destination[0];
    const bool isLetter = (letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z');
    if (destination.size() < 4 || !isLetter || destination.substr(1, 3) != ":\\.")
        return problem(xcopytexts::kBadDestination, destination);
    command.letter = letter >= 'a' ? static_cast<char>(letter - 'a' + 'A') : letter;
    const std::string_view switches = destination.substr(4);
    if (switches.size() % 2 != 0)
        return problem(xcopytexts::kBadSwitch, switches);
    for (size_t i = 0; i < switches.size(); i += 2) {
        if (switches[i] != '/' || !setSwitch(switches[i + 1], command.options))
            return problem(xcopytexts::kBadSwitch, switches.substr(i));
    }
    ParsedXcopyCommand parsed;
    parsed.command = command;
    return parsed;
}

int finishCopy(const TreeCopy &copy, std::ostream &out, std::ostream &err) {
    out << copy.filesCopied() << xcopytexts::kFilesCopied << std::endl;
    if (copy.failures() != 0) {
        err << helpertexts::kError << copy.failures() << xcopytexts::kErrors << std::endl;
        return kExitFailed;
    }
    return kExitDone;
}

RecordedRun xcopyRun(const std::string &commandText) {
    const ParsedXcopyCommand parsed = parseXcopyCommand(commandText);
    if (!parsed.command)
        return {operations::kCopy, std::nullopt, {}};
    return {operations::kCopy, parsed.command->letter, parsed.command->sourceFolder};
}

int runXcopy(const std::string &commandText, HelperContext &context, const CopyHooks &hooks) {
    const ParsedXcopyCommand parsed = parseXcopyCommand(commandText);
    if (!parsed.command) {
        context.err << helpertexts::kError << parsed.problem << std::endl;
        return kExitBadCommandLine;
    }
    const XcopyCommand &command = *parsed.command;
    LinuxVolumeServices volumes(context.root.path("/"), context.actions);
    const VolumeCheck check =
        checkVolume(context.root, volumes.driveMap(), command.letter, context.guardRules());
    if (!check.volume) {
        context.err << refusalMessage(check) << std::endl;
        return refusalExitCode(check);
    }
    const auto source = volumes.nativePath(command.sourceFolder);
    if (!source) {
        context.err << helpertexts::kError << xcopytexts::kSourceNotFound << command.sourceFolder
                    << std::endl;
        return kExitFailed;
    }
    const auto destination = volumes.nativePath(std::string(1, command.letter) + ":\\");
    if (!destination) {
        context.err << helpertexts::kError << xcopytexts::kDestinationNotReady << command.letter << ":"
                    << std::endl;
        return kExitFailed;
    }

    TreeCopy copy(command.options, context.out, context.err, hooks);
    copy.copy(*source, *destination);
    return finishCopy(copy, context.out, context.err);
}

} // namespace dravex
