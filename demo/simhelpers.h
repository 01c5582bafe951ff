#pragma once

#include "platform/sim/simbench.h"

#include <ostream>
#include <string>

namespace dravex {

// The bench's stand-ins for format.com, xcopy, RemoveDrive.exe and captest. They take the same
// command-line texts as the Linux helpers and decide with the same functions: the parsing, the label and
// size rules, the refusal texts and the exit codes. They act on the sticks of a folder-mode bench instead
// of real disks. Each returns the helper exit code; every change of a stick is written to its descriptor,
// which is what a program watching the bench folder sees.

// "H:/FS:FAT32/V:DATA/q/y": refuses what format.com refuses (a bad label, a locked stick, a file system
// the stick is too small or too large for), else empties the stick and gives it the file system and the
// label as the volume keeps it (FAT in upper case).
int runSimFormat(const std::string &commandText, SimBench &bench, std::ostream &out, std::ostream &err);

// "<folder>\*.* H:\./v/h/e/f/k": copies the folder's tree onto the stick (hidden files, empty folders,
// links followed). A locked stick fails its writes, and a copy that does not fit the capacity fails after
// the fact, with xcopy's message and exit code.
int runSimXcopy(const std::string &commandText, SimBench &bench, std::ostream &out, std::ostream &err);

// "H" or "H:": takes the stick off the bench, a stick without a medium too.
int runSimRemoveDrive(const std::string &commandText, SimBench &bench, std::ostream &out, std::ostream &err);

// "H:": leaves a capacity report on the stick, which the tool's bench reads at its next refresh: a locked
// stick is write-protected, one whose real size is below its capacity counterfeit, any other genuine, with
// the speeds of a common USB 2.0 stick.
int runSimCaptest(const std::string &commandText, SimBench &bench, std::ostream &out, std::ostream &err);

} // namespace dravex
