#include "record/lineserver.h"

#include <libpq-fe.h>

namespace dravex {

namespace {

// Frees a result when it goes out of scope.
struct Result {
    PGresult *result;
    ~Result() { PQclear(result); }
    ExecStatusType status() const { return PQresultStatus(result); }
};

std::string lastError(PGconn *connection) {
    std::string message = PQerrorMessage(connection);
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    return message;
}

} // namespace

std::unique_ptr<LineServer> LineServer::connect(const std::string &connection, std::string &error) {
    // The line's own settings come last and win; before them, limits that keep a dead or unplugged server
    // from holding a sender for more than seconds.
    const char *keywords[] = {"connect_timeout", "keepalives", "keepalives_idle", "keepalives_interval",
                              "keepalives_count", "tcp_user_timeout", "dbname", nullptr};
    const char *values[] = {"5", "1", "5", "2", "3", "10000", connection.c_str(), nullptr};
    PGconn *pg = PQconnectdbParams(keywords, values, 1);
    if (!pg || PQstatus(pg) != CONNECTION_OK) {
        error = pg ? lastError(pg) : "out of memory";
        PQfinish(pg);
        return nullptr;
    }
    std::unique_ptr<LineServer> server(new LineServer(pg));
    std::string table = "CREATE TABLE IF NOT EXISTS production_records (";
    for (size_t i = 0; i < recordColumns().size(); ++i)
        table += recordColumns()[i] + (isNumberColumn(i) ? " bigint NOT NULL, " : " text NOT NULL, ");
    table += "PRIMARY KEY (id));"
             "CREATE INDEX IF NOT EXISTS production_records_serial ON production_records (serial);"
             "CREATE INDEX IF NOT EXISTS production_records_time ON production_records (recorded_at);";
    // Two stations creating the table at once: the loser's error names the type or relation it raced for.
    if (!server->execute(table.c_str(), error) && !server->execute(table.c_str(), error))
        return nullptr;
    return server;
}

LineServer::~LineServer() { PQfinish(m_connection); }

bool LineServer::execute(const char *sql, std::string &error) {
    const Result result{PQexec(m_connection, sql)};
    if (result.status() == PGRES_COMMAND_OK || result.status() == PGRES_TUPLES_OK)
        return true;
    error = lastError(m_connection);
    return false;
}

bool LineServer::send(const std::vector<ProductionRecord> &records, std::string &error) {
    if (!execute("BEGIN", error))
        return false;
    std::string placeholders;
    for (size_t i = 1; i <= recordColumns().size(); ++i)
        placeholders += (i > 1 ? ", $" : "$") + std::to_string(i);
    const std::string insert = "INSERT INTO production_records (" + recordColumnList() + ") VALUES (" + placeholders +
                               ") ON CONFLICT (id) DO NOTHING";
    for (const ProductionRecord &record : records) {
        const std::vector<std::string> fields = recordFields(record);
        std::vector<const char *> values;
        for (const std::string &field : fields)
            values.push_back(field.c_str());
        const Result result{PQexecParams(m_connection, insert.c_str(), static_cast<int>(values.size()), nullptr,
                                         values.data(), nullptr, nullptr, 0)};
        if (result.status() != PGRES_COMMAND_OK) {
            error = lastError(m_connection);
            std::string ignored;
            execute("ROLLBACK", ignored);
            return false;
        }
    }
    return execute("COMMIT", error);
}

std::optional<std::vector<ProductionRecord>> LineServer::select(const RecordFilter &filter, std::string &error) {
    const SqlCondition condition = filterCondition(filter, Placeholders::Dollar);
    const std::string query =
        "SELECT " + recordColumnList() + " FROM production_records" + condition.where + " ORDER BY recorded_at, id";
    std::vector<const char *> values;
    for (const std::string &value : condition.values)
        values.push_back(value.c_str());
    const Result result{PQexecParams(m_connection, query.c_str(), static_cast<int>(values.size()), nullptr,
                                     values.data(), nullptr, nullptr, 0)};
    if (result.status() != PGRES_TUPLES_OK) {
        error = lastError(m_connection);
        return std::nullopt;
    }
    std::vector<ProductionRecord> records;
    const int columns = PQnfields(result.result);
    for (int row = 0; row < PQntuples(result.result); ++row) {
        std::vector<std::string> fields;
        for (int column = 0; column < columns; ++column)
            fields.emplace_back(PQgetvalue(result.result, row, column),
                                static_cast<size_t>(PQgetlength(result.result, row, column)));
        records.push_back(recordFromFields(fields));
    }
    return records;
}

} // namespace dravex
