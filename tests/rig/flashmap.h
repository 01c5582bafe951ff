#pragma once

#include <atomic>
#include <string>
#include <thread>

namespace dravex::rig {

// What lies behind a rig stick's addresses.
enum class Flash {
    Genuine, // the image, as large as the stick claims
    Wraps,   // realMiB of flash; the addresses past it wrap onto the start, again and again
    Drops,   // realMiB of flash; writes past it vanish and reads there give zeros
    Fails,   // realMiB of flash; every request past it fails
    Slow,    // genuine, but every request is answered delayMs late
};

// A device-mapper device over a loop device over the stick's image, which the gadget serves instead of the
// image: counterfeit and slow sticks as their controllers behave.
//
// The gadget reads and writes its backing device through the guest's page cache, which a real stick does
// not have: it would hand back a block written past the flash as if the flash had kept it. So while the
// stick is plugged, a thread writes the cache back and drops it (BLKFLSBUF) every millisecond; a prober
// that reads a block back a few requests after writing it then gets what the flash holds.
class MappedFlash {
public:
    MappedFlash(int port, const std::string &image, unsigned claimedMiB, Flash flash, unsigned realMiB,
                unsigned delayMs);
    ~MappedFlash();
    MappedFlash(const MappedFlash &) = delete;
    MappedFlash &operator=(const MappedFlash &) = delete;

    // "/dev/mapper/rigflash3"
    const std::string &device() const { return m_device; }
    // The stick stops answering: every request waits until resume().
    void suspend();
    void resume();

private:
    void dropCaches();

    std::string m_name;
    std::string m_device;
    std::string m_loop;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_suspended{false};
    std::thread m_dropper;
};

} // namespace dravex::rig
