#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

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

// The outcomes' names where a report is written down ("genuine", "counterfeit", "damaged",
// "write-protected", "failed", "no-response"), in the order of the outcomes.
inline constexpr std::array<std::string_view, 6> kCapacityOutcomeNames{
    "genuine", "counterfeit", "damaged", "write-protected", "failed", "no-response"};

inline std::string_view capacityOutcomeName(CapacityReport::Outcome outcome) {
    const auto index = static_cast<size_t>(outcome);
    return index < kCapacityOutcomeNames.size() ? kCapacityOutcomeNames[index] : "failed";
}

// Nothing for a name that is none of them.
inline std::optional<CapacityReport::Outcome> capacityOutcomeNamed(std::string_view name) {
    for (size_t index = 0; index < kCapacityOutcomeNames.size(); ++index) {
        if (name == kCapacityOutcomeNames[index])
            return static_cast<CapacityReport::Outcome>(index);
    }
    return std::nullopt;
}

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
