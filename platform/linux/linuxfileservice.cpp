#include "platform/linux/linuxfileservice.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dravex {

namespace {

bool writeAll(int fd, const std::string &bytes) {
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        written += static_cast<size_t>(count);
    }
    return true;
}

// A new file beside target that no one else can have opened: O_EXCL on a name of this process.
int createTemporaryBeside(const std::string &target, std::string &temporary) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = target + ".dravex-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

LinuxFileService::LinuxFileService(LinuxVolumeServices &volumes) : m_volumes(volumes) {}

bool LinuxFileService::fileExists(const std::string &path) {
    const auto native = m_volumes.nativePath(path);
    struct stat status {};
    return native && ::stat(native->c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool LinuxFileService::createEmptyFile(const std::string &path) {
    const auto native = m_volumes.nativePath(path);
    if (!native)
        return false;
    const int fd = ::open(native->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    // close reports a write the medium refused after all, which is what the write-protect probe is for.
    return fd >= 0 && ::close(fd) == 0;
}

bool LinuxFileService::deleteFile(const std::string &path) {
    const auto native = m_volumes.nativePath(path);
    return native && ::unlink(native->c_str()) == 0;
}

std::optional<std::string> LinuxFileService::readFile(const std::string &path) {
    const auto native = m_volumes.nativePath(path);
    if (!native)
        return std::nullopt;
    const int fd = ::open(native->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat status {};
    std::optional<std::string> content;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
        static_cast<uint64_t>(status.st_size) <= kMaximumReadSize) {
        content.emplace();
        content->reserve(static_cast<size_t>(status.st_size));
        char buffer[65536];
        while (true) {
            const ssize_t count = ::read(fd, buffer, sizeof buffer);
            if (count < 0 && errno == EINTR)
                continue;
            // A file that grows while we read is held to the same limit.
            if (count < 0 || content->size() + static_cast<size_t>(count) > kMaximumReadSize) {
                content.reset();
                break;
            }
            if (count == 0)
                break;
            content->append(buffer, static_cast<size_t>(count));
        }
    }
    ::close(fd);
    return content;
}

bool LinuxFileService::replaceFile(const std::string &path, const std::string &bytes) {
    const auto native = m_volumes.nativePath(path);
    if (!native)
        return false;
    std::string temporary;
    const int fd = createTemporaryBeside(*native, temporary);
    if (fd < 0)
        return false;
    bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (written && ::rename(temporary.c_str(), native->c_str()) == 0)
        return true;
    ::unlink(temporary.c_str());
    return false;
}

} // namespace dravex
