#include "helpers/format.h"

#include "helpers/formattexts.h"
#include "helpers/helpertexts.h"
#include "helpers/mountpoints.h"
#include "helpers/volumerefusal.h"
#include "platform/linux/process/programrun.h"
#include "platform/linux/sysfs/disklock.h"
#include "platform/linux/sysfs/volumeguard.h"
#include "platform/linux/windows/fatlabel.h"
#include "platform/linux/windows/labeltext.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace dravex {

namespace {

constexpr uint64_t kSmallestFat16Bytes = 16ull << 20;
constexpr size_t kZeroChunk = 4u << 20;
constexpr size_t kMaximumLabelLength = 11;

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool equalsIgnoringCase(std::string_view left, std::string_view right) {
    if (left.size() != right.size())
        return false;
    for (size_t i = 0; i < left.size(); ++i) {
        if (upper(left[i]) != upper(right[i]))
            return false;
    }
    return true;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

bool endsWithIgnoringCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() &&
           equalsIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

ParsedFormatCommand problem(const char *what, std::string_view detail = {}) {
    ParsedFormatCommand parsed;
    parsed.problem = std::string(what) + std::string(detail);
    return parsed;
}

std::string error(const std::string &text) {
    return helpertexts::kError + text;
}

bool isAscii(const std::string &text) {
    return std::none_of(text.begin(), text.end(), [](char c) { return c & 0x80; });
}

// mkfs.vfat 4.2 takes no label byte above 0x7F; such a label is written after it.
bool labelAfterMkfs(const FormatCommand &command) {
    return command.fileSystem != FormatFileSystem::Exfat && !isAscii(command.label);
}

// Writes zeros over the whole device, saying how far it got in whole percent.
bool writeZeros(int fd, uint64_t size, std::ostream &out) {
    const std::vector<char> zeros(kZeroChunk, 0);
    uint64_t written = 0;
    int shown = -1;
    while (written < size) {
        const size_t count = static_cast<size_t>(std::min<uint64_t>(zeros.size(), size - written));
        const ssize_t done = ::pwrite(fd, zeros.data(), count, static_cast<off_t>(written));
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return false;
        written += static_cast<uint64_t>(done);
        const int percent = static_cast<int>(written * 100 / size);
        if (percent != shown) {
            out << formattexts::kPercent << percent << "%" << std::endl;
            shown = percent;
        }
    }
    return ::fdatasync(fd) == 0;
}

} // namespace

ParsedFormatCommand parseFormatCommand(std::string_view text) {
    if (text.size() < 2 || !isLetter(text[0]) || text[1] != ':')
        return problem(formattexts::kBadLetter, text);
    FormatCommand command;
    command.letter = upper(text[0]);
    std::string_view rest = text.substr(2);
    if (!endsWithIgnoringCase(rest, "/y"))
        return problem(formattexts::kMissingYes, text);
    rest.remove_suffix(2);
    if (endsWithIgnoringCase(rest, "/q")) {
        command.quick = true;
        rest.remove_suffix(2);
    }
    if (!startsWithIgnoringCase(rest, "/FS:"))
        return problem(formattexts::kMissingFileSystem, text);
    rest.remove_prefix(4);
    const std::string_view name = rest.substr(0, rest.find('/'));
    rest.remove_prefix(name.size());
    if (equalsIgnoringCase(name, "FAT"))
        command.fileSystem = FormatFileSystem::Fat;
    else if (equalsIgnoringCase(name, "FAT32"))
        command.fileSystem = FormatFileSystem::Fat32;
    else if (equalsIgnoringCase(name, "exFAT"))
        command.fileSystem = FormatFileSystem::Exfat;
    else if (equalsIgnoringCase(name, "NTFS"))
        return problem(formattexts::kNtfsUnsupported);
    else
        return problem(formattexts::kUnknownFileSystem, name);
    if (!rest.empty()) {
        if (!startsWithIgnoringCase(rest, "/V:"))
            return problem(formattexts::kBadSwitch, rest);
        rest.remove_prefix(3);
        if (rest.find('/') != std::string_view::npos)
            return problem(formattexts::kLabelSlash, rest);
        command.label = std::string(rest);
    }
    ParsedFormatCommand parsed;
    parsed.command = command;
    return parsed;
}

std::string labelProblem(FormatFileSystem fileSystem, const std::string &label) {
    if (fileSystem == FormatFileSystem::Exfat) {
        size_t characters = 0;
        for (size_t at = 0; at < label.size(); ++characters) {
            const size_t length = utf8CharacterLength(std::string_view(label).substr(at));
            if (length == 0 || static_cast<unsigned char>(label[at]) < 0x20 || label[at] == 0x7F)
                return formattexts::kExfatLabelCharacters + label;
            at += length;
        }
        return characters > kMaximumLabelLength ? formattexts::kExfatLabelTooLong + label : std::string();
    }
    switch (fatLabel(label).fault) {
    case FatLabel::Fault::TooLong:
        return formattexts::kFatLabelTooLong + label;
    case FatLabel::Fault::Characters:
        return formattexts::kFatLabelCharacters + label;
    case FatLabel::Fault::None:
        break;
    }
    return {};
}

std::vector<std::string> mkfsArguments(const FormatCommand &command, const std::string &device,
                                       uint64_t deviceBytes, bool wholeDisk) {
    std::vector<std::string> arguments;
    if (command.fileSystem == FormatFileSystem::Exfat) {
        arguments = {"mkfs.exfat"};
        if (!command.label.empty())
            arguments.insert(arguments.end(), {"-L", command.label});
    } else {
        const char *bits = command.fileSystem == FormatFileSystem::Fat32 ? "32"
                           : deviceBytes < kSmallestFat16Bytes           ? "12"
                                                                         : "16";
        arguments = {"mkfs.vfat", "-F", bits};
        // Windows keeps FAT labels in upper case.
        if (!command.label.empty() && !labelAfterMkfs(command))
            arguments.insert(arguments.end(), {"-n", fatLabel(command.label).bytes});
        // A stick without a partition table is formatted whole, which mkfs.vfat only does when told.
        if (wholeDisk)
            arguments.push_back("-I");
    }
    arguments.push_back(device);
    return arguments;
}

int runFormat(const std::string &commandText, HelperContext &context) {
    const ParsedFormatCommand parsed = parseFormatCommand(commandText);
    if (!parsed.command) {
        context.err << error(parsed.problem) << std::endl;
        return kExitBadCommandLine;
    }
    const FormatCommand &command = *parsed.command;
    const VolumeCheck check =
        checkVolume(context.root, DriveMap::read(context.root), command.letter, context.guardRules());
    if (!check.volume) {
        context.err << refusalMessage(check) << std::endl;
        return refusalExitCode(check);
    }
    const MappedVolume &volume = *check.volume;
    if (const std::string why = labelProblem(command.fileSystem, command.label); !why.empty()) {
        context.err << error(why) << std::endl;
        return kExitBadCommandLine;
    }
    const auto device = volumeDevicePath(context.root, volume);
    if (!device) {
        context.err << error(formattexts::kNoDevice + volume.volumeName) << std::endl;
        return kExitRefused;
    }

    // Held until the new file system is written, so that neither udev nor the tool's scan gets between the
    // unmount and the writing. Below a fixture root the "devices" are plain files that need no lock.
    const std::string diskNode = context.root.path("/dev/" + volume.diskName);
    std::optional<DiskLock> lock = DiskLock::acquire(diskNode);
    if (!lock && context.root.isWholeMachine()) {
        context.err << error(formattexts::kCannotOpen + diskNode + " (" + std::strerror(errno) + ")")
                    << std::endl;
        return kExitFailed;
    }
    if (!mountPointsOf(context.root, volume).empty() && !context.actions.unmount(volume.volumeName)) {
        context.err << error(helpertexts::kUnmountFailed + volume.volumeName) << std::endl;
        return kExitFailed;
    }
    // Exclusive on a block device: the kernel refuses while anything still has it mounted.
    const int flags = O_WRONLY | O_CLOEXEC | (context.root.isWholeMachine() ? O_EXCL : 0);
    const int fd = ::open(device->c_str(), flags);
    if (fd < 0) {
        context.err << error(formattexts::kCannotOpen + *device + " (" + std::strerror(errno) + ")")
                    << std::endl;
        return kExitFailed;
    }
    const off_t size = ::lseek(fd, 0, SEEK_END);
    bool zeroed = size > 0;
    if (zeroed && !command.quick) {
        context.out << formattexts::kZeroing << *device << std::endl;
        zeroed = writeZeros(fd, static_cast<uint64_t>(size), context.out);
    }
    ::close(fd);
    if (!zeroed) {
        context.err << error(formattexts::kZeroFailed + *device) << std::endl;
        return kExitFailed;
    }

    const std::vector<std::string> mkfs =
        mkfsArguments(command, *device, static_cast<uint64_t>(size), volume.partitionNumber == 0);
    context.out << formattexts::kCreating << *device << std::endl;
    const auto exitCode = runProgram(mkfs);
    if (!exitCode) {
        context.err << error(formattexts::kMkfsMissing + mkfs.front()) << std::endl;
        return kExitFailed;
    }
    if (*exitCode != 0) {
        context.err << error(formattexts::kMkfsFailed + mkfs.front() + " " + std::to_string(*exitCode))
                    << std::endl;
        return kExitFailed;
    }
    const bool labelled = !labelAfterMkfs(command) || writeFatLabel(*device, fatLabel(command.label).bytes);
    if (!labelled)
        context.err << error(formattexts::kLabelFailed + *device) << std::endl;
    lock.reset();
    // The format itself has succeeded; a stick left unmounted is said, and mounted by the tool's next scan.
    if (const auto mounted = context.actions.mount(volume.volumeName))
        context.out << formattexts::kMounted << *mounted << std::endl;
    else if (context.root.isWholeMachine())
        context.out << formattexts::kNotMounted << volume.volumeName << std::endl;
    if (!labelled)
        return kExitFailed;
    context.out << formattexts::kDone << std::endl;
    return kExitDone;
}

} // namespace dravex
