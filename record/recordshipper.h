#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace dravex {

class LineServer;

// Sends the station's waiting records to the line's server on a thread of its own, so no one waits on
// the network: every few seconds, or at once when woken, it sends them in batches, each in one transaction,
// and marks a batch sent only once the server has it. A record sent again after a failure in between is
// kept once by the server.
class RecordShipper {
public:
    struct Status {
        long long waiting = 0; // records in the journal that the server does not have yet
        bool reachable = true; // whether the last attempt reached the server
        std::string problem;   // why not, when it did not
    };

    RecordShipper(std::string journalPath, std::string serverConnection,
                  std::chrono::milliseconds interval = std::chrono::seconds(5));
    ~RecordShipper();
    RecordShipper(const RecordShipper &) = delete;
    RecordShipper &operator=(const RecordShipper &) = delete;

    // Sends at once rather than at the next interval.
    void wake();
    Status status() const;

private:
    void run();

    const std::string m_journalPath;
    const std::string m_serverConnection;
    const std::chrono::milliseconds m_interval;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_woken = false;
    bool m_stopping = false;
    bool m_finished = false;
    Status m_status;
    // The thread's connection; set and dropped under the mutex, so that stopping can cancel its statement.
    std::unique_ptr<LineServer> m_server;
    std::thread m_thread;
};

} // namespace dravex
