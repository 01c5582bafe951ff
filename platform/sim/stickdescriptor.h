#pragma once

#include "platform/sim/simdrive.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dravex {

// A stick of a bench folder, as its descriptor file ("H.stick") declares it: one "key=value" per line,
// "#" lines and blank lines ignored. Keys: letter (required, A-Z), capacity (required, bytes), label,
// fileSystem, medium and locked (0 or 1), vendor, product, revision, serial, vid and pid (empty or four
// hex digits), real (a counterfeit stick's real size: bytes, or as parseSize reads it) and capacityCheck
// (the last capacity check's report: "counterfeit 17179869184 8589934592 12.5 25" for the outcome as the
// report file names it, claimed and real bytes, write and read MB/s). Values are taken as written after
// the first "="; "\\", "\n", "\r" and "\0" stand for a backslash, a line break, a carriage return and a
// NUL. Every key at most once; any other line or key makes the whole descriptor malformed.
struct ParsedStickDescriptor {
    std::optional<SimDrive> drive; // totalBytes holds the capacity; the free counts are left at 0
    std::string problem;           // when there is no drive: the line at fault and why
};

ParsedStickDescriptor parseStickDescriptor(std::string_view text);

// The descriptor text of a drive, with totalBytes as its capacity; parseStickDescriptor reads it back.
std::string writeStickDescriptor(const SimDrive &drive);

// "16G", "512M", "64K" (powers of two) or a plain count of bytes; nothing for anything else, zero, or a
// size beyond 2^63 bytes.
std::optional<uint64_t> parseSize(std::string_view text);

// "H.stick" gives 'H'; nothing for any other file name.
std::optional<char> descriptorLetter(std::string_view fileName);

} // namespace dravex
