#pragma once

#include "record/recordfilter.h"

#include <optional>
#include <string>
#include <vector>

namespace dravex {

enum class RecordCommand { List, Csv, Report };

// What a dravex-record command line asks for.
struct RecordRequest {
    bool help = false; // --help: nothing else counts
    RecordCommand command = RecordCommand::List;
    std::string journal;    // --db PATH
    bool server = false;    // --server
    std::string connection; // --server=CONNSTRING; empty: the one RecordServer.txt names
    RecordFilter filter;    // the dates already as UTC bounds
    std::string from;       // the dates as given, for the report's heading
    std::string to;
    std::string order; // report: the order's source folder
    std::string title;
};

// The request, or why the arguments (without the program name) make none.
struct ParsedRecordArguments {
    std::optional<RecordRequest> request;
    std::string problem;
};
ParsedRecordArguments parseRecordArguments(const std::vector<std::string> &arguments);

} // namespace dravex
