#pragma once

#include <chrono>
#include <string>

namespace dravex {

// The operations as the production record names them.
namespace operations {
inline constexpr const char *kFormat = "format";
inline constexpr const char *kCopy = "copy";
inline constexpr const char *kRelabel = "relabel";
inline constexpr const char *kLockTest = "lock-test";
inline constexpr const char *kContentCheck = "content-check";
inline constexpr const char *kCapacityCheck = "capacity-check";
inline constexpr const char *kEject = "eject";
} // namespace operations

// What the tool did to the stick behind a letter, and how it ended. The production log adds the rest of
// the record itself: the time, the station, and what the stick is.
struct StickResult {
    char letter = 0;
    std::string operation;
    std::string parameters; // the reference summary of a content check, the label given
    std::string result;     // the verdict the row shows
    std::string message;    // what the operator saw
    std::chrono::milliseconds duration{0};
};

// The station's production record, as the tool writes to it: the checks it runs itself (the helpers
// write their own). Writing never waits on the network. Every rescan checks every stick's contents again,
// so a content check that repeats the last one of the same stick (same verdict, contents and reference) is
// kept once.
class ProductionLog {
public:
    virtual ~ProductionLog() = default;
    virtual void record(const StickResult &result) = 0;
    // A line for the operator when records wait for the line's server or the record has a problem;
    // empty when all is well.
    virtual std::string note() = 0;
};

} // namespace dravex
