#include "rig/flashmap.h"

#include "rig/usbrig.h"

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <linux/fs.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <unistd.h>

namespace dravex::rig {

namespace {

constexpr unsigned kSectorsPerMiB = 2048;

[[noreturn]] void fail(const std::string &what) {
    throw std::runtime_error("rig: " + what);
}

RunResult mustRun(const std::vector<std::string> &arguments) {
    const RunResult result = run(arguments);
    if (result.exitCode != 0)
        fail(arguments.front() + " exited with " + std::to_string(result.exitCode) + ": " + result.err);
    return result;
}

std::string line(unsigned start, unsigned length, const std::string &target) {
    return std::to_string(start) + " " + std::to_string(length) + " " + target + "\n";
}

// The device-mapper table, in sectors of 512 bytes.
std::string table(const std::string &loop, unsigned claimedMiB, Flash flash, unsigned realMiB, unsigned delayMs) {
    const unsigned claimed = claimedMiB * kSectorsPerMiB;
    const unsigned real = realMiB * kSectorsPerMiB;
    std::string text;
    switch (flash) {
    case Flash::Genuine:
        return line(0, claimed, "linear " + loop + " 0");
    case Flash::Slow:
        return line(0, claimed, "delay " + loop + " 0 " + std::to_string(delayMs));
    case Flash::Wraps:
        for (unsigned start = 0; start < claimed; start += real)
            text += line(start, std::min(real, claimed - start), "linear " + loop + " 0");
        return text;
    case Flash::Drops:
        return line(0, real, "linear " + loop + " 0") + line(real, claimed - real, "zero");
    case Flash::Fails:
        return line(0, real, "linear " + loop + " 0") + line(real, claimed - real, "error");
    }
    return text;
}

} // namespace

MappedFlash::MappedFlash(int port, const std::string &image, unsigned claimedMiB, Flash flash, unsigned realMiB,
                         unsigned delayMs)
    : m_name("rigflash" + std::to_string(port)), m_device("/dev/mapper/" + m_name) {
    if (flash != Flash::Slow && flash != Flash::Genuine && (realMiB == 0 || realMiB >= claimedMiB))
        fail("a counterfeit needs less flash than it claims");
    run({"dmsetup", "remove", m_name});
    m_loop = mustRun({"losetup", "--find", "--show", image}).out;
    while (!m_loop.empty() && m_loop.back() == '\n')
        m_loop.pop_back();
    const std::string tableFile = image + ".table";
    std::ofstream(tableFile) << table(m_loop, claimedMiB, flash, realMiB, delayMs);
    mustRun({"dmsetup", "create", m_name, tableFile});
    mustRun({"udevadm", "settle", "--timeout=30"});
    m_dropper = std::thread([this] { dropCaches(); });
}

MappedFlash::~MappedFlash() {
    resume();
    m_stop = true;
    m_dropper.join();
    // Without waiting for udev to confirm: in the guest nothing else waits on the mapping.
    run({"dmsetup", "remove", "--retry", "--noudevsync", m_name});
    run({"losetup", "--detach", m_loop});
}

void MappedFlash::suspend() {
    // Suspended, the device would hold the dropper too; it waits until resumed.
    m_suspended = true;
    mustRun({"dmsetup", "suspend", "--noflush", "--nolockfs", m_name});
}

void MappedFlash::resume() {
    if (!m_suspended)
        return;
    mustRun({"dmsetup", "resume", m_name});
    m_suspended = false;
}

void MappedFlash::dropCaches() {
    const int fd = ::open(m_device.c_str(), O_RDONLY | O_CLOEXEC);
    while (fd >= 0 && !m_stop) {
        if (!m_suspended)
            ::ioctl(fd, BLKFLSBUF, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (fd >= 0)
        ::close(fd);
}

} // namespace dravex::rig
