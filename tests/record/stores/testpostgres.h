#pragma once

#include <string>

namespace dravex::testing {

// A PostgreSQL server of its own in a temporary folder, for one test or one benchmark: initdb'd afresh,
// trust authentication, listening only on a Unix socket in that folder, fsync off. Run as the postgres
// user when we are root (initdb refuses root), as ourselves otherwise. Stopped and removed with its
// folder when it goes, however the test ended.
class TestPostgres {
public:
    // Why no server can be started on this machine (no PostgreSQL installed, nobody to run it as); empty
    // when one can.
    static std::string unavailable();

    // Starts the server; throws std::runtime_error, with the reason, when it cannot.
    TestPostgres();
    ~TestPostgres();
    TestPostgres(const TestPostgres &) = delete;
    TestPostgres &operator=(const TestPostgres &) = delete;

    // A libpq connection string for the server's own database.
    const std::string &connection() const { return m_connection; }
    // pg_ctl stop -m fast and start again on the same data; false when pg_ctl failed.
    bool stop();
    bool start();

private:
    bool pgCtl(const std::string &action, const std::string &mode);

    std::string m_folder;
    std::string m_binaries;
    std::string m_connection;
    bool m_running = false;
};

} // namespace dravex::testing
