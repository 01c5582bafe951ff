#include "record/cli/recordstore.h"

#include "record/lineserver.h"
#include "record/localjournal.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/stat.h>

namespace dravex {

namespace {

// Why the file at path is no station journal, looked at read-only; empty when it is one.
std::string journalProblem(const std::string &path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return "no journal at " + path + ": " + std::strerror(errno);
    if (!S_ISREG(info.st_mode))
        return path + " is not a file";
    sqlite3 *db = nullptr;
    std::string problem;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        problem = db ? sqlite3_errmsg(db) : "out of memory";
    } else {
        sqlite3_stmt *query = nullptr;
        const char *sql = "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'records'";
        if (sqlite3_prepare_v2(db, sql, -1, &query, nullptr) != SQLITE_OK ||
            sqlite3_step(query) != SQLITE_ROW)
            problem = sqlite3_errmsg(db);
        else if (sqlite3_column_int(query, 0) != 1)
            problem = "it holds no production records";
        sqlite3_finalize(query);
    }
    sqlite3_close(db);
    return problem.empty() ? problem : path + " is not a station journal: " + problem;
}

} // namespace

OpenedStore openJournal(const std::string &path) {
    if (const std::string problem = journalProblem(path); !problem.empty())
        return {{}, problem};
    LocalJournal::Opening opening = LocalJournal::open(path);
    if (!opening.journal)
        return {{}, "cannot open the journal " + path + ": " + opening.error};
    std::shared_ptr<LocalJournal> journal(std::move(opening.journal));
    OpenedStore store;
    store.query = [journal](const RecordFilter &filter, std::string &) { return journal->select(filter); };
    return store;
}

OpenedStore openServer(const std::string &connection) {
    std::string error;
    std::shared_ptr<LineServer> server = LineServer::connect(connection, error);
    if (!server)
        return {{}, "cannot reach the line's server: " + error};
    OpenedStore store;
    store.query = [server](const RecordFilter &filter, std::string &why) {
        return server->select(filter, why);
    };
    return store;
}

} // namespace dravex
