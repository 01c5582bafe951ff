// One writer among many, as a helper process writes its records: waits for the end of its standard input,
// so that a group starts together, then adds count records and prints how many microseconds that took.
//
//   dravex-record-writer journal PATH WRITER COUNT [--open-each] [--pause-ms N]
//       into the station's journal; --open-each opens and closes it for every record, as helpers do
//   dravex-record-writer server CONNECTION WRITER COUNT
//       straight to a line server, one record per transaction
//
// Exits with 1, saying why on stderr, at the first record that could not be stored.
#include "record/lineserver.h"
#include "record/localjournal.h"
#include "record/stores/samplerecords.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <thread>

namespace {

using namespace dravex;

bool fail(const std::string &what) {
    std::cerr << "dravex-record-writer: " << what << "\n";
    return false;
}

bool writeJournal(const std::string &path, int writer, int count, bool openEach, int pauseMs) {
    std::unique_ptr<LocalJournal> journal;
    for (int index = 0; index < count; ++index) {
        if (!journal) {
            LocalJournal::Opening opening = LocalJournal::open(path);
            if (!opening.journal)
                return fail("cannot open " + path + ": " + opening.error);
            journal = std::move(opening.journal);
        }
        std::string error;
        if (!journal->add(testing::sampleRecord(writer, index), error))
            return fail("record " + std::to_string(index) + ": " + error);
        if (openEach)
            journal.reset();
        if (pauseMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    }
    return true;
}

bool writeServer(const std::string &connection, int writer, int count) {
    std::string error;
    const std::unique_ptr<LineServer> server = LineServer::connect(connection, error);
    if (!server)
        return fail("cannot connect: " + error);
    for (int index = 0; index < count; ++index) {
        if (!server->send({testing::sampleRecord(writer, index)}, error))
            return fail("record " + std::to_string(index) + ": " + error);
    }
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 5 || (std::strcmp(argv[1], "journal") != 0 && std::strcmp(argv[1], "server") != 0)) {
        std::cerr << "Usage: dravex-record-writer journal PATH WRITER COUNT [--open-each] [--pause-ms N]\n"
                     "       dravex-record-writer server CONNECTION WRITER COUNT\n";
        return 2;
    }
    const bool toJournal = std::strcmp(argv[1], "journal") == 0;
    const int writer = std::atoi(argv[3]);
    const int count = std::atoi(argv[4]);
    bool openEach = false;
    int pauseMs = 0;
    for (int i = 5; i < argc; ++i) {
        if (std::strcmp(argv[i], "--open-each") == 0)
            openEach = true;
        else if (std::strcmp(argv[i], "--pause-ms") == 0 && i + 1 < argc)
            pauseMs = std::atoi(argv[++i]);
    }
    while (std::cin.get() != EOF) {
    }
    const auto start = std::chrono::steady_clock::now();
    const bool done = toJournal ? writeJournal(argv[2], writer, count, openEach, pauseMs)
                                : writeServer(argv[2], writer, count);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%lld\n", static_cast<long long>(
                              std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count()));
    return done ? 0 : 1;
}
