#include "record/localjournal.h"
#include "record/recordshipper.h"
#include "record/stores/postgresfixture.h"
#include "record/stores/samplerecords.h"
#include "record/stores/waitfor.h"
#include "record/stores/writergroup.h"
#include "support/scratchfolder.h"

#include <libpq-fe.h>

#include <future>
#include <thread>

namespace dravex {
namespace {

using namespace std::chrono_literals;

class ShipperTest : public testing::PostgresTest {
protected:
    std::unique_ptr<LocalJournal> openJournal() {
        LocalJournal::Opening opening = LocalJournal::open(m_journalPath);
        EXPECT_TRUE(opening.journal) << opening.error;
        return std::move(opening.journal);
    }

    // Every record that every writer wrote, exactly once, on both sides, and none waiting.
    void expectAllArrivedOnce(RecordShipper &shipper, size_t expectedCount) {
        std::unique_ptr<LocalJournal> journal = openJournal();
        ASSERT_TRUE(journal);
        shipper.wake();
        ASSERT_TRUE(testing::waitFor(
            [&] {
                const RecordShipper::Status status = shipper.status();
                return journal->waitingCount() == 0 && status.waiting == 0 && status.reachable;
            },
            60s))
            << "waiting " << journal->waitingCount() << ", problem: " << shipper.status().problem;
        const std::vector<std::string> local = testing::sortedIds(journal->select({}));
        EXPECT_EQ(local.size(), expectedCount);
        EXPECT_EQ(testing::sortedIds(serverRecords()), local);
    }

    testing::ScratchFolder m_folder;
    const std::string m_journalPath = (m_folder.path() / "Dravex.db").string();
};

TEST_F(ShipperTest, TenWriterProcessesRecordsReachTheServerOnce) {
    RecordShipper shipper(m_journalPath, m_server->connection(), 100ms);
    ASSERT_TRUE(testing::WriterGroup::run(testing::journalWriters(m_journalPath, 10, 100)).allSucceeded);
    expectAllArrivedOnce(shipper, 1000);
}

TEST_F(ShipperTest, ServerStoppedWhileWritersAddLosesNothingAndSendsItAllOnceWhenBack) {
    constexpr int kWriters = 10;
    constexpr int kEach = 60;
    RecordShipper shipper(m_journalPath, m_server->connection(), 100ms);
    testing::WriterGroup writers(
        testing::journalWriters(m_journalPath, kWriters, kEach, {"--pause-ms", "10"}));
    writers.release();
    ASSERT_TRUE(testing::waitFor([&] { return serverRecords().size() >= 50; }, 30s));
    ASSERT_TRUE(m_server->stop());
    ASSERT_TRUE(writers.finish().allSucceeded);

    std::unique_ptr<LocalJournal> journal = openJournal();
    ASSERT_TRUE(journal);
    const long long waiting = journal->waitingCount();
    EXPECT_GT(waiting, 0);
    ASSERT_TRUE(testing::waitFor(
        [&] {
            const RecordShipper::Status status = shipper.status();
            return !status.reachable && status.waiting == waiting;
        },
        30s))
        << "waiting " << shipper.status().waiting << " of " << waiting;
    EXPECT_NE(shipper.status().problem, "");
    const std::vector<std::string> serials = testing::writersSerials(kWriters, kEach);
    EXPECT_EQ(testing::sortedSerials(journal->select({})), serials);

    ASSERT_TRUE(m_server->start());
    expectAllArrivedOnce(shipper, serials.size());
}

// A statement on the line's server can wait without end: behind a lock that a long job there holds, or on a
// server that hangs. Stopping the shipper, when the window closes, must not wait with it.
TEST_F(ShipperTest, StopsAtOnceWhileItsStatementWaitsOnTheServer) {
    ASSERT_TRUE(connect()); // makes the table
    PGconn *holder = PQconnectdb(m_server->connection().c_str());
    ASSERT_EQ(PQstatus(holder), CONNECTION_OK) << PQerrorMessage(holder);
    const auto execute = [&](const char *sql) {
        PGresult *result = PQexec(holder, sql);
        const std::string value = PQntuples(result) > 0 ? PQgetvalue(result, 0, 0) : "";
        PQclear(result);
        return value;
    };
    execute("BEGIN");
    execute("LOCK TABLE production_records IN ACCESS EXCLUSIVE MODE");
    std::unique_ptr<LocalJournal> journal = openJournal();
    ASSERT_TRUE(journal);
    std::string error;
    ASSERT_TRUE(journal->add(testing::sampleRecord(0, 0), error)) << error;

    auto shipper = std::make_unique<RecordShipper>(m_journalPath, m_server->connection(), 100ms);
    ASSERT_TRUE(testing::waitFor(
        [&] { return execute("SELECT count(*) FROM pg_locks WHERE NOT granted") != "0"; }, 30s));
    // Lets the shipper go after a while however it went, so that the test ends even when it would wait.
    std::promise<void> stopped;
    std::thread release([&, done = stopped.get_future()] {
        done.wait_for(20s);
        execute("COMMIT");
    });
    const auto start = std::chrono::steady_clock::now();
    shipper.reset();
    const auto took = std::chrono::steady_clock::now() - start;
    stopped.set_value();
    release.join();
    PQfinish(holder);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 5000);
    EXPECT_EQ(journal->waitingCount(), 1);
}

} // namespace
} // namespace dravex
