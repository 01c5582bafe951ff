#pragma once

#include "helpers/helpercontext.h"
#include "helpers/helperrecord.h"
#include "helpers/treecopy.h"

#include <optional>
#include <string>
#include <string_view>

namespace dravex {

struct XcopyCommand {
    std::string sourceFolder; // as given, without "\*.*": "D:\Cust", "/home/op/my cust\"
    char letter = 0;          // upper case
    CopyOptions options;
};

struct ParsedXcopyCommand {
    std::optional<XcopyCommand> command;
    std::string problem; // when there is no command
};

// xcopy's command line, as the tool builds it: "<folder>\*.* H:\./v/h/e/f/k". The last blank-separated
// word is the destination, a letter with ":\." and directly after it any of the switches /v /h /e /f /k
// (any case, each at most once); everything before it is the source, which may hold blanks and must end
// in "\*.*".
ParsedXcopyCommand parseXcopyCommand(std::string_view text);

// The copy's closing lines, the files copied and the errors when there were any; its exit code.
int finishCopy(const TreeCopy &copy, std::ostream &out, std::ostream &err);

// Copies the source folder's tree onto the root of the drive; exit 0 only when all of it was copied
// (and verified).
int runXcopy(const std::string &commandText, HelperContext &context, const CopyHooks &hooks = {});
// The run as the production record keeps it: the drive, and the source folder.
RecordedRun xcopyRun(const std::string &commandText);

} // namespace dravex
