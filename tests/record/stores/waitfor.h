#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace dravex::testing {

// Polls until the condition holds or the deadline passes; whether it held.
inline bool waitFor(const std::function<bool()> &condition, std::chrono::seconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace dravex::testing
