#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace dravex {

// Exit codes of dravex-record.
constexpr int kRecordDone = 0;
constexpr int kRecordFailed = 1;       // the store could not be opened or read, or the output not written
constexpr int kRecordBadArguments = 2; // usage text on standard error

std::string recordUsage();

// dravex-record's whole work on its arguments (without the program name). programFolder is where the
// program lies, which holds the station's journal and RecordServer.txt; empty when it is not known.
int runRecordCli(const std::vector<std::string> &arguments, const std::string &programFolder,
                 std::ostream &out, std::ostream &err);

} // namespace dravex
