#pragma once

#include "fixtures.h"
#include "helpers/helpercontext.h"
#include "platform/linux/diskactions.h"
#include "platform/linux/sysfs/disklock.h"
#include "processcapture.h"

#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace dravex {

// Records every action in order as "<action> <name>"; fails the actions named in failing. With a mountInfo
// file, an unmount that succeeds takes the volume's mounts out of it, as the kernel does.
class RecordingDiskActions : public DiskActions {
public:
    std::optional<std::string> mount(const std::string &volume) override {
        calls.push_back("mount " + volume);
        const auto found = mountPoints.find(volume);
        return found == mountPoints.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
    bool flush(const std::string &path) override { return record("flush", path); }
    bool unmount(const std::string &volume) override {
        if (!record("unmount", volume))
            return false;
        if (!mountInfo.empty())
            dropMountsOf(volume);
        return true;
    }
    bool powerOff(const std::string &disk) override { return record("powerOff", disk); }
    bool eject(const std::string &disk) override { return record("eject", disk); }
    bool closeHolder(const std::string &, const std::string &holder) override {
        return record("closeHolder", holder);
    }

    std::vector<std::string> calls;
    std::set<std::string> failing;
    std::map<std::string, std::string> mountPoints;
    std::string mountInfo;

private:
    void dropMountsOf(const std::string &volume) {
        std::ifstream in(mountInfo);
        std::string kept;
        for (std::string line; std::getline(in, line);)
            if (line.find(" - ") == std::string::npos ||
                line.find(" /dev/" + volume + " ", line.find(" - ")) == std::string::npos)
                kept += line + "\n";
        in.close();
        std::ofstream(mountInfo, std::ios::trunc) << kept;
    }

    bool record(const std::string &action, const std::string &name) {
        calls.push_back(action + " " + name);
        return failing.count(action) == 0;
    }
};

// Notes at each unmount whether sdb of a tree was locked. The first unmount leaves the volume mounted, as when
// the tool's scan mounts the stick again before the helper holds the disk's lock.
class RemountingDiskActions : public RecordingDiskActions {
public:
    explicit RemountingDiskActions(const std::string &tree) : m_diskNode(tree + "/dev/sdb") {
        std::ofstream(m_diskNode, std::ios::binary).flush();
        mountInfo = tree + "/proc/self/mountinfo";
    }
    bool unmount(const std::string &volume) override {
        lockedAtUnmount.push_back(isDiskLocked(m_diskNode));
        const std::string kept = std::exchange(mountInfo, lockedAtUnmount.size() == 1 ? std::string() : mountInfo);
        const bool done = RecordingDiskActions::unmount(volume);
        mountInfo = kept;
        return done;
    }

    std::vector<bool> lockedAtUnmount;

private:
    std::string m_diskNode;
};

// A copy of guarded-sticks to work on in-process, with the recording actions and captured output.
class HelperFixture : public ::testing::Test {
protected:
    void SetUp() override {
        m_tree = copySysroot("guarded-sticks", m_folder.path());
        std::filesystem::create_directories(m_tree + "/dev");
        m_actions.mountInfo = m_tree + "/proc/self/mountinfo";
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
