#pragma once

#include <optional>
#include <string>

namespace dravex {

// The BSD lock on a whole disk's device node: the convention by which partitioning and formatting tools
// tell udev that a disk is being rewritten. udevd holds back the disk's events while the lock is held, and
// the tool does not mount a volume of a locked disk, so a helper that unmounts a stick to rewrite it does
// not find it mounted again by the window's next scan.
class DiskLock {
public:
    // Waits for the exclusive lock; nothing when the node cannot be opened or locked.
    static std::optional<DiskLock> acquire(const std::string &node);

    DiskLock(DiskLock &&other) noexcept;
    DiskLock &operator=(DiskLock &&) = delete;
    DiskLock(const DiskLock &) = delete;
    DiskLock &operator=(const DiskLock &) = delete;
    ~DiskLock();

private:
    explicit DiskLock(int fd) : m_fd(fd) {}

    int m_fd;
};

// Whether someone holds the node's lock now. A node that cannot be opened is not locked.
bool isDiskLocked(const std::string &node);

} // namespace dravex
