#include "record/cli/recordcli.h"

#include "record/cli/localdates.h"
#include "record/cli/orderreport.h"
#include "record/cli/recordarguments.h"
#include "record/cli/recordcsv.h"
#include "record/cli/recordlist.h"
#include "record/cli/recordstore.h"
#include "record/cli/resultgrade.h"
#include "record/recordplaces.h"

#include <chrono>

namespace dravex {

namespace {

int failed(std::ostream &err, const std::string &why) {
    err << "dravex-record: " << why << "\n";
    return kRecordFailed;
}

int finished(std::ostream &out, std::ostream &err) {
    out.flush();
    return out ? kRecordDone : failed(err, "cannot write the output");
}

OpenedStore openStore(const RecordRequest &request, const std::string &programFolder) {
    if (!request.journal.empty())
        return openJournal(request.journal);
    if (request.server && !request.connection.empty())
        return openServer(request.connection);
    if (programFolder.empty())
        return {{}, "cannot find this program's folder; name a store with --db or --server=CONNSTRING"};
    if (!request.server)
        return openJournal(journalPath(programFolder));
    const std::string connection = readServerSettings(programFolder);
    if (connection.empty())
        return {{}, std::string("no server named in ") + kServerSettingsFileName + " in " + programFolder};
    return openServer(connection);
}

std::string rangeText(const RecordRequest &request) {
    if (request.from.empty() && request.to.empty())
        return "all records";
    const std::string range = request.to.empty()     ? "from " + request.from
                              : request.from.empty() ? "up to " + request.to
                                                     : request.from + " to " + request.to;
    return range + ", local time";
}

int report(const RecordRequest &request, const RecordQuery &query, std::ostream &out, std::ostream &err) {
    std::string error;
    const std::optional<OrderRecords> order = readOrderRecords(query, request.filter, request.order, error);
    if (!order)
        return failed(err, "cannot read the records: " + error);
    const OrderSummary summary = summarizeOrder(*order);
    // An empty report is an answer too, but a mistyped folder should not pass for one unnoticed.
    if (summary.sticks.empty())
        err << "dravex-record: no stick of the order: no copy record within the filters names "
            << request.order << "\n";
    ReportHeading heading;
    heading.title = request.title.empty() ? "Order " + request.order : request.title;
    heading.order = request.order;
    heading.range = rangeText(request);
    heading.made = localTimeText(utcTimestamp(std::chrono::system_clock::now()));
    writeOrderReport(heading, summary, out);
    return finished(out, err);
}

} // namespace

std::string recordUsage() {
    return "usage: dravex-record COMMAND [--db PATH | --server[=CONNSTRING]] [FILTERS]\n"
           "\n"
           "Reads the production record: what was done to which stick, when, at which station, and how\n"
           "it ended. Without --db or --server it reads the station journal Dravex.db beside this program.\n"
           "\n"
           "commands:\n"
           "  list               the records in columns, oldest first, and their count\n"
           "  csv                the records with every column as CSV (RFC 4180, UTF-8); a text that\n"
           "                     starts with = + - @ gets a ' in front, so no spreadsheet runs it\n"
           "  report --order FOLDER [--title TEXT]\n"
           "                     an HTML page on one order: the sticks whose copy records within the\n"
           "                     filters name FOLDER, with all their records in the date range, each\n"
           "                     stick's latest results, whether it is complete and good, and charts\n"
           "\n"
           "stores:\n"
           "  --db PATH          a station journal\n"
           "  --server           the line's server that RecordServer.txt beside this program names\n"
           "  --server=CONNSTRING  the line's server at a libpq connection string\n"
           "\n"
           "filters (--name VALUE or --name=VALUE):\n"
           "  --serial S  --operation OP  --result R  --station NAME  --from DATE  --to DATE\n"
           "  DATE is YYYY-MM-DD or \"YYYY-MM-DD HH:MM\" in local time. --from starts there; --to DATE\n"
           "  includes that whole day, --to \"DATE HH:MM\" ends just before that minute.\n"
           "  OP is one of " +
           operationNameList() +
           ".\n"
           "\n"
           "exit status: 0 done, 1 the store could not be read or the output not written, 2 bad arguments\n";
}

int runRecordCli(const std::vector<std::string> &arguments, const std::string &programFolder,
                 std::ostream &out, std::ostream &err) {
    const ParsedRecordArguments parsed = parseRecordArguments(arguments);
    if (!parsed.request) {
        err << "dravex-record: " << parsed.problem << "\n\n" << recordUsage();
        return kRecordBadArguments;
    }
    const RecordRequest &request = *parsed.request;
    if (request.help) {
        out << recordUsage();
        return finished(out, err);
    }
    const OpenedStore store = openStore(request, programFolder);
    if (!store.query)
        return failed(err, store.error);
    if (request.command == RecordCommand::Report)
        return report(request, store.query, out, err);
    std::string error;
    const std::optional<std::vector<ProductionRecord>> records = store.query(request.filter, error);
    if (!records)
        return failed(err, "cannot read the records: " + error);
    if (request.command == RecordCommand::List)
        writeRecordList(*records, out);
    else
        writeRecordCsv(*records, out);
    return finished(out, err);
}

} // namespace dravex
