#pragma once

#include "fixtures.h"
#include "helpers/helpercontext.h"
#include "platform/linux/diskactions.h"
#include "processcapture.h"

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace dravex {

// Records every action in order as "<action> <name>"; fails the actions named in failing.
class RecordingDiskActions : public DiskActions {
public:
    std::optional<std::string> mount(const std::string &volume) override {
        calls.push_back("mount " + volume);
        const auto found = mountPoints.find(volume);
        return found == mountPoints.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
    bool flush(const std::string &path) override { return record("flush", path); }
    bool unmount(const std::string &volume) override { return record("unmount", volume); }
    bool powerOff(const std::string &disk) override { return record("powerOff", disk); }
    bool eject(const std::string &disk) override { return record("eject", disk); }
    bool closeHolder(const std::string &, const std::string &holder) override {
        return record("closeHolder", holder);
    }

    std::vector<std::string> calls;
    std::set<std::string> failing;
    std::map<std::string, std::string> mountPoints;

private:
    bool record(const std::string &action, const std::string &name) {
        calls.push_back(action + " " + name);
        return failing.count(action) == 0;
    }
};

// A copy of guarded-sticks to work on in-process, with the recording actions and captured output.
class HelperFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_tree = copySysroot("guarded-sticks", m_folder.path());
        std::filesystem::create_directories(m_tree + "/dev");
    }

    HelperContext context() { return HelperContext{SystemRoot(m_tree), m_actions, m_out, m_err}; }

    // Runs a helper program on the tree, its command line split the way the tool's launcher splits it.
    ProcessResult runProgram(const std::string &program, const std::vector<std::string> &arguments) {
        std::vector<std::string> argv{program};
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        return runCaptured(argv, {"DRAVEX_SYSTEM_ROOT=" + m_tree});
    }

    TemporaryFolder m_folder;
    std::string m_tree;
    RecordingDiskActions m_actions;
    std::ostringstream m_out;
    std::ostringstream m_err;
};

} // namespace dravex
