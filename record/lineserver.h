#pragma once

#include "record/productionrecord.h"
#include "record/recordfilter.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct pg_conn;
struct pg_cancel;

namespace dravex {

// The line's PostgreSQL server, where every station's records meet. A record goes in once however often
// it is sent: its id is the table's key, and a record already there is left as it is.
class LineServer {
public:
    // Connects with a libpq connection string ("host=10.0.0.5 dbname=dravex user=line"), giving up after a
    // few seconds; creates the table when the server has none. Nothing, with the reason, when it cannot.
    static std::unique_ptr<LineServer> connect(const std::string &connection, std::string &error);
    ~LineServer();
    LineServer(const LineServer &) = delete;
    LineServer &operator=(const LineServer &) = delete;

    // All of them in one transaction: either every record is on the server afterwards or none was added.
    bool send(const std::vector<ProductionRecord> &records, std::string &error);
    std::optional<std::vector<ProductionRecord>> select(const RecordFilter &filter, std::string &error);
    // From another thread: the statement in progress, if any, fails at once instead of waiting on the server
    // (behind a lock held there, or on a server that hangs).
    void cancel() const;

private:
    explicit LineServer(pg_conn *connection);
    bool execute(const char *sql, std::string &error);
    pg_conn *m_connection;
    pg_cancel *m_cancel;
};

} // namespace dravex
