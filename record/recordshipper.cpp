#include "record/recordshipper.h"

#include "record/lineserver.h"
#include "record/localjournal.h"

namespace dravex {

namespace {

constexpr int kBatch = 500;

} // namespace

RecordShipper::RecordShipper(std::string journalPath, std::string serverConnection,
                             std::chrono::milliseconds interval)
    : m_journalPath(std::move(journalPath)), m_serverConnection(std::move(serverConnection)),
      m_interval(interval), m_thread([this] { run(); }) {}

RecordShipper::~RecordShipper() {
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_stopping = true;
        m_changed.notify_all();
        // A statement waiting on the server would hold us as long as it waits: it is cancelled, and again
        // until the thread has seen that we stop, as a cancel may come just before its next statement.
        while (!m_finished) {
            if (m_server)
                m_server->cancel();
            m_changed.wait_for(lock, std::chrono::milliseconds(50));
        }
    }
    m_thread.join();
}

void RecordShipper::wake() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_woken = true;
    }
    m_changed.notify_all();
}

RecordShipper::Status RecordShipper::status() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_status;
}

void RecordShipper::run() {
    std::unique_ptr<LocalJournal> journal;
    for (;;) {
        Status status;
        if (!journal)
            journal = LocalJournal::open(m_journalPath).journal;
        if (journal) {
            for (;;) {
                const std::vector<ProductionRecord> batch = journal->waiting(kBatch);
                if (batch.empty())
                    break;
                if (!m_server) {
                    std::unique_ptr<LineServer> server =
                        LineServer::connect(m_serverConnection, status.problem);
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_server = std::move(server);
                }
                if (!m_server || !m_server->send(batch, status.problem)) {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_server.reset(); // a connection that failed once is not trusted again
                    status.reachable = false;
                    break;
                }
                std::vector<std::string> ids;
                for (const ProductionRecord &record : batch)
                    ids.push_back(record.id);
                // Not marked: they go again and the server keeps the copies it has.
                if (!journal->markSent(ids, status.problem))
                    break;
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_stopping)
                    break;
            }
            status.waiting = journal->waitingCount();
        } else {
            status.problem = "the station's record cannot be opened";
        }
        std::unique_lock<std::mutex> lock(m_mutex);
        m_status = status;
        m_changed.wait_for(lock, m_interval, [this] { return m_woken || m_stopping; });
        if (m_stopping) {
            m_finished = true;
            m_changed.notify_all();
            return;
        }
        m_woken = false;
    }
}

} // namespace dravex
