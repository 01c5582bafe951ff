#include "helpers/treecopy.h"

#include "helpers/helpertexts.h"
#include "helpers/xcopytexts.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dravex {

namespace {

// Large enough that a stick sees long writes; the kernel copy takes what it can per call.
constexpr size_t kBufferBytes = 1u << 20;
constexpr size_t kKernelCopyBytes = 1u << 30;

struct SourceEntry {
    std::string name;
    struct stat status {};
    int error = 0; // when the attributes could not be read
};

bool isHidden(const std::string &name) {
    return name.front() == '.';
}

bool makeFolder(const std::string &path) {
    if (::mkdir(path.c_str(), 0777) == 0)
        return true;
    const int error = errno;
    struct stat status {};
    if (error == EEXIST && ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode))
        return true;
    errno = error;
    return false;
}

// Reads until size bytes are in or the file ends; the count read, or -1.
ssize_t readFully(int fd, char *buffer, size_t size, off_t offset) {
    size_t filled = 0;
    while (filled < size) {
        const ssize_t count =
            ::pread(fd, buffer + filled, size - filled, offset + static_cast<off_t>(filled));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return -1;
        if (count == 0)
            break;
        filled += static_cast<size_t>(count);
    }
    return static_cast<ssize_t>(filled);
}

bool writeFully(int fd, const char *buffer, size_t size) {
    while (size > 0) {
        const ssize_t count = ::write(fd, buffer, size);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return false;
        buffer += count;
        size -= static_cast<size_t>(count);
    }
    return true;
}

} // namespace

TreeCopy::TreeCopy(CopyOptions options, std::ostream &out, std::ostream &err, CopyHooks hooks)
    : m_options(options), m_out(out), m_err(err), m_hooks(std::move(hooks)), m_buffer(kBufferBytes),
      m_compareBuffer(options.verify ? kBufferBytes : 0) {}

bool TreeCopy::copy(const std::string &sourceFolder, const std::string &destinationFolder) {
    struct stat destination {};
    if (::stat(destinationFolder.c_str(), &destination) != 0 || !S_ISDIR(destination.st_mode)) {
        fail(xcopytexts::kCannotWrite, destinationFolder, errno);
        return false;
    }
    m_destinationRoot = {destination.st_dev, destination.st_ino};
    copyFolder(sourceFolder, destinationFolder);
    // With /v every file's data was read back from the medium; the folders' entries and the kept times go
    // there too before we say so. Without /v the copy ends, as xcopy's does, once the system holds the data.
    if (m_options.verify) {
        const int folder = ::open(destinationFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder < 0 || ::syncfs(folder) != 0)
            fail(xcopytexts::kCannotWrite, destinationFolder, errno);
        if (folder >= 0)
            ::close(folder);
    }
    return m_failures == 0;
}

void TreeCopy::fail(const char *what, const std::string &path, int error) {
    ++m_failures;
    m_err << helpertexts::kError << what << path;
    if (error != 0)
        m_err << " (" << std::strerror(error) << ")";
    m_err << std::endl;
}

void TreeCopy::copyFolder(const std::string &source, const std::string &destination) {
    DIR *folder = ::opendir(source.c_str());
    if (!folder) {
        fail(xcopytexts::kCannotList, source, errno);
        return;
    }
    struct stat own {};
    ::fstat(::dirfd(folder), &own);
    std::vector<SourceEntry> entries;
    int listError = 0;
    while (true) {
        errno = 0;
        const dirent *found = ::readdir(folder);
        if (!found) {
            listError = errno;
            break;
        }
        SourceEntry entry;
        entry.name = found->d_name;
        if (entry.name == "." || entry.name == ".." || (!m_options.includeHidden && isHidden(entry.name)))
            continue;
        // Follows links: a link stands for what it leads to.
        if (::fstatat(::dirfd(folder), found->d_name, &entry.status, 0) != 0)
            entry.error = errno;
        entries.push_back(std::move(entry));
    }
    ::closedir(folder);
    if (listError != 0) {
        fail(xcopytexts::kCannotList, source, listError);
        return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const SourceEntry &a, const SourceEntry &b) { return a.name < b.name; });

    m_currentPath.push_back({own.st_dev, own.st_ino});
    for (const SourceEntry &entry : entries) {
        const std::string sourcePath = source + "/" + entry.name;
        const std::string destinationPath = destination + "/" + entry.name;
        if (entry.error == 0 && S_ISDIR(entry.status.st_mode)) {
            if (!m_options.recurse)
                continue;
            if (!makeFolder(destinationPath)) {
                fail(xcopytexts::kCannotCreateFolder, destinationPath, errno);
                continue;
            }
            const Identity identity{entry.status.st_dev, entry.status.st_ino};
            // A folder we are already inside (a link cycle), or the destination itself, stays empty.
            if (identity != m_destinationRoot &&
                std::find(m_currentPath.begin(), m_currentPath.end(), identity) == m_currentPath.end())
                copyFolder(sourcePath, destinationPath);
            if (m_options.keepTimes) {
                const struct timespec times[2] = {entry.status.st_atim, entry.status.st_mtim};
                ::utimensat(AT_FDCWD, destinationPath.c_str(), times, 0);
            }
        } else if (entry.error == 0 && S_ISREG(entry.status.st_mode)) {
            copyFile(sourcePath, destinationPath);
        } else {
            copyAsEmptyFile(sourcePath, destinationPath, entry.error == 0 ? &entry.status : nullptr);
        }
    }
    m_currentPath.pop_back();
}

void TreeCopy::copyFile(const std::string &source, const std::string &destination) {
    if (m_hooks.beforeFile)
        m_hooks.beforeFile(source);
    if (m_options.listNames)
        m_out << source << xcopytexts::kArrow << destination << '\n';
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        fail(xcopytexts::kCannotRead, source, errno);
        return;
    }
    struct stat inStatus {};
    struct stat outStatus {};
    ::fstat(in, &inStatus);
    // Not truncated on open: first make sure it is not the source itself. A new file is not truncated at
    // all, as ext4 then writes it back on close, which halves the copy's speed.
    const int out = ::open(destination.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (out < 0) {
        fail(xcopytexts::kCannotWrite, destination, errno);
        ::close(in);
        return;
    }
    bool copied = false;
    if (::fstat(out, &outStatus) == 0 && outStatus.st_dev == inStatus.st_dev &&
        outStatus.st_ino == inStatus.st_ino) {
        fail(xcopytexts::kSameFile, destination);
    } else if ((outStatus.st_size != 0 && ::ftruncate(out, 0) != 0) || !transfer(in, out)) {
        fail(xcopytexts::kCannotWrite, destination, errno);
    } else if (::lseek(out, 0, SEEK_CUR) != inStatus.st_size) {
        fail(xcopytexts::kSourceChanged, source);
    } else if (m_options.verify && ::fdatasync(out) != 0) {
        fail(xcopytexts::kCannotWrite, destination, errno);
    } else {
        copied = true;
    }
    if (copied && m_options.verify) {
        // Written back and dropped from the cache, so the comparison reads what is on the medium.
        ::posix_fadvise(out, 0, 0, POSIX_FADV_DONTNEED);
        if (m_hooks.beforeVerify)
            m_hooks.beforeVerify(destination);
        copied = matches(in, out);
        if (!copied)
            fail(xcopytexts::kVerifyFailed, destination);
    }
    if (copied && m_options.keepTimes) {
        const struct timespec times[2] = {inStatus.st_atim, inStatus.st_mtim};
        ::futimens(out, times);
    }
    ::close(in);
    if (::close(out) != 0 && copied) {
        fail(xcopytexts::kCannotWrite, destination, errno);
        copied = false;
    }
    if (copied)
        ++m_filesCopied;
}

void TreeCopy::copyAsEmptyFile(const std::string &source, const std::string &destination,
                               const struct stat *status) {
    if (m_hooks.beforeFile)
        m_hooks.beforeFile(source);
    if (m_options.listNames)
        m_out << source << xcopytexts::kArrow << destination << '\n';
    // Without blocking: a pipe already at the destination's name must not hold the copy up.
    const int out = ::open(destination.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (out < 0) {
        fail(xcopytexts::kCannotWrite, destination, errno);
        return;
    }
    struct stat outStatus {};
    bool copied = false;
    if (::fstat(out, &outStatus) != 0 || !S_ISREG(outStatus.st_mode)) {
        fail(xcopytexts::kCannotWrite, destination);
    } else if ((outStatus.st_size != 0 && ::ftruncate(out, 0) != 0) ||
               (m_options.verify && ::fdatasync(out) != 0)) {
        fail(xcopytexts::kCannotWrite, destination, errno);
    } else {
        copied = true;
    }
    if (copied && m_options.verify) {
        ::posix_fadvise(out, 0, 0, POSIX_FADV_DONTNEED);
        if (m_hooks.beforeVerify)
            m_hooks.beforeVerify(destination);
        copied = ::fstat(out, &outStatus) == 0 && outStatus.st_size == 0;
        if (!copied)
            fail(xcopytexts::kVerifyFailed, destination);
    }
    if (copied && status && m_options.keepTimes) {
        const struct timespec times[2] = {status->st_atim, status->st_mtim};
        ::futimens(out, times);
    }
    if (::close(out) != 0 && copied) {
        fail(xcopytexts::kCannotWrite, destination, errno);
        copied = false;
    }
    if (copied)
        ++m_filesCopied;
}

bool TreeCopy::transfer(int source, int destination) {
    ::posix_fadvise(source, 0, 0, POSIX_FADV_SEQUENTIAL);
    bool kernelCopy = true;
    while (kernelCopy) {
        const ssize_t count = ::copy_file_range(source, nullptr, destination, nullptr, kKernelCopyBytes, 0);
        if (count > 0)
            continue;
        if (count == 0)
            return true;
        if (errno == EINTR)
            continue;
        // Across file systems on some kernels, or a file system without it: the plain way, from here on.
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return false;
        kernelCopy = false;
    }
    while (true) {
        const ssize_t count = ::read(source, m_buffer.data(), m_buffer.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            return false;
        if (count == 0)
            return true;
        if (!writeFully(destination, m_buffer.data(), static_cast<size_t>(count)))
            return false;
    }
}

bool TreeCopy::matches(int source, int destination) {
    for (off_t offset = 0;; offset += static_cast<off_t>(m_buffer.size())) {
        const ssize_t expected = readFully(source, m_buffer.data(), m_buffer.size(), offset);
        const ssize_t found = readFully(destination, m_compareBuffer.data(), m_compareBuffer.size(), offset);
        if (expected < 0 || expected != found ||
            std::memcmp(m_buffer.data(), m_compareBuffer.data(), static_cast<size_t>(expected)) != 0)
            return false;
        if (static_cast<size_t>(expected) < m_buffer.size())
            return true;
    }
}

} // namespace dravex
