#pragma once

#include "platform/sim/simbench.h"

#include <ostream>
#include <string>

namespace dravex {

// The bench's stand-ins for format.com, xcopy and RemoveDrive.exe. They take the same command-line
// texts as the Linux helpers (parsed by the same functions) and act on the sticks of a folder-mode bench
// instead of real disks. Each returns the helper exit code; every change of a stick is written to its
// descriptor, which is what a program watching the bench folder sees.

// "H:/FS:FAT32/V:DATA/q/y": refuses a locked stick, else empties it and gives it the file system and label.
int runSimFormat(const std::string &commandText, SimBench &bench, std::ostream &out, std::ostream &err);

// "<folder>\*.* H:\./v/h/e/f/k": copies the folder's tree onto the stick (hidden files, empty folders,
// links followed); fails on a locked stick and when the copy does not fit its capacity.
int runSimXcopy(const std::string &commandText, SimBench &bench, std::ostream &out, std::ostream &err);

// "H" or "H:": takes the stick off the bench.
int runSimRemoveDrive(const std::string &commandText, SimBench &bench, std::ostream &out, std::ostream &err);

} // namespace dravex
