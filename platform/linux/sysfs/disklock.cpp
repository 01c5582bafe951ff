#include "platform/linux/sysfs/disklock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace dravex {

namespace {

// Read-only: a node closed after writing would make udev probe the disk again.
int openNode(const std::string &node) {
    return ::open(node.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
}

} // namespace

std::optional<DiskLock> DiskLock::acquire(const std::string &node) {
    const int fd = openNode(node);
    if (fd < 0)
        return std::nullopt;
    int locked;
    while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
        ::close(fd);
        return std::nullopt;
    }
    return DiskLock(fd);
}

DiskLock::DiskLock(DiskLock &&other) noexcept : m_fd(other.m_fd) {
    other.m_fd = -1;
}

DiskLock::~DiskLock() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool isDiskLocked(const std::string &node) {
    const int fd = openNode(node);
    if (fd < 0)
        return false;
    const bool locked = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return locked;
}

} // namespace dravex
