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
constexpr int kSetUpRetryMs = 5;

bool isDamage(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

// A prepared statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3 *db, const std::string &sql) {
        m_code = sqlite3_prepare_v2(db, sql.c_str(), -1, &m_statement, nullptr);
    }
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

// Reads every row; SQLITE_OK when all were read, or the error that stopped it.
int readRecords(Statement &statement, std::vector<ProductionRecord> &records) {
    const int columns = static_cast<int>(recordColumns().size());
    int code = SQLITE_OK;
    while ((code = statement.step()) == SQLITE_ROW) {
        std::vector<std::string> fields;
        for (int column = 0; column < columns; ++column) {
            // SQLite integers are signed: a capacity past 2^63 was stored as the same 64 bits.
            fields.push_back(column == static_cast<int>(kCapacityColumn)
                                 ? std::to_string(static_cast<std::uint64_t>(statement.number(column)))
                                 : statement.text(column));
        }
        records.push_back(recordFromFields(fields));
    }
    return code == SQLITE_DONE ? SQLITE_OK : code;
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
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

void lockFile(int fd, int operation) {
    if (fd >= 0) {
        while (::flock(fd, operation) != 0 && errno == EINTR) {
        }
    }
}

// Holds the lock file shared for one use of the database: a process replacing a damaged database holds it
// exclusively, so that no one opens, reads or writes the files while they are moved.
class SharedUse {
public:
    explicit SharedUse(int fd) : m_fd(fd) { lockFile(m_fd, LOCK_SH); }
    ~SharedUse() { lockFile(m_fd, LOCK_UN); }
    SharedUse(const SharedUse &) = delete;
    SharedUse &operator=(const SharedUse &) = delete;

private:
    int m_fd;
};

std::string schema() {
    std::string columns;
    for (size_t i = 0; i < recordColumns().size(); ++i)
        columns += recordColumns()[i] + (isNumberColumn(i) ? " INTEGER NOT NULL, " : " TEXT NOT NULL, ");
    // WAL: writers append without blocking readers, and one short lock per record is all a writer holds;
    // NORMAL synchronisation loses nothing when a program dies, only what a power cut catches.
    return "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
           "CREATE TABLE IF NOT EXISTS records (" +
           columns +
           "sent INTEGER NOT NULL DEFAULT 0, PRIMARY KEY (id));"
           "CREATE INDEX IF NOT EXISTS records_waiting ON records (sent) WHERE sent = 0;"
           "CREATE INDEX IF NOT EXISTS records_serial ON records (serial);"
           "CREATE INDEX IF NOT EXISTS records_time ON records (recorded_at);";
}

// Sets a new connection up. Processes opening a journal that does not exist yet hold each other off as it
// is made in ways that SQLite's busy handler does not wait for (a reader that must become a writer): they
// try again until the busy timeout.
int setUp(sqlite3 *db) {
    const std::string sql = schema();
    int code = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    for (int waited = 0; (code & 0xff) == SQLITE_BUSY && waited < kBusyTimeoutMs; waited += kSetUpRetryMs) {
        sqlite3_sleep(kSetUpRetryMs);
        code = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr);
    }
    return code;
}

} // namespace

LocalJournal::LocalJournal(std::string path)
    : m_path(std::move(path)),
      m_lock(::open((m_path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644)) {}

LocalJournal::~LocalJournal() {
    {
        SharedUse shared(m_lock);
        disconnect(true);
    }
    if (m_lock >= 0)
        ::close(m_lock);
}

LocalJournal::Opening LocalJournal::open(const std::string &path) {
    Opening opening;
    std::unique_ptr<LocalJournal> journal(new LocalJournal(path));
    if (!journal->use([](sqlite3 *) { return SQLITE_OK; }, opening.error))
        return opening;
    opening.setAsideAs = journal->takeSetAside();
    opening.journal = std::move(journal);
    return opening;
}

LocalJournal::Connection LocalJournal::connect(std::string &error) {
    disconnect(true);
    int code = sqlite3_open_v2(m_path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    // Under the lock, no one moves the file between its opening and this.
    struct stat info {};
    if (::stat(m_path.c_str(), &info) == 0) {
        m_device = info.st_dev;
        m_inode = info.st_ino;
    }
    if (code == SQLITE_OK) {
        sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
        code = setUp(m_db);
    }
    if (code == SQLITE_OK)
        return Connection::Open;
    error = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code);
    disconnect(false);
    return isDamage(code) ? Connection::Damaged : Connection::Failed;
}

void LocalJournal::disconnect(bool fold) {
    if (!m_db)
        return;
    if (!fold)
        sqlite3_db_config(m_db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool LocalJournal::pathLeadsToOurFile() const {
    struct stat info {};
    return ::stat(m_path.c_str(), &info) == 0 && info.st_dev == m_device && info.st_ino == m_inode;
}

bool LocalJournal::use(const std::function<int(sqlite3 *)> &work, std::string &error) {
    SharedUse shared(m_lock);
    for (int attempt = 0;; ++attempt) {
        if (!m_db || !pathLeadsToOurFile()) {
            const Connection connection = connect(error);
            if (connection == Connection::Failed ||
                (connection == Connection::Damaged && !replaceDamaged(error)))
                return false;
        }
        const int code = work(m_db);
        if (code == SQLITE_OK)
            return true;
        error = sqlite3_errmsg(m_db);
        if (!sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        if (!isDamage(code) || attempt > 0 || !replaceDamaged(error))
            return false;
    }
}

bool LocalJournal::replaceDamaged(std::string &error) {
    disconnect(false);
    // From shared to exclusive: flock lets go first, so two processes doing this at once do not deadlock.
    lockFile(m_lock, LOCK_EX);
    const bool replaced = [&] {
        // Another process may have replaced it while we waited: the path leads to a new file then. If not,
        // a whole check decides, as damage is rare and a busy moment must not look like it.
        if (!pathLeadsToOurFile())
            return connect(error) == Connection::Open;
        if (connect(error) == Connection::Open) {
            Statement check(m_db, "PRAGMA quick_check(1)");
            if (check.ok() && check.step() == SQLITE_ROW && check.text(0) == "ok")
                return true;
            disconnect(false);
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
    }();
    lockFile(m_lock, LOCK_SH);
    return replaced;
}

std::string LocalJournal::takeSetAside() {
    return std::exchange(m_setAside, std::string());
}

bool LocalJournal::add(const ProductionRecord &record, std::string &error) {
    std::string placeholders;
    for (size_t i = 0; i < recordColumns().size(); ++i)
        placeholders += i ? ", ?" : "?";
    const std::string sql =
        "INSERT OR IGNORE INTO records (" + recordColumnList() + ") VALUES (" + placeholders + ")";
    return use(
        [&](sqlite3 *db) {
            Statement insert(db, sql);
            if (!insert.ok())
                return insert.code();
            const std::vector<std::string> fields = recordFields(record);
            for (size_t i = 0; i < fields.size(); ++i) {
                if (!isNumberColumn(i))
                    insert.bind(i + 1, fields[i]);
            }
            // The same 64 bits, read back through the same cast.
            insert.bind(kCapacityColumn + 1, static_cast<long long>(record.capacityBytes));
            insert.bind(kDurationColumn + 1, static_cast<long long>(record.durationMs));
            return insert.step() == SQLITE_DONE ? SQLITE_OK : insert.code();
        },
        error);
}

std::vector<ProductionRecord> LocalJournal::read(const std::string &sql,
                                                 const std::vector<std::string> &values) {
    std::vector<ProductionRecord> records;
    std::string error;
    const bool done = use(
        [&](sqlite3 *db) {
            records.clear(); // what a damaged file gave before it was set aside
            Statement query(db, sql);
            if (!query.ok())
                return query.code();
            for (size_t i = 0; i < values.size(); ++i)
                query.bind(i + 1, values[i]);
            return readRecords(query, records);
        },
        error);
    return done ? records : std::vector<ProductionRecord>();
}

std::vector<ProductionRecord> LocalJournal::select(const RecordFilter &filter) {
    const SqlCondition condition = filterCondition(filter, Placeholders::Question);
    return read("SELECT " + recordColumnList() + " FROM records" + condition.where +
                    " ORDER BY recorded_at, rowid",
                condition.values);
}

std::vector<ProductionRecord> LocalJournal::waiting(int limit) {
    return read("SELECT " + recordColumnList() + " FROM records WHERE sent = 0 ORDER BY rowid LIMIT " +
                    std::to_string(limit),
                {});
}

long long LocalJournal::waitingCount() {
    long long count = 0;
    std::string error;
    use(
        [&](sqlite3 *db) {
            Statement query(db, "SELECT count(*) FROM records WHERE sent = 0");
            if (!query.ok() || query.step() != SQLITE_ROW)
                return query.code();
            count = query.number(0);
            return SQLITE_OK;
        },
        error);
    return count;
}

bool LocalJournal::markSent(const std::vector<std::string> &ids, std::string &error) {
    return use(
        [&](sqlite3 *db) {
            int code = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
            if (code != SQLITE_OK)
                return code;
            {
                Statement update(db, "UPDATE records SET sent = 1 WHERE id = ?");
                code = update.code();
                for (size_t i = 0; i < ids.size() && code == SQLITE_OK; ++i) {
                    update.bind(1, ids[i]);
                    code = update.step() == SQLITE_DONE ? SQLITE_OK : update.code();
                    update.reset();
                }
            }
            return code == SQLITE_OK ? sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) : code;
        },
        error);
}

} // namespace dravex
