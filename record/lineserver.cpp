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

// How many bytes the UTF-8 sequence starting with lead takes; 0 when no sequence starts with it.
size_t sequenceLength(unsigned lead) {
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    return lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
}

// PostgreSQL holds text only as valid UTF-8 without NUL; a label read in a code page or a garbled USB
// descriptor would otherwise fail its whole batch, and every batch after it, on every try. Each byte that
// cannot stay arrives as U+FFFD.
std::string storableText(const std::string &text) {
    const auto byte = [&](size_t at) { return at < text.size() ? static_cast<unsigned char>(text[at]) : 0u; };
    std::string stored;
    for (size_t i = 0; i < text.size();) {
        const unsigned lead = byte(i);
        const unsigned second = byte(i + 1);
        const size_t length = sequenceLength(lead);
        bool valid = lead != 0 && length > 0;
        for (size_t k = 1; valid && k < length; ++k)
            valid = (byte(i + k) & 0xC0) == 0x80;
        // Overlong forms, UTF-16 surrogates and what lies past U+10FFFF.
        valid = valid && !(lead == 0xE0 && second < 0xA0) && !(lead == 0xED && second > 0x9F) &&
                !(lead == 0xF0 && second < 0x90) && !(lead == 0xF4 && second > 0x8F);
        stored += valid ? text.substr(i, length) : "\xEF\xBF\xBD";
        i += valid ? length : 1;
    }
    return stored;
}

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
    const char *keywords[] = {"connect_timeout",     "keepalives",       "keepalives_idle",
                              "keepalives_interval", "keepalives_count", "tcp_user_timeout",
                              "client_encoding",     "dbname",           nullptr};
    const char *values[] = {"5", "1", "5", "2", "3", "10000", "UTF8", connection.c_str(), nullptr};
    PGconn *pg = PQconnectdbParams(keywords, values, 1);
    if (!pg || PQstatus(pg) != CONNECTION_OK) {
        error = pg ? lastError(pg) : "out of memory";
        PQfinish(pg);
        return nullptr;
    }
    // Notices ("relation already exists, skipping") would go to a helper's standard error.
    PQsetNoticeProcessor(
        pg, [](void *, const char *) {}, nullptr);
    std::unique_ptr<LineServer> server(new LineServer(pg));
    std::string table = "CREATE TABLE IF NOT EXISTS production_records (";
    // A capacity is unsigned and may pass 2^63 (a counterfeit stick says what it likes): numeric holds it.
    for (size_t i = 0; i < recordColumns().size(); ++i) {
        table += recordColumns()[i] + (i == kCapacityColumn ? " numeric(20) NOT NULL, "
                                       : isNumberColumn(i)  ? " bigint NOT NULL, "
                                                            : " text NOT NULL, ");
    }
    table += "PRIMARY KEY (id));"
             "CREATE INDEX IF NOT EXISTS production_records_serial ON production_records (serial);"
             "CREATE INDEX IF NOT EXISTS production_records_time ON production_records (recorded_at);";
    // Only when it is missing: CREATE INDEX locks the table before it finds the index there, and would wait
    // behind a long job on the server. Two stations creating it at once: the loser's error names the type or
    // relation it raced for, and the second try finds it.
    const Result found{PQexec(pg, "SELECT to_regclass('production_records') IS NOT NULL")};
    if (found.status() == PGRES_TUPLES_OK && PQntuples(found.result) == 1 &&
        std::string(PQgetvalue(found.result, 0, 0)) == "t")
        return server;
    if (!server->execute(table.c_str(), error) && !server->execute(table.c_str(), error))
        return nullptr;
    return server;
}

LineServer::LineServer(pg_conn *connection) : m_connection(connection), m_cancel(PQgetCancel(connection)) {}

LineServer::~LineServer() {
    PQfreeCancel(m_cancel);
    PQfinish(m_connection);
}

void LineServer::cancel() const {
    char error[256];
    if (m_cancel)
        PQcancel(m_cancel, error, sizeof error);
}

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
        std::vector<std::string> fields = recordFields(record);
        for (std::string &field : fields)
            field = storableText(field);
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
