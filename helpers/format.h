#pragma once

#include "helpers/helpercontext.h"
#include "helpers/helperrecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dravex {

enum class FormatFileSystem { Fat, Fat32, Exfat };

struct FormatCommand {
    char letter = 0; // upper case
    FormatFileSystem fileSystem = FormatFileSystem::Fat;
    std::string label; // empty: no label
    bool quick = false;
};

struct ParsedFormatCommand {
    std::optional<FormatCommand> command;
    std::string problem; // when there is no command
};

// format.com's command line, as the tool builds it: "H:/FS:FAT32/V:DATA/q/y". A letter and ":", then
// "/FS:" and FAT, FAT32 or exFAT, then optionally "/V:" and the label (which may hold blanks but no "/"),
// then optionally "/q", and last "/y". Switch and file-system names in any case; no blanks between.
ParsedFormatCommand parseFormatCommand(std::string_view text);

// Why the file system cannot take the label; empty when it can. FAT: at most 11 bytes in code page 936,
// without control characters and *?.,;:/\|+=<>[]" (see fatLabel). exFAT: at most 11 characters of UTF-8
// without control characters.
std::string labelProblem(FormatFileSystem fileSystem, const std::string &label);

// Why the file system mkfs would make does not fit a device of this size; empty when it does. FAT is
// FAT12 below 16 MiB, FAT16 (at most about 4 GiB) from there; FAT32 needs about 32.6 MiB for its fewest
// clusters and counts at most 2^32 - 1 sectors; exFAT needs more than 2 MiB. Sizes near a limit that
// mkfs.fat might still take are refused, never the other way round.
std::string sizeProblem(FormatFileSystem fileSystem, uint64_t deviceBytes);

// The label's bytes as the new file system holds them: a FAT label with its ASCII letters upper-cased and
// in code page 936 (see fatLabel), an exFAT label as given. Only for a label labelProblem accepts.
std::string storedLabel(const FormatCommand &command);

// The mkfs command for the device. "FAT" is FAT12 below 16 MiB, where FAT16 has too few clusters. A FAT
// label is upper-cased; one beyond ASCII is left out, runFormat writes it after mkfs.
std::vector<std::string> mkfsArguments(const FormatCommand &command, const std::string &device,
                                       uint64_t deviceBytes, bool wholeDisk);

// Formats the drive: guard, write access and size, unmount, zeros over the whole volume unless quick, mkfs,
// mount again.
int runFormat(const std::string &commandText, HelperContext &context);
// The run as the production record keeps it: the drive, and the switches after it.
RecordedRun formatRun(const std::string &commandText);

} // namespace dravex
