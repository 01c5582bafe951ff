#include "helpers/directdisk.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <mutex>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace dravex {

namespace {

constexpr std::size_t kAlignment = 4096;
constexpr std::size_t kLargestRequest = 1 << 20;

enum Kind { kRead, kWrite, kFlush, kQuit };

} // namespace

// Shared by the disk and its thread, so that a thread left waiting on a hung stick keeps what it uses.
struct DirectDisk::Worker {
    int fd = -1;
    unsigned char *buffer = nullptr;
    std::mutex mutex;
    std::condition_variable asked;
    std::condition_variable answered;
    bool pending = false;
    int kind = kRead;
    std::uint64_t offset = 0;
    std::size_t length = 0;
    bool succeeded = false;
    bool abandoned = false;

    ~Worker() {
        if (fd >= 0)
            ::close(fd);
        std::free(buffer);
    }

    bool carryOut(int what, std::uint64_t at, std::size_t count) {
        if (what == kFlush)
            return ::fdatasync(fd) == 0;
        std::size_t done = 0;
        while (done < count) {
            const auto position = static_cast<off_t>(at + done);
            const ssize_t n = what == kRead ? ::pread(fd, buffer + done, count - done, position)
                                            : ::pwrite(fd, buffer + done, count - done, position);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    void serve() {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            asked.wait(lock, [this] { return pending; });
            if (kind == kQuit)
                return;
            const int what = kind;
            const std::uint64_t at = offset;
            const std::size_t count = length;
            lock.unlock();
            const bool ok = carryOut(what, at, count);
            lock.lock();
            succeeded = ok;
            pending = false;
            if (abandoned)
                return;
            answered.notify_one();
        }
    }
};

std::unique_ptr<DirectDisk> DirectDisk::open(const std::string &path, bool device,
                                             std::chrono::milliseconds answerWithin) {
    const int flags = O_RDWR | O_CLOEXEC | (device ? O_DIRECT | O_EXCL : 0);
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0)
        return nullptr;
    std::uint64_t size = 0;
    struct stat status {};
    if (device ? ::ioctl(fd, BLKGETSIZE64, &size) != 0 : ::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return nullptr;
    }
    if (!device)
        size = static_cast<std::uint64_t>(status.st_size);
    auto worker = std::make_shared<Worker>();
    worker->fd = fd;
    if (::posix_memalign(reinterpret_cast<void **>(&worker->buffer), kAlignment, kLargestRequest) != 0) {
        errno = ENOMEM;
        return nullptr;
    }
    std::thread([worker] { worker->serve(); }).detach();
    return std::unique_ptr<DirectDisk>(new DirectDisk(worker, size, answerWithin));
}

DirectDisk::DirectDisk(std::shared_ptr<Worker> worker, std::uint64_t size, std::chrono::milliseconds answerWithin)
    : m_worker(std::move(worker)), m_size(size), m_answerWithin(answerWithin) {}

DirectDisk::~DirectDisk() {
    // A thread still waiting on the stick ends when the stick answers, and the last owner closes.
    std::lock_guard<std::mutex> lock(m_worker->mutex);
    if (m_worker->pending) {
        m_worker->abandoned = true;
        return;
    }
    m_worker->kind = kQuit;
    m_worker->pending = true;
    m_worker->asked.notify_one();
}

ProbeDisk::Io DirectDisk::ask(int kind, std::uint64_t offset, std::size_t length) {
    if (m_stuck)
        return Io::TimedOut;
    std::unique_lock<std::mutex> lock(m_worker->mutex);
    m_worker->kind = kind;
    m_worker->offset = offset;
    m_worker->length = length;
    m_worker->pending = true;
    m_worker->asked.notify_one();
    if (!m_worker->answered.wait_for(lock, m_answerWithin, [this] { return !m_worker->pending; })) {
        m_stuck = true;
        return Io::TimedOut;
    }
    return m_worker->succeeded ? Io::Done : Io::Failed;
}

ProbeDisk::Io DirectDisk::read(std::uint64_t offset, unsigned char *data, std::size_t length) {
    if (length > kLargestRequest)
        return Io::Failed;
    const Io result = ask(kRead, offset, length);
    if (result == Io::Done)
        std::memcpy(data, m_worker->buffer, length);
    return result;
}

ProbeDisk::Io DirectDisk::write(std::uint64_t offset, const unsigned char *data, std::size_t length) {
    if (length > kLargestRequest)
        return Io::Failed;
    if (m_stuck)
        return Io::TimedOut;
    std::memcpy(m_worker->buffer, data, length);
    return ask(kWrite, offset, length);
}

ProbeDisk::Io DirectDisk::flush() {
    return ask(kFlush, 0, 0);
}

} // namespace dravex
