#pragma once

#include "helpers/helpercontext.h"
#include "helpers/helperrecord.h"

#include <string>

namespace dravex {

// One helper program's work on its whole command line; returns the exit code.
using HelperRun = int (*)(const std::string &commandText, HelperContext &context);

// The command line as a Windows program receives it: the arguments after the program, joined by one
// blank, so "/V:MY DISK" and folders with blanks arrive whole.
std::string joinArguments(int argc, char **argv);

// The command text: the tool's own command line (commandLine, from DRAVEX_COMMAND_LINE) past the program
// when it splits into exactly these arguments, so that runs of blanks in a label or folder arrive intact;
// otherwise joinArguments.
std::string helperCommandText(int argc, char **argv, const char *commandLine);

// The end of every helper's main(): a program that succeeded ends at once and its window closes, as a
// console window does on Windows; one that failed in a terminal waits for any key, so the operator can
// read why. Returns the exit code.
int finishHelper(int code);

// main() of every helper: the system root from DRAVEX_SYSTEM_ROOT ("/" when unset), the disk actions of
// UDisks2 on the machine itself (util-linux and sysfs when the service does not answer) and inert ones below
// any other root, the letters of the tool's scan from DRAVEX_SCANNED_DISKS, standard output and error. The
// run ends with its production record (helperJournalPath), the message being the last line the operator
// read: on standard output when it succeeded, on standard error when it did not.
int runHelperMain(int argc, char **argv, HelperRun run, RecordedRunOf recordedRun);

} // namespace dravex
