#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace dravex {

// What a capacity check found on one stick.
struct CapacityReport {
    enum class Outcome {
        Genuine,        // every probed place holds its own data: the claimed size is real
        Counterfeit,    // from realBytes on, writes wrap onto lower addresses, vanish or fail
        Damaged,        // places that fail lie between places that work: not a size, a broken stick
        WriteProtected, // nothing could be written
        Failed,         // the check could not finish: the stick went away or an error stopped it
        NoResponse,     // the stick stopped answering
    };
    Outcome outcome = Outcome::Failed;
    std::uint64_t claimedBytes = 0;
    // The size that really holds data: claimedBytes for a genuine stick, where the first bad place begins
    // for a counterfeit one.
    std::uint64_t realBytes = 0;
    // Sequential speeds in MB/s (of 1,048,576 bytes), 0 when not measured.
    double writeMBps = 0;
    double readMBps = 0;
};

// The results of the capacity checks that the helper programs ran, as they arrive.
class CapacityReports {
public:
    virtual ~CapacityReports() = default;

    // The latest report on the stick that the letter ("G") names now; nothing when that stick has not been
    // checked since it was plugged in.
    virtual std::optional<CapacityReport> reportFor(const std::string &letter) = 0;
    // Tells the listener, on the user-interface thread, when a report arrives; an empty function stops.
    virtual void setListener(std::function<void()> listener) = 0;
};

} // namespace dravex
