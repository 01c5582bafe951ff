// How fast the production record's stores take records, with the writers as separate processes as the
// helpers are:
//
//   the station's SQLite journal from ten writers at once, each keeping it open, and each opening and
//   closing it for every record as a helper does once;
//   a PostgreSQL server of its own (initdb'd in a temporary folder, fsync off) from ten writers sending one
//   record per transaction, and from ten writers filling a journal while the shipper sends it in batches;
//   what one record adds to a helper's run: open + add + close in a fresh process, median and p95.
//
// Every case checks that every record arrived once.
//
//   dravex-record-bench [--quick]
#include "record/lineserver.h"
#include "record/localjournal.h"
#include "record/recordshipper.h"
#include "record/stores/samplerecords.h"
#include "record/stores/testpostgres.h"
#include "record/stores/writergroup.h"
#include "support/scratchfolder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace dravex;
using Clock = std::chrono::steady_clock;

constexpr int kWriters = 10;

const char *const kUsage = "Usage: dravex-record-bench [--quick]\n"
                           "Records per second into the station's SQLite journal and a PostgreSQL server of\n"
                           "its own from ten writer processes at once, and the cost of one record in a\n"
                           "helper's run. Under half a minute on two cores; --quick: a tenth of the records\n"
                           "and a fifth of the helper runs.\n";

struct Sizes {
    int keptOpen = 2000; // records per writer, journal kept open
    int openEach = 300;  // records per writer, journal opened for each
    int perTransaction = 500;
    int shipped = 2000;   // records per writer through the shipper
    int helperRuns = 200; // fresh processes adding one record each
};

void fail(const std::string &what) {
    throw std::runtime_error(what);
}

void printRow(const char *store, const char *how, long long records, double seconds) {
    std::printf("%-11s %-50s %8lld %8.2f %10.0f\n", store, how, records, seconds, records / seconds);
}

size_t journalSize(const std::string &path) {
    LocalJournal::Opening opening = LocalJournal::open(path);
    if (!opening.journal)
        fail("cannot open " + path + ": " + opening.error);
    return opening.journal->select({}).size();
}

double writeJournal(const std::string &path, int each, const std::vector<std::string> &options) {
    const testing::WriterGroup::Outcome outcome =
        testing::WriterGroup::run(testing::journalWriters(path, kWriters, each, options));
    if (!outcome.allSucceeded || journalSize(path) != size_t{kWriters} * each)
        fail("the journal does not hold every record once");
    return outcome.seconds;
}

size_t serverSize(const testing::TestPostgres &server) {
    std::string error;
    const std::unique_ptr<LineServer> line = LineServer::connect(server.connection(), error);
    const auto records = line ? line->select({}, error) : std::nullopt;
    if (!records)
        fail("cannot read the server: " + error);
    return records->size();
}

double sendPerTransaction(const testing::TestPostgres &server, int each) {
    const size_t before = serverSize(server);
    std::vector<std::vector<std::string>> writers;
    for (int writer = 0; writer < kWriters; ++writer)
        writers.push_back({"server", server.connection(), std::to_string(writer), std::to_string(each)});
    const testing::WriterGroup::Outcome outcome = testing::WriterGroup::run(writers);
    if (!outcome.allSucceeded || serverSize(server) != before + size_t{kWriters} * each)
        fail("the server does not hold every record once");
    return outcome.seconds;
}

// From the writers' start until the shipper has marked the last record sent.
double shipWhileWriting(const testing::TestPostgres &server, const std::string &path, int each) {
    const size_t before = serverSize(server);
    RecordShipper shipper(path, server.connection(), std::chrono::milliseconds(50));
    testing::WriterGroup writers(testing::journalWriters(path, kWriters, each));
    const auto start = Clock::now();
    writers.release();
    if (!writers.finish().allSucceeded)
        fail("a writer failed");
    LocalJournal::Opening opening = LocalJournal::open(path);
    if (!opening.journal)
        fail("cannot open " + path + ": " + opening.error);
    shipper.wake();
    while (opening.journal->waitingCount() > 0) {
        if (Clock::now() - start > std::chrono::minutes(5))
            fail("the shipper did not finish: " + shipper.status().problem);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (serverSize(server) != before + size_t{kWriters} * each)
        fail("the server does not hold every record once");
    return seconds;
}

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5)];
}

// One fresh writer process after another, each opening the journal, adding one record and closing it.
void helperCost(const std::string &path, int runs) {
    std::vector<double> inProcess;
    std::vector<double> wholeProcess;
    const size_t before = journalSize(path);
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        const testing::WriterGroup::Outcome outcome =
            testing::WriterGroup::run({{"journal", path, "0", "1", "--open-each"}});
        wholeProcess.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (!outcome.allSucceeded)
            fail("a helper's record was not stored");
        inProcess.push_back(static_cast<double>(outcome.microseconds.front()) / 1000);
    }
    if (journalSize(path) != before + static_cast<size_t>(runs))
        fail("the journal does not hold every helper's record once");
    std::printf("\nOne record in a helper's run: %d fresh processes, one after another, on a journal of %zu "
                "records\n",
                runs, before);
    std::printf("%-50s %10s %10s\n", "", "median ms", "p95 ms");
    std::printf("%-50s %10.2f %10.2f\n", "LocalJournal::open + add + close, in the process",
                percentile(inProcess, 0.5), percentile(inProcess, 0.95));
    std::printf("%-50s %10.2f %10.2f\n", "the whole process, started to ended", percentile(wholeProcess, 0.5),
                percentile(wholeProcess, 0.95));
}

void run(const Sizes &sizes) {
    testing::ScratchFolder folder;
    // Each case on a journal of its own that does not exist yet.
    const auto journalIn = [&](const char *name) {
        std::filesystem::create_directories(folder.path() / name);
        return (folder.path() / name / "Dravex.db").string();
    };
    std::printf("%-11s %-50s %8s %8s %10s\n", "store", "ten writer processes at once", "records", "seconds",
                "records/s");
    const std::string kept = journalIn("kept");
    printRow("SQLite", "journal kept open, one add per record", kWriters * sizes.keptOpen,
             writeJournal(kept, sizes.keptOpen, {}));
    printRow("SQLite", "open + add + close for every record", kWriters * sizes.openEach,
             writeJournal(journalIn("each"), sizes.openEach, {"--open-each"}));

    const std::string unavailable = testing::TestPostgres::unavailable();
    if (unavailable.empty()) {
        testing::TestPostgres server;
        printRow("PostgreSQL", "LineServer::send, one record per transaction",
                 kWriters * sizes.perTransaction, sendPerTransaction(server, sizes.perTransaction));
        printRow("PostgreSQL", "into a journal, shipped in batches of up to 500", kWriters * sizes.shipped,
                 shipWhileWriting(server, journalIn("shipped"), sizes.shipped));
    } else {
        std::printf("PostgreSQL: not measured, %s\n", unavailable.c_str());
    }
    helperCost(kept, sizes.helperRuns);
}

} // namespace

int main(int argc, char **argv) {
    Sizes sizes;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            sizes = {sizes.keptOpen / 10, sizes.openEach / 10, sizes.perTransaction / 10, sizes.shipped / 10,
                     sizes.helperRuns / 5};
        } else {
            std::fputs(kUsage, std::strcmp(argv[i], "--help") == 0 ? stdout : stderr);
            return std::strcmp(argv[i], "--help") == 0 ? 0 : 2;
        }
    }
    try {
        run(sizes);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "dravex-record-bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
