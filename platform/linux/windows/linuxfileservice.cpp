#include "platform/linux/windows/linuxfileservice.h"

#include "platform/linux/debuglog.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
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

// For a file we may write in a folder we may not create files in: the file is emptied and written over,
// as the settings files always were on Windows.
bool writeInPlace(const std::string &target, const std::string &bytes) {
    const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    return ::close(fd) == 0 && written;
}

// Nothing there yet, or a plain file: never a link, folder, FIFO or device.
bool isRegularOrMissing(const std::string &path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return errno == ENOENT;
    return S_ISREG(status.st_mode);
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
    if (!native || !isRegularOrMissing(*native)) {
        debugPlatform("createEmptyFile",
                      path + (native ? ": something other than a plain file is there" : ": no such drive"));
        return false;
    }
    // The probe file lies on a stick anyone may have written, and we run as root: a link there is never
    // followed, and a FIFO or a device is never opened, or it could empty a file of the system or hang the
    // window. The check above spares devices their open; the flags close the gap between it and the open.
    const int fd =
        ::open(native->c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    struct stat status {};
    // A stick whose switch the kernel has not noticed takes the file into the cache and refuses it only on
    // the way to the medium: fsync brings that refusal back here, which is what the write-protect probe
    // is for.
    const bool reachedMedium =
        ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && ::ftruncate(fd, 0) == 0 && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !reachedMedium) {
        debugPlatform("createEmptyFile", path + ": the file did not reach the medium");
        return false;
    }
    return true;
}

bool LinuxFileService::deleteFile(const std::string &path) {
    const auto native = m_volumes.nativePath(path);
    struct stat status {};
    return native && ::lstat(native->c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           ::unlink(native->c_str()) == 0;
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
    // A settings file that links to one elsewhere stays a link: the file it names gets the new content.
    std::string target = *native;
    if (char *resolved = ::realpath(native->c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    struct stat old {};
    const bool replacesFile = ::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode);

    std::string temporary;
    const int fd = createTemporaryBeside(target, temporary);
    if (fd < 0)
        return replacesFile && writeInPlace(target, bytes);
    if (replacesFile)
        ::fchmod(fd, old.st_mode & 07777);
    bool written = writeAll(fd, bytes) && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (written && ::rename(temporary.c_str(), target.c_str()) == 0)
        return true;
    ::unlink(temporary.c_str());
    return false;
}

} // namespace dravex
