#pragma once

#include "record/productionrecord.h"
#include "record/recordfilter.h"

#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

struct sqlite3;

namespace dravex {

// The station's own record: an SQLite database in WAL mode, so the window and ten helpers write at once.
// Every record stays here; those not yet on the line's server are marked as waiting until they are.
//
// A database that SQLite finds damaged, on opening, adding or reading, is set aside under a new name beside
// it (the file is kept for whoever wants to look into it) and a new one started in its place, so the line
// never stops for it.
class LocalJournal {
public:
    struct Opening {
        std::unique_ptr<LocalJournal> journal; // nothing when no database could be opened or started
        std::string setAsideAs;                // where a damaged database was moved, when one was
        std::string error;                     // why there is no journal
    };
    static Opening open(const std::string &path);
    ~LocalJournal();
    LocalJournal(const LocalJournal &) = delete;
    LocalJournal &operator=(const LocalJournal &) = delete;

    // Adds one record, waiting for the server. False with the reason when it could not be stored (a full
    // disk, a folder that cannot be written).
    bool add(const ProductionRecord &record, std::string &error);
    std::vector<ProductionRecord> select(const RecordFilter &filter);
    // The oldest records still waiting for the server, at most limit of them.
    std::vector<ProductionRecord> waiting(int limit);
    long long waitingCount();
    bool markSent(const std::vector<std::string> &ids, std::string &error);

    const std::string &path() const { return m_path; }
    // Where a damaged database was set aside since the last call, or nothing.
    std::string takeSetAside();

private:
    explicit LocalJournal(std::string path);
    enum class Connection { Open, Damaged, Failed };
    Connection connect(std::string &error);
    // fold: let SQLite fold the write-ahead log into the file on closing; not for a damaged file, which is
    // set aside with its log as they are.
    void disconnect(bool fold);
    bool pathLeadsToOurFile() const;
    // One use of the database, under the shared lock beside it: work gets the connection and gives SQLite's
    // outcome. A connection to a file that was set aside follows the new one first; damage met on the way
    // sets the file aside, and the work is done again on the new journal.
    bool use(const std::function<int(sqlite3 *)> &work, std::string &error);
    // The records a query gives; none when it failed.
    std::vector<ProductionRecord> read(const std::string &sql, const std::vector<std::string> &values);
    // Under the exclusive lock: moves a database that is (still) damaged aside and starts anew.
    bool replaceDamaged(std::string &error);

    std::string m_path;
    int m_lock = -1; // <path>.lock: shared while using the database, exclusive while replacing it
    sqlite3 *m_db = nullptr;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    std::string m_setAside;
};

} // namespace dravex
