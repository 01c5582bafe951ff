#pragma once

#include <cstdint>
#include <string>

namespace dravex::rig {

// What f3probe (package f3, the open counterfeit-flash probe) said of a disk, and how long it took.
struct F3Verdict {
    bool genuine = false;  // "is the real thing"
    bool damaged = false;  // "is damaged"
    std::uint64_t usableBytes = 0;
    double seconds = 0;
    int exitCode = -1;
};

// Runs f3probe on /dev/<disk>, restoring what it overwrites (its default); the disk must not be mounted.
F3Verdict f3probe(const std::string &disk);

} // namespace dravex::rig
