#include "record/localjournal.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace dravex {

namespace {

constexpr int kBusyTimeoutMs = 10000;

bool isDamage(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

// A prepared statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3 *db, const std::string &sql) { m_code = sqlite3_prepare_v2(db, sql.c_str(), -1, &m_statement, nullptr); }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    bool ok() const { return m_code == SQLITE_OK; }
    int code() const { return m_code; }
    void bind(size_t index, const std::string &text) { bind(static_cast<int>(index), text); }
    void bind(size_t index, long long number) { bind(static_cast<int>(index), number); }
    void bind(int index, const std::string &text) {
        sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }
    void bind(int index, long long number) { sqlite3_bind_int64(m_statement, index, number); }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return m_code = sqlite3_step(m_statement); }
    std::string text(int column) const {
        const auto *bytes = sqlite3_column_text(m_statement, column);
        return bytes ? std::string(reinterpret_cast<const char *>(bytes),
                                   static_cast<size_t>(sqlite3_column_bytes(m_statement, column)))
                     : std::string();
    }
    long long number(int column) const { return sqlite3_column_int64(m_statement, column); }
    void reset() {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }

private:
    sqlite3_stmt *m_statement = nullptr;
    int m_code = SQLITE_OK;
};

std::vector<ProductionRecord> readRecords(Statement &statement) {
    std::vector<ProductionRecord> records;
    const int columns = static_cast<int>(recordColumns().size());
    while (statement.step() == SQLITE_ROW) {
        std::vector<std::string> fields;
        for (int column = 0; column < columns; ++column)
            fields.push_back(statement.text(column));
        records.push_back(recordFromFields(fields));
    }
    return records;
}

std::string localStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

bool exists(const std::string &path) {
    struct stat info{};
    return ::lstat(path.c_str(), &info) == 0;
}

// Holds the lock file beside the database for as long as it lives, so only one process at a time decides
// whether the database is damaged and replaces it.
class ReplacementLock {
public:
    explicit ReplacementLock(const std::string &databasePath)
        : m_fd(::open((databasePath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {
        if (m_fd >= 0) {
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~ReplacementLock() {
        if (m_fd >= 0)
            ::close(m_fd); // releases the lock
    }
    ReplacementLock(const ReplacementLock &) = delete;
    ReplacementLock &operator=(const ReplacementLock &) = delete;

private:
    int m_fd;
};

} // namespace

LocalJournal::LocalJournal(std::string path) : m_path(std::move(path)) {}

LocalJournal::~LocalJournal() { disconnect(); }

LocalJournal::Opening LocalJournal::open(const std::string &path) {
    Opening opening;
    std::unique_ptr<LocalJournal> journal(new LocalJournal(path));
    std::string error;
    const Connection connection = journal->connect(error);
    if (connection == Connection::Failed || (connection == Connection::Damaged && !journal->replaceDamaged(error))) {
        opening.error = error;
        return opening;
    }
    opening.setAsideAs = journal->takeSetAside();
    opening.journal = std::move(journal);
    return opening;
}

LocalJournal::Connection LocalJournal::connect(std::string &error) {
    disconnect();
    int code = sqlite3_open_v2(m_path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (code == SQLITE_OK) {
        sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
        // WAL: writers append without blocking readers, and one short lock per record is all a writer
        // holds; NORMAL synchronisation loses nothing when a program dies, only what a power cut catches.
        const std::string schema = "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
                                   "CREATE TABLE IF NOT EXISTS records (" +
                                   [] {
                                       std::string columns;
                                       for (size_t i = 0; i < recordColumns().size(); ++i) {
                                           columns += recordColumns()[i];
                                           columns += isNumberColumn(i) ? " INTEGER NOT NULL, " : " TEXT NOT NULL, ";
                                       }
                                       return columns;
                                   }() +
                                   "sent INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (id));"
                                   "CREATE INDEX IF NOT EXISTS records_waiting ON records (sent) WHERE sent = 0;"
                                   "CREATE INDEX IF NOT EXISTS records_serial ON records (serial);"
                                   "CREATE INDEX IF NOT EXISTS records_time ON records (recorded_at);";
        code = sqlite3_exec(m_db, schema.c_str(), nullptr, nullptr, nullptr);
    }
    if (code != SQLITE_OK) {
        error = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code);
        disconnect();
        return isDamage(code) ? Connection::Damaged : Connection::Failed;
    }
    struct stat info{};
    if (::stat(m_path.c_str(), &info) == 0) {
        m_device = info.st_dev;
        m_inode = info.st_ino;
    }
    return Connection::Open;
}

void LocalJournal::disconnect() {
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

void LocalJournal::followReplacement() {
    struct stat info{};
    if (m_db && ::stat(m_path.c_str(), &info) == 0 && info.st_dev == m_device && info.st_ino == m_inode)
        return;
    std::string error;
    connect(error);
}

bool LocalJournal::replaceDamaged(std::string &error) {
    disconnect();
    ReplacementLock lock(m_path);
    // Another process may have replaced it already; a whole check decides, as this is rare.
    if (connect(error) == Connection::Open) {
        Statement check(m_db, "PRAGMA quick_check(1)");
        if (check.ok() && check.step() == SQLITE_ROW && check.text(0) == "ok")
            return true;
        disconnect();
    }
    std::string aside = m_path + ".damaged-" + localStamp();
    for (int n = 2; exists(aside); ++n)
        aside = m_path + ".damaged-" + localStamp() + "-" + std::to_string(n);
    if (::rename(m_path.c_str(), aside.c_str()) != 0) {
        error = "cannot set the damaged database aside: " + std::string(std::strerror(errno));
        return false;
    }
    // Its write-ahead log belongs to it; the shared-memory index is rebuilt from the log.
    if (exists(m_path + "-wal"))
        ::rename((m_path + "-wal").c_str(), (aside + "-wal").c_str());
    ::unlink((m_path + "-shm").c_str());
    m_setAside = aside;
    return connect(error) == Connection::Open;
}

std::string LocalJournal::takeSetAside() { return std::exchange(m_setAside, std::string()); }

bool LocalJournal::add(const ProductionRecord &record, std::string &error) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        followReplacement();
        if (!m_db) {
            const Connection connection = connect(error);
            if (connection == Connection::Failed || (connection == Connection::Damaged && !replaceDamaged(error)))
                return false;
        }
        std::string placeholders;
        for (size_t i = 0; i < recordColumns().size(); ++i)
            placeholders += i ? ", ?" : "?";
        Statement insert(m_db, "INSERT OR IGNORE INTO records (" + recordColumnList() + ") VALUES (" + placeholders + ")");
        if (insert.ok()) {
            const std::vector<std::string> fields = recordFields(record);
            for (size_t i = 0; i < fields.size(); ++i) {
                if (!isNumberColumn(i))
                    insert.bind(static_cast<int>(i + 1), fields[i]);
            }
            insert.bind(kCapacityColumn + 1, static_cast<long long>(record.capacityBytes));
            insert.bind(kDurationColumn + 1, static_cast<long long>(record.durationMs));
            if (insert.step() == SQLITE_DONE)
                return true;
        }
        const int code = insert.code();
        error = sqlite3_errmsg(m_db);
        if (!isDamage(code) || attempt > 0 || !replaceDamaged(error))
            return false;
    }
    return false;
}

std::vector<ProductionRecord> LocalJournal::select(const RecordFilter &filter) {
    followReplacement();
    if (!m_db)
        return {};
    const SqlCondition condition = filterCondition(filter, Placeholders::Question);
    Statement query(m_db, "SELECT " + recordColumnList() + " FROM records" + condition.where +
                              " ORDER BY recorded_at, rowid");
    if (!query.ok())
        return {};
    for (size_t i = 0; i < condition.values.size(); ++i)
        query.bind(static_cast<int>(i + 1), condition.values[i]);
    return readRecords(query);
}

std::vector<ProductionRecord> LocalJournal::waiting(int limit) {
    followReplacement();
    if (!m_db)
        return {};
    Statement query(m_db, "SELECT " + recordColumnList() + " FROM records WHERE sent = 0 ORDER BY rowid LIMIT ?");
    if (!query.ok())
        return {};
    query.bind(1, static_cast<long long>(limit));
    return readRecords(query);
}

long long LocalJournal::waitingCount() {
    followReplacement();
    if (!m_db)
        return 0;
    Statement query(m_db, "SELECT count(*) FROM records WHERE sent = 0");
    return query.ok() && query.step() == SQLITE_ROW ? query.number(0) : 0;
}

bool LocalJournal::markSent(const std::vector<std::string> &ids, std::string &error) {
    followReplacement();
    if (!m_db) {
        error = "no database";
        return false;
    }
    bool done = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (done) {
        Statement update(m_db, "UPDATE records SET sent = 1 WHERE id = ?");
        for (const std::string &id : ids) {
            update.bind(1, id);
            done = done && update.step() == SQLITE_DONE;
            update.reset();
        }
    }
    if (!done) {
        error = sqlite3_errmsg(m_db);
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(m_db);
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    return true;
}

} // namespace dravex
