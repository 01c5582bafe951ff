#pragma once

#include "platform/linux/mounter.h"

#include <map>
#include <string>
#include <vector>

namespace dravex {

// The folder of a fixture tree under tests/data/sysroots.
inline std::string sysroot(const std::string &name) {
    return std::string(DRAVEX_TEST_DATA) + "/sysroots/" + name;
}

// Mounts what the test told it to, and remembers what it was asked.
class FakeMounter : public Mounter {
public:
    std::optional<std::string> mount(const std::string &volumeKernelName) override {
        calls.push_back(volumeKernelName);
        const auto found = answers.find(volumeKernelName);
        if (found == answers.end())
            return std::nullopt;
        return found->second;
    }

    std::map<std::string, std::string> answers;
    std::vector<std::string> calls;
};

} // namespace dravex
