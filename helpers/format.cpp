#include "helpers/format.h"

#include "helpers/formattexts.h"
#include "helpers/helpertexts.h"
#include "helpers/mountpoints.h"
#include "helpers/volumerefusal.h"
#include "platform/linux/process/programrun.h"
#include "platform/linux/sysfs/disklock.h"
#include "platform/linux/sysfs/volumeguard.h"
#include "platform/linux/sysfs/writeaccess.h"
#include "platform/linux/windows/fatlabel.h"
#include "platform/linux/windows/labeltext.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace dravex {

namespace {

constexpr uint64_t kSmallestFat16Bytes = 16ull << 20;
constexpr uint64_t kSector = 512;
// mkfs.fat makes no FAT12 below 100 sectors; no stick is that small, so a round figure does.
constexpr uint64_t kSmallestFat12Bytes = 64ull << 10;
// FAT16 counts at most 65524 clusters, and mkfs.fat's largest cluster is 128 sectors. Before them it
// puts a boot sector, two FATs of 256 sectors and a root folder of 2048 entries (128 sectors), which it
// pads to a whole cluster: 768 sectors.
constexpr uint64_t kFat16MostClusters = 65524;
constexpr uint64_t kLargestFat16Sectors = 768 + (kFat16MostClusters + 1) * 128 - 1;
// FAT32 has at least 65525 clusters, or drivers take it for FAT16; its sector count is 32 bits.
constexpr uint64_t kFat32FewestClusters = 65525;
constexpr uint64_t kLargestFat32Sectors = 0xFFFFFFFFull;
// mkfs.exfat puts the FAT and the cluster heap each on a 1 MiB boundary, so it needs more than 2 MiB.
constexpr uint64_t kSmallestExfatBytes = (2ull << 20) + kSector;
// exFAT counts at most 0xFFFFFFF5 clusters; mkfs.exfat's cluster is 128 KiB from 32 GiB up.
constexpr uint64_t kLargestExfatBytes = 0xFFFFFFF5ull * (128ull << 10);
constexpr size_t kZeroChunk = 4u << 20;
// Rounds of unmount, lock and exclusive open while the tool's scan keeps mounting the stick in between.
constexpr int kOpenAttempts = 3;
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

// The size of a block device or an image file; read-only, so that udev sees no write to probe.
std::optional<uint64_t> deviceSize(const std::string &device) {
    const int fd = ::open(device.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    ::close(fd);
    return size < 0 ? std::nullopt : std::optional<uint64_t>(static_cast<uint64_t>(size));
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

// The clusters mkfs.fat makes a FAT32 of: one sector each up to 260 MiB (past that, 8 or more sectors
// still give well over the fewest FAT32 may have). It rounds the size down to whole tracks of at most 63
// sectors and keeps 32 reserved sectors and two FATs of 4 bytes a cluster. The FATs are sized here as if
// every sector were a cluster, so the count is never above mkfs.fat's.
uint64_t fat32Clusters(uint64_t sectors) {
    const uint64_t used = sectors - sectors % 63;
    const uint64_t fatSectors = (used * 4 + kSector - 1) / kSector;
    return used > 32 + 2 * fatSectors ? used - 32 - 2 * fatSectors : 0;
}

uint64_t smallestFat32Sectors() {
    uint64_t sectors = kFat32FewestClusters;
    while (fat32Clusters(sectors) < kFat32FewestClusters)
        ++sectors;
    return sectors;
}

std::string sizeText(uint64_t bytes) {
    return std::to_string(bytes) + formattexts::kBytes;
}

std::string tooSmall(const char *fileSystem, uint64_t bytes, uint64_t smallest) {
    return formattexts::kTooSmall + std::string(fileSystem) + formattexts::kCapacity + sizeText(bytes) +
           formattexts::kAtLeast + sizeText(smallest);
}

std::string tooLarge(const char *fileSystem, uint64_t bytes, uint64_t largest) {
    return formattexts::kTooLarge + std::string(fileSystem) + formattexts::kCapacity + sizeText(bytes) +
           formattexts::kAtMost + sizeText(largest);
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

std::string sizeProblem(FormatFileSystem fileSystem, uint64_t deviceBytes) {
    const uint64_t sectors = deviceBytes / kSector;
    switch (fileSystem) {
    case FormatFileSystem::Fat:
        if (deviceBytes < kSmallestFat12Bytes)
            return tooSmall("FAT12", deviceBytes, kSmallestFat12Bytes);
        if (sectors > kLargestFat16Sectors)
            return tooLarge("FAT16", deviceBytes, (kLargestFat16Sectors + 1) * kSector - 1);
        break;
    case FormatFileSystem::Fat32:
        if (fat32Clusters(sectors) < kFat32FewestClusters)
            return tooSmall("FAT32", deviceBytes, smallestFat32Sectors() * kSector);
        if (sectors > kLargestFat32Sectors)
            return tooLarge("FAT32", deviceBytes, (kLargestFat32Sectors + 1) * kSector - 1);
        break;
    case FormatFileSystem::Exfat:
        if (deviceBytes < kSmallestExfatBytes)
            return tooSmall("exFAT", deviceBytes, kSmallestExfatBytes);
        if (deviceBytes > kLargestExfatBytes)
            return tooLarge("exFAT", deviceBytes, kLargestExfatBytes);
        break;
    }
    return {};
}

std::string storedLabel(const FormatCommand &command) {
    // Windows keeps FAT labels in upper case and in the ANSI code page.
    return command.fileSystem == FormatFileSystem::Exfat ? command.label : fatLabel(command.label).bytes;
}

std::vector<std::string> mkfsArguments(const FormatCommand &command, const std::string &device,
                                       uint64_t deviceBytes, bool wholeDisk) {
    std::vector<std::string> arguments;
    if (command.fileSystem == FormatFileSystem::Exfat) {
        arguments = {"mkfs.exfat"};
        if (!command.label.empty())
            arguments.insert(arguments.end(), {"-L", storedLabel(command)});
    } else {
        const char *bits = command.fileSystem == FormatFileSystem::Fat32 ? "32"
                           : deviceBytes < kSmallestFat16Bytes           ? "12"
                                                                         : "16";
        arguments = {"mkfs.vfat", "-F", bits};
        if (!command.label.empty() && !labelAfterMkfs(command))
            arguments.insert(arguments.end(), {"-n", storedLabel(command)});
        // A stick without a partition table is formatted whole, which mkfs.vfat only does when told.
        if (wholeDisk)
            arguments.push_back("-I");
    }
    arguments.push_back(device);
    return arguments;
}

RecordedRun formatRun(const std::string &commandText) {
    const ParsedFormatCommand parsed = parseFormatCommand(commandText);
    if (!parsed.command)
        return {operations::kFormat, std::nullopt, {}};
    return {operations::kFormat, parsed.command->letter, commandText.substr(2)};
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
    // Everything that can stop the format is asked before the unmount, so a refused stick stays as it was.
    if (!mayWriteDevice(context.root, volume, *device)) {
        context.err << error(formattexts::kNoWriteAccess + *device) << std::endl;
        return kExitRefused;
    }
    const auto size = deviceSize(*device);
    if (!size) {
        context.err << error(formattexts::kCannotOpen + *device + " (" + std::strerror(errno) + ")")
                    << std::endl;
        return kExitFailed;
    }
    if (const std::string why = sizeProblem(command.fileSystem, *size); !why.empty()) {
        context.err << error(why) << std::endl;
        return kExitRefused;
    }

    const auto unmounted = [&] {
        if (mountPointsOf(context.root, volume).empty() || context.actions.unmount(volume.volumeName))
            return true;
        context.err << error(helpertexts::kUnmountFailed + volume.volumeName) << std::endl;
        return false;
    };
    // UDisks2 answers an unmount only once udev has seen it (20 s at most), and udev holds back the events of
    // a locked disk: the stick is unmounted before the lock, and again under it when the tool's scan mounted
    // it in between. The lock then keeps the scan from mounting it until the new file system is written; a
    // mount the scan had already asked for can still land before the exclusive open, which then fails busy
    // and the whole round is made again. Below a fixture root the "devices" are plain files that need no lock.
    const std::string diskNode = context.root.path("/dev/" + volume.diskName);
    // Exclusive on a block device: the kernel refuses while anything still has it mounted.
    const int flags = O_WRONLY | O_CLOEXEC | (context.root.isWholeMachine() ? O_EXCL : 0);
    std::optional<DiskLock> lock;
    int fd = -1;
    for (int attempt = 1;; ++attempt) {
        lock.reset();
        if (!unmounted())
            return kExitFailed;
        if (auto acquired = DiskLock::acquire(diskNode))
            lock.emplace(std::move(*acquired));
        if (!lock && context.root.isWholeMachine()) {
            context.err << error(formattexts::kCannotOpen + diskNode + " (" + std::strerror(errno) + ")")
                        << std::endl;
            return kExitFailed;
        }
        if (!unmounted())
            return kExitFailed;
        fd = ::open(device->c_str(), flags);
        if (fd >= 0 || errno != EBUSY || attempt == kOpenAttempts)
            break;
    }
    if (fd < 0) {
        context.err << error(formattexts::kCannotOpen + *device + " (" + std::strerror(errno) + ")")
                    << std::endl;
        return kExitFailed;
    }
    bool zeroed = true;
    if (!command.quick) {
        context.out << formattexts::kZeroing << *device << std::endl;
        zeroed = writeZeros(fd, *size, context.out);
    }
    ::close(fd);
    if (!zeroed) {
        context.err << error(formattexts::kZeroFailed + *device) << std::endl;
        return kExitFailed;
    }

    const std::vector<std::string> mkfs = mkfsArguments(command, *device, *size, volume.partitionNumber == 0);
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
    const bool labelled = !labelAfterMkfs(command) || writeFatLabel(*device, storedLabel(command));
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
