#pragma once

#include "record/stores/childprogram.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace dravex::testing {

// dravex-record-writer processes, one per argument list (what follows the program name), started waiting
// and let go together.
class WriterGroup {
public:
    struct Outcome {
        bool allSucceeded = true;
        std::vector<long long> microseconds; // what each writer took, as it measured it
        double seconds = 0;                  // from release to the last one's end
    };

    explicit WriterGroup(const std::vector<std::vector<std::string>> &writers);
    void release();
    Outcome finish();

    // Releases the group at once and waits for it.
    static Outcome run(const std::vector<std::vector<std::string>> &writers);

private:
    std::vector<std::unique_ptr<ChildProgram>> m_programs;
    std::chrono::steady_clock::time_point m_released;
};

// Writers adding count records each to the journal at path, writer n's serials "Wn-...".
std::vector<std::vector<std::string>> journalWriters(const std::string &path, int writers, int count,
                                                     const std::vector<std::string> &options = {});

} // namespace dravex::testing
