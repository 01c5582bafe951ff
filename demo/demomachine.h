#pragma once

#include "demo/benchwatcher.h"
#include "platform/linux/process/linuxlauncher.h"
#include "platform/linux/windows/iconvcodepage.h"
#include "platform/platformservices.h"
#include "platform/sim/simbench.h"

#include <filesystem>
#include <string>

namespace dravex {

// dravex-demo's machine: the sticks of a bench folder behind every service, the bench's helper programs
// started as real processes, and the bench folder watched for device changes.
class DemoMachine {
public:
    // toolDirectory holds format.com, xcopy and captest; programDirectory the settings files and
    // RemoveDrive.exe.
    // Sets DRAVEX_BENCH in this process's environment, which the helper programs inherit.
    DemoMachine(const std::filesystem::path &benchFolder, const std::string &toolDirectory,
                std::string programDirectory);
    DemoMachine(const DemoMachine &) = delete;
    DemoMachine &operator=(const DemoMachine &) = delete;

    // Why the bench folder cannot be used; empty when it can.
    const std::string &problem() const { return m_bench.folderProblem(); }
    SimBench &bench() { return m_bench; }
    BenchWatcher &watcher() { return m_watcher; }
    PlatformServices &services() { return m_services; }

private:
    SimBench m_bench;
    IconvCodePage m_codePage;
    LinuxLauncher m_launcher;
    BenchWatcher m_watcher;
    PlatformServices m_services;
};

} // namespace dravex
