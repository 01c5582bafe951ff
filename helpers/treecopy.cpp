#include "helpers/treecopy.h"

#include "helpers/helpertexts.h"
#include "helpers/xcopytexts.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>

namespace dravex {

namespace {

// Writes go through the page cache, so the buffer does not decide the size of a stick's writes, only how
// much the processor's cache holds: with 128 KiB a large file copied across file systems, and the two
// buffers the read-back compares, stay in it, and onto tmpfs a 2 GiB file copies in about half the time
// 1 MiB takes (dd and dravex-copy-bench). The kernel copy takes what it can per call.
constexpr size_t kBufferBytes = 128u << 10;
constexpr size_t kKernelCopyBytes = 1u << 30;

bool isHidden(const std::string &name) {
    return name.front() == '.';
}

char foldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// How FAT compares names, as far as the letters A-Z go; other letters are caught when the file system
// hands back a file this copy already wrote.
std::string caseFolded(const std::string &name) {
    std::string folded = name;
    std::transform(folded.begin(), folded.end(), folded.begin(), foldCase);
    return folded;
}

bool isLinkOrSpecial(mode_t mode) {
    return !S_ISREG(mode) && !S_ISDIR(mode);
}

// Below a path, for the messages only.
std::string below(const std::string &folder, const std::string &name) {
    return folder + "/" + name;
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

struct TreeCopy::SourceEntry {
    std::string name;
    struct stat status {}; // of what a link leads to
    int error = 0;         // when those attributes could not be read
    bool isLink = false;

    Identity identity() const { return {status.st_dev, status.st_ino}; }
    bool isFolder() const { return error == 0 && S_ISDIR(status.st_mode); }
};

TreeCopy::TreeCopy(CopyOptions options, std::ostream &out, std::ostream &err, CopyHooks hooks)
    : m_options(options), m_out(out), m_err(err), m_hooks(std::move(hooks)), m_buffer(kBufferBytes),
      m_compareBuffer(options.verify ? kBufferBytes : 0) {}

bool TreeCopy::copy(const std::string &sourceFolder, const std::string &destinationFolder) {
    const Folder destination{::open(destinationFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC),
                             destinationFolder};
    struct stat status {};
    if (destination.fd < 0 || ::fstat(destination.fd, &status) != 0) {
        fail(xcopytexts::kCannotWrite, destinationFolder, errno);
        if (destination.fd >= 0)
            ::close(destination.fd);
        return false;
    }
    m_destinationRoot = {status.st_dev, status.st_ino};
    m_folders = {CopiedFolder{0, {}, false, destinationFolder}};
    m_currentFolder = 0;
    m_written.clear();
    const Folder source{::open(sourceFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), sourceFolder};
    if (source.fd < 0 || ::fstat(source.fd, &status) != 0) {
        fail(xcopytexts::kCannotList, sourceFolder, errno);
    } else {
        m_sourceDevice = status.st_dev;
        copyFolder(source, destination);
    }
    // Without /v the copy ends, as xcopy's does, once the system holds the data. With /v everything goes
    // to the medium in one flush, folders' entries and kept times included, and is read back from there.
    if (m_options.verify) {
        if (::syncfs(destination.fd) != 0)
            fail(xcopytexts::kCannotWrite, destinationFolder, errno);
        if (source.fd >= 0)
            verifyAll(source, destination);
    }
    if (source.fd >= 0)
        ::close(source.fd);
    ::close(destination.fd);
    return m_failures == 0;
}

void TreeCopy::fail(const char *what, const std::string &path, int error) {
    ++m_failures;
    m_err << helpertexts::kError << what << path;
    if (error != 0)
        m_err << " (" << std::strerror(error) << ")";
    m_err << std::endl;
}

void TreeCopy::copyFolder(const Folder &source, const Folder &destination) {
    // Read through a duplicate, as closedir closes the descriptor it was given.
    const int listed = ::dup(source.fd);
    DIR *folder = listed < 0 ? nullptr : ::fdopendir(listed);
    if (!folder) {
        fail(xcopytexts::kCannotList, source.path, errno);
        if (listed >= 0)
            ::close(listed);
        return;
    }
    struct stat own {};
    ::fstat(source.fd, &own);
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
        struct stat itself {};
        if (::fstatat(source.fd, found->d_name, &itself, AT_SYMLINK_NOFOLLOW) != 0) {
            entry.error = errno;
        } else if (S_ISLNK(itself.st_mode)) {
            entry.isLink = true;
            // A link stands for what it leads to, on this file system only: one leading elsewhere (/sys,
            // /proc, another disk) is taken as one leading nowhere.
            if (::fstatat(source.fd, found->d_name, &entry.status, 0) != 0)
                entry.error = errno;
            else if (entry.status.st_dev != m_sourceDevice)
                entry.error = EXDEV;
            if (entry.error == EXDEV && S_ISDIR(entry.status.st_mode))
                entry.error = 0; // still a folder, made empty as shouldEnter turns it down
        } else {
            entry.status = itself;
        }
        if (!m_options.recurse && entry.isFolder())
            continue;
        entries.push_back(std::move(entry));
    }
    ::closedir(folder);
    if (listError != 0) {
        fail(xcopytexts::kCannotList, source.path, listError);
        return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const SourceEntry &a, const SourceEntry &b) { return a.name < b.name; });
    dropCaseCollisions(source.path, entries);

    // What this copy wrote into the destination folder: the file system handing one of them back for
    // another name means it folds the two names into one.
    std::set<Identity> written;
    m_currentPath.push_back({own.st_dev, own.st_ino});
    for (const SourceEntry &entry : entries) {
        const std::string sourcePath = below(source.path, entry.name);
        if (!entry.isFolder()) {
            if (entry.error == 0 && S_ISREG(entry.status.st_mode))
                copyFile(source, entry, destination, written);
            else
                copyAsEmptyFile(entry, sourcePath, destination, written);
            continue;
        }
        const Folder made{openDestinationFolder(destination, entry.name, sourcePath, written),
                          below(destination.path, entry.name)};
        if (made.fd < 0)
            continue;
        if (shouldEnter(entry)) {
            const Folder inner{::openat(source.fd, entry.name.c_str(),
                                        O_RDONLY | O_DIRECTORY | O_CLOEXEC | (entry.isLink ? 0 : O_NOFOLLOW)),
                               sourcePath};
            struct stat opened {};
            if (inner.fd < 0 || ::fstat(inner.fd, &opened) != 0)
                fail(xcopytexts::kCannotList, sourcePath, errno);
            else if (Identity{opened.st_dev, opened.st_ino} != entry.identity())
                fail(xcopytexts::kSourceChanged, sourcePath); // replaced since it was listed
            else
                copyFolderBelow(entry, inner, made);
            if (inner.fd >= 0)
                ::close(inner.fd);
        }
        if (m_options.keepTimes) {
            const struct timespec times[2] = {entry.status.st_atim, entry.status.st_mtim};
            ::futimens(made.fd, times);
        }
        ::close(made.fd);
    }
    m_currentPath.pop_back();
}

void TreeCopy::copyFolderBelow(const SourceEntry &entry, const Folder &source, const Folder &destination) {
    m_folders.push_back(CopiedFolder{m_currentFolder, entry.name, entry.isLink, destination.path});
    const size_t outer = m_currentFolder;
    m_currentFolder = m_folders.size() - 1;
    copyFolder(source, destination);
    m_currentFolder = outer;
}

void TreeCopy::dropCaseCollisions(const std::string &sourcePath, std::vector<SourceEntry> &entries) {
    std::map<std::string, std::string> firstByFolded;
    std::vector<SourceEntry> kept;
    for (SourceEntry &entry : entries) {
        const auto [first, isNew] = firstByFolded.emplace(caseFolded(entry.name), entry.name);
        if (isNew)
            kept.push_back(std::move(entry));
        else
            fail(xcopytexts::kCaseCollision, below(sourcePath, entry.name) + xcopytexts::kCollidesWith +
                                                 below(sourcePath, first->second));
    }
    entries = std::move(kept);
}

bool TreeCopy::shouldEnter(const SourceEntry &entry) {
    const Identity identity = entry.identity();
    // The destination itself, or a folder we are already inside (a link cycle).
    if (identity == m_destinationRoot ||
        std::find(m_currentPath.begin(), m_currentPath.end(), identity) != m_currentPath.end())
        return false;
    // A folder's own subfolders are always entered. Through links only on this file system, and each
    // folder once, so links that branch cannot make the walk larger than the folders it reaches.
    return !entry.isLink ||
           (entry.status.st_dev == m_sourceDevice && m_enteredThroughLink.insert(identity).second);
}

int TreeCopy::openDestinationFolder(const Folder &destination, const std::string &name,
                                    const std::string &sourcePath, std::set<Identity> &written) {
    const std::string path = below(destination.path, name);
    const char *at = name.c_str();
    struct stat status {};
    if (::mkdirat(destination.fd, at, 0777) != 0) {
        const int error = errno;
        const bool present = ::fstatat(destination.fd, at, &status, AT_SYMLINK_NOFOLLOW) == 0;
        if (error != EEXIST || !present || S_ISREG(status.st_mode)) {
            fail(xcopytexts::kCannotCreateFolder, path, present && S_ISREG(status.st_mode) ? EEXIST : error);
            return -1;
        }
        // Never into what a link on the stick leads to: it goes, and a real folder takes its place.
        if (isLinkOrSpecial(status.st_mode) &&
            (::unlinkat(destination.fd, at, 0) != 0 || ::mkdirat(destination.fd, at, 0777) != 0)) {
            fail(xcopytexts::kCannotCreateFolder, path, errno);
            return -1;
        }
    }
    const int fd = ::openat(destination.fd, at, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    return claimDestination(fd, S_IFDIR, xcopytexts::kCannotCreateFolder, path, sourcePath, written);
}

int TreeCopy::claimDestination(int fd, mode_t kind, const char *what, const std::string &path,
                               const std::string &sourcePath, std::set<Identity> &written) {
    const int error = errno;
    struct stat status {};
    if (fd < 0 || ::fstat(fd, &status) != 0 || (status.st_mode & S_IFMT) != kind) {
        fail(what, path, fd < 0 ? error : 0);
    } else if (!written.insert({status.st_dev, status.st_ino}).second) {
        fail(xcopytexts::kCaseCollision, sourcePath);
    } else {
        return fd;
    }
    if (fd >= 0)
        ::close(fd);
    return -1;
}

int TreeCopy::openDestinationFile(const Folder &destination, const std::string &name,
                                  const std::string &sourcePath, std::set<Identity> &written) {
    const std::string path = below(destination.path, name);
    const char *at = name.c_str();
    constexpr int kCreate = O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    struct stat status {};
    int fd = -1;
    if (::fstatat(destination.fd, at, &status, AT_SYMLINK_NOFOLLOW) != 0) {
        fd = errno == ENOENT ? ::openat(destination.fd, at, kCreate, 0666) : -1;
    } else if (S_ISREG(status.st_mode)) {
        // Without blocking and without following, should it have turned into a pipe or link since.
        fd = ::openat(destination.fd, at, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } else if (S_ISDIR(status.st_mode)) {
        errno = EISDIR;
    } else if (::unlinkat(destination.fd, at, 0) == 0) {
        // A link, pipe, socket or device on the stick is never opened: it goes, and a file takes its place.
        fd = ::openat(destination.fd, at, kCreate, 0666);
    }
    return claimDestination(fd, S_IFREG, xcopytexts::kCannotWrite, path, sourcePath, written);
}

void TreeCopy::copyFile(const Folder &source, const SourceEntry &entry, const Folder &destination,
                        std::set<Identity> &written) {
    const std::string sourcePath = below(source.path, entry.name);
    const std::string destinationPath = below(destination.path, entry.name);
    if (m_hooks.beforeFile)
        m_hooks.beforeFile(sourcePath);
    if (m_options.listNames)
        m_out << sourcePath << xcopytexts::kArrow << destinationPath << '\n';
    // Without blocking, should a pipe have taken the file's place since it was listed.
    const int in = ::openat(source.fd, entry.name.c_str(),
                            O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (entry.isLink ? 0 : O_NOFOLLOW));
    struct stat inStatus {};
    if (in < 0 || ::fstat(in, &inStatus) != 0 || !S_ISREG(inStatus.st_mode)) {
        fail(xcopytexts::kCannotRead, sourcePath, in < 0 ? errno : 0);
        if (in >= 0)
            ::close(in);
        return;
    }
    // Not truncated on open: first make sure it is not the source itself. A new file is not truncated at
    // all, as ext4 then writes it back on close, which halves the copy's speed.
    const int out = openDestinationFile(destination, entry.name, sourcePath, written);
    if (out < 0) {
        ::close(in);
        return;
    }
    struct stat outStatus {};
    bool copied = false;
    if (::fstat(out, &outStatus) == 0 && outStatus.st_dev == inStatus.st_dev &&
        outStatus.st_ino == inStatus.st_ino) {
        fail(xcopytexts::kSameFile, destinationPath);
    } else if ((outStatus.st_size != 0 && ::ftruncate(out, 0) != 0) || !transfer(in, out)) {
        fail(xcopytexts::kCannotWrite, destinationPath, errno);
    } else if (::lseek(out, 0, SEEK_CUR) != inStatus.st_size) {
        fail(xcopytexts::kSourceChanged, sourcePath);
    } else {
        copied = true;
    }
    if (copied && m_options.keepTimes) {
        const struct timespec times[2] = {inStatus.st_atim, inStatus.st_mtim};
        ::futimens(out, times);
    }
    ::close(in);
    finishFile(out, copied, destinationPath,
               WrittenFile{m_currentFolder, entry.name, entry.isLink, true, {inStatus.st_dev, inStatus.st_ino},
                           {outStatus.st_dev, outStatus.st_ino}});
}

void TreeCopy::copyAsEmptyFile(const SourceEntry &entry, const std::string &sourcePath,
                               const Folder &destination, std::set<Identity> &written) {
    const std::string destinationPath = below(destination.path, entry.name);
    if (m_hooks.beforeFile)
        m_hooks.beforeFile(sourcePath);
    if (m_options.listNames)
        m_out << sourcePath << xcopytexts::kArrow << destinationPath << '\n';
    const int out = openDestinationFile(destination, entry.name, sourcePath, written);
    if (out < 0)
        return;
    struct stat outStatus {};
    bool copied = false;
    if (::fstat(out, &outStatus) != 0 || (outStatus.st_size != 0 && ::ftruncate(out, 0) != 0)) {
        fail(xcopytexts::kCannotWrite, destinationPath, errno);
    } else {
        copied = true;
    }
    // Times only of what was read: a link leading nowhere or off the file system has none of its own here.
    if (copied && entry.error == 0 && m_options.keepTimes) {
        const struct timespec times[2] = {entry.status.st_atim, entry.status.st_mtim};
        ::futimens(out, times);
    }
    finishFile(out, copied, destinationPath,
               WrittenFile{m_currentFolder, entry.name, false, false, {}, {outStatus.st_dev, outStatus.st_ino}});
}

void TreeCopy::finishFile(int out, bool copied, const std::string &destinationPath, WrittenFile file) {
    if (::close(out) != 0 && copied) {
        fail(xcopytexts::kCannotWrite, destinationPath, errno);
        copied = false;
    }
    if (!copied)
        return;
    if (m_options.verify)
        m_written.push_back(std::move(file));
    else
        ++m_filesCopied;
}

// The folders of one side of the copy, opened again from the root by the names the copy entered them by.
// Files are checked in the order they were written, so the folders open along one path at a time.
class TreeCopy::FolderChain {
public:
    FolderChain(const std::vector<CopiedFolder> &folders, int root, bool isSource)
        : m_folders(folders), m_isSource(isSource), m_chain{0}, m_fds{root} {}
    ~FolderChain() {
        for (size_t i = 1; i < m_fds.size(); ++i)
            if (m_fds[i] >= 0)
                ::close(m_fds[i]);
    }
    FolderChain(const FolderChain &) = delete;
    FolderChain &operator=(const FolderChain &) = delete;

    // The folder open, or -1 when it (or a folder above it) cannot be opened again.
    int open(size_t folder) {
        std::vector<size_t> wanted;
        for (size_t at = folder; at != 0; at = m_folders[at].parent)
            wanted.push_back(at);
        wanted.push_back(0);
        std::reverse(wanted.begin(), wanted.end());
        size_t common = 1;
        while (common < wanted.size() && common < m_chain.size() && wanted[common] == m_chain[common])
            ++common;
        while (m_chain.size() > common) {
            if (m_fds.back() >= 0)
                ::close(m_fds.back());
            m_fds.pop_back();
            m_chain.pop_back();
        }
        for (size_t i = common; i < wanted.size(); ++i) {
            const CopiedFolder &next = m_folders[wanted[i]];
            // The source's links to folders were followed on the way in; nothing on the stick ever is.
            const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (m_isSource && next.throughLink ? 0 : O_NOFOLLOW);
            m_fds.push_back(m_fds.back() < 0 ? -1 : ::openat(m_fds.back(), next.name.c_str(), flags));
            m_chain.push_back(wanted[i]);
        }
        return m_fds.back();
    }

private:
    const std::vector<CopiedFolder> &m_folders;
    bool m_isSource;
    std::vector<size_t> m_chain;
    std::vector<int> m_fds;
};

void TreeCopy::verifyAll(const Folder &source, const Folder &destination) {
    FolderChain sources(m_folders, source.fd, true);
    FolderChain destinations(m_folders, destination.fd, false);
    for (const WrittenFile &file : m_written)
        if (verifyFile(file, sources, destinations))
            ++m_filesCopied;
    m_written.clear();
}

bool TreeCopy::verifyFile(const WrittenFile &file, FolderChain &sources, FolderChain &destinations) {
    const std::string destinationPath = below(m_folders[file.folder].destinationPath, file.name);
    if (m_hooks.beforeVerify)
        m_hooks.beforeVerify(destinationPath);
    const int destinationFolder = destinations.open(file.folder);
    const int out = destinationFolder < 0 ? -1
                                          : ::openat(destinationFolder, file.name.c_str(),
                                                     O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat status {};
    // Still the file this copy wrote, not one put in its place since.
    bool same = out >= 0 && ::fstat(out, &status) == 0 && Identity{status.st_dev, status.st_ino} == file.destination;
    if (same) {
        // Clean since the flush, so dropping it from the cache makes the reads below come from the medium.
        ::posix_fadvise(out, 0, 0, POSIX_FADV_DONTNEED);
        ::posix_fadvise(out, 0, 0, POSIX_FADV_SEQUENTIAL);
        if (!file.hasSource) {
            same = status.st_size == 0;
        } else {
            const int sourceFolder = sources.open(file.folder);
            const int in = sourceFolder < 0 ? -1
                                            : ::openat(sourceFolder, file.name.c_str(),
                                                       O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC |
                                                           (file.sourceIsLink ? 0 : O_NOFOLLOW));
            same = in >= 0 && ::fstat(in, &status) == 0 && Identity{status.st_dev, status.st_ino} == file.source &&
                   matches(in, out);
            if (in >= 0)
                ::close(in);
        }
    }
    if (out >= 0)
        ::close(out);
    if (!same)
        fail(xcopytexts::kVerifyFailed, destinationPath);
    return same;
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
