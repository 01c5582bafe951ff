#include "record/cli/recordarguments.h"

#include "record/cli/localdates.h"
#include "record/cli/resultgrade.h"

#include <map>

namespace dravex {

namespace {

ParsedRecordArguments refused(const std::string &why) {
    ParsedRecordArguments parsed;
    parsed.problem = why;
    return parsed;
}

bool isValuedOption(const std::string &name) {
    static const char *const kValued[] = {"--db",     "--serial",  "--from",  "--to",   "--operation",
                                          "--result", "--station", "--order", "--title"};
    for (const char *valued : kValued)
        if (name == valued)
            return true;
    return false;
}

std::optional<RecordCommand> commandNamed(const std::string &word) {
    if (word == "list")
        return RecordCommand::List;
    if (word == "csv")
        return RecordCommand::Csv;
    if (word == "report")
        return RecordCommand::Report;
    return std::nullopt;
}

// Sets bound to the UTC timestamp of a date given to option; why it cannot when the date does not read.
std::string readDate(const char *option, const std::string &date, bool wholeDay, std::string &bound) {
    if (date.empty())
        return {};
    const std::optional<std::string> utc = utcBoundOf(date, wholeDay);
    if (!utc)
        return "bad date \"" + date + "\" for " + option +
               ": YYYY-MM-DD or \"YYYY-MM-DD HH:MM\" in local time, a year from 1970 to 9999";
    bound = *utc;
    return {};
}

} // namespace

ParsedRecordArguments parseRecordArguments(const std::vector<std::string> &arguments) {
    RecordRequest request;
    std::optional<RecordCommand> command;
    std::map<std::string, std::string> values;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string &argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            request.help = true;
            return {request, {}};
        }
        if (argument.size() > 1 && argument[0] == '-') {
            // --name VALUE or --name=VALUE
            const size_t equals = argument.find('=');
            const std::string name = argument.substr(0, equals);
            if (name == "--server") {
                if (request.server)
                    return refused("--server given twice");
                request.server = true;
                request.connection = equals == std::string::npos ? "" : argument.substr(equals + 1);
                if (equals != std::string::npos && request.connection.empty())
                    return refused("--server= needs a connection string");
                continue;
            }
            if (!isValuedOption(name))
                return refused("unknown option \"" + name + "\"");
            if (equals == std::string::npos && i + 1 == arguments.size())
                return refused(name + " needs a value");
            const std::string value =
                equals == std::string::npos ? arguments[++i] : argument.substr(equals + 1);
            // An empty value would filter nothing, which is never what was meant.
            if (value.empty())
                return refused(name + " needs a value");
            if (!values.emplace(name, value).second)
                return refused(name + " given twice");
            continue;
        }
        if (command)
            return refused("unexpected argument \"" + argument + "\"");
        command = commandNamed(argument);
        if (!command)
            return refused("unknown command \"" + argument + "\"");
    }
    if (!command)
        return refused("a command is needed: list, csv or report");
    request.command = *command;

    request.journal = values["--db"];
    if (!request.journal.empty() && request.server)
        return refused("--db and --server name two different stores; give one");
    RecordFilter &filter = request.filter;
    filter.serial = values["--serial"];
    filter.operation = values["--operation"];
    filter.result = values["--result"];
    filter.station = values["--station"];
    if (!filter.operation.empty() && operationRank(filter.operation) == operationNames().size())
        return refused("unknown operation \"" + filter.operation + "\"; it is one of " + operationNameList());

    request.from = values["--from"];
    request.to = values["--to"];
    std::string problem = readDate("--from", request.from, false, filter.from);
    if (problem.empty())
        problem = readDate("--to", request.to, true, filter.until);
    if (!problem.empty())
        return refused(problem);
    if (!filter.from.empty() && !filter.until.empty() && filter.from >= filter.until)
        return refused("--from " + request.from + " is not before --to " + request.to);

    request.order = values["--order"];
    request.title = values["--title"];
    if (request.command == RecordCommand::Report) {
        if (request.order.empty())
            return refused("report needs --order FOLDER, the order's source folder as copy records name it");
        // The order's sticks are found by their copy records, and the report covers all their operations.
        if (!filter.operation.empty())
            return refused("report takes no --operation");
    } else if (!request.order.empty() || !request.title.empty()) {
        return refused("--order and --title belong to report");
    }
    return {request, {}};
}

} // namespace dravex
