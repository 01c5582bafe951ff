#include "platform/linux/windows/linuxdirectorysearch.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <set>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>

namespace dravex {

namespace {

using Identity = std::pair<dev_t, ino_t>;

// What one walk has decided about links so far.
struct Walk {
    dev_t device = 0; // of the folder the walk started at
    std::set<Identity> enteredThroughLink;
};

// A listed folder kept open for its subfolders, and the folder it was reached from.
class OpenFolder : public FolderHandle {
public:
    OpenFolder(int fd, Identity identity, std::shared_ptr<Walk> walk,
               std::shared_ptr<const OpenFolder> parent)
        : m_fd(fd), m_identity(identity), m_walk(std::move(walk)), m_parent(std::move(parent)) {}
    ~OpenFolder() override { ::close(m_fd); }
    OpenFolder(const OpenFolder &) = delete;
    OpenFolder &operator=(const OpenFolder &) = delete;

    int fd() const { return m_fd; }
    Walk &walk() const { return *m_walk; }
    const std::shared_ptr<Walk> &sharedWalk() const { return m_walk; }
    bool isWithin(Identity folder) const {
        for (const OpenFolder *at = this; at; at = at->m_parent.get())
            if (at->m_identity == folder)
                return true;
        return false;
    }

private:
    int m_fd;
    Identity m_identity;
    std::shared_ptr<Walk> m_walk;
    std::shared_ptr<const OpenFolder> m_parent;
};

bool isDotOrDotDot(const char *name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

std::string identityText(Identity identity) {
    return std::to_string(identity.first) + ":" + std::to_string(identity.second);
}

// Follows links on the walk's file system, so a link stands for what it leads to; a folder's own size is
// not part of any total.
void readAttributes(int folder, const char *name, dev_t device, FolderEntry &entry) {
    constexpr unsigned kWanted = STATX_TYPE | STATX_SIZE;
    struct statx attributes {};
    if (::statx(folder, name, AT_STATX_SYNC_AS_STAT | AT_SYMLINK_NOFOLLOW, kWanted, &attributes) != 0 ||
        !(attributes.stx_mask & STATX_TYPE))
        return;
    const bool isLink = S_ISLNK(attributes.stx_mode);
    if (isLink && (::statx(folder, name, AT_STATX_SYNC_AS_STAT, kWanted, &attributes) != 0 ||
                   !(attributes.stx_mask & STATX_TYPE)))
        return;
    entry.isDirectory = S_ISDIR(attributes.stx_mode);
    // A file a link leads to off the walk's file system is not looked at (/proc's sizes are not real).
    const bool offWalk = isLink && makedev(attributes.stx_dev_major, attributes.stx_dev_minor) != device;
    if (!entry.isDirectory && !offWalk)
        entry.size = attributes.stx_size;
}

// Lists the open folder fd, which the listing then keeps.
std::optional<FolderListing> listOpenFolder(int fd, std::shared_ptr<Walk> walk,
                                            std::shared_ptr<const OpenFolder> parent) {
    struct stat own {};
    // Read through a duplicate, as closedir closes the descriptor it was given.
    const int listed = ::fstat(fd, &own) == 0 ? ::dup(fd) : -1;
    DIR *folder = listed < 0 ? nullptr : ::fdopendir(listed);
    if (!folder) {
        if (listed >= 0)
            ::close(listed);
        ::close(fd);
        return std::nullopt;
    }
    const Identity identity{own.st_dev, own.st_ino};
    if (!walk)
        walk = std::make_shared<Walk>(Walk{own.st_dev, {}});
    FolderListing listing;
    listing.identity = identityText(identity);
    while (true) {
        errno = 0;
        const dirent *found = ::readdir(folder);
        if (!found)
            break;
        if (isDotOrDotDot(found->d_name))
            continue;
        FolderEntry &entry = listing.entries.emplace_back();
        entry.name = found->d_name;
        readAttributes(fd, found->d_name, walk->device, entry);
    }
    // A read error part-way would give a short listing that looks whole.
    const bool complete = errno == 0;
    ::closedir(folder);
    if (!complete) {
        ::close(fd);
        return std::nullopt;
    }
    listing.handle = std::make_shared<OpenFolder>(fd, identity, std::move(walk), std::move(parent));
    return listing;
}

} // namespace

LinuxDirectorySearch::LinuxDirectorySearch(LinuxVolumeServices &volumes) : m_volumes(volumes) {}

std::optional<FolderListing> LinuxDirectorySearch::listFolder(const std::string &folderPath) {
    const auto path = m_volumes.nativePath(folderPath);
    if (!path)
        return std::nullopt;
    const int fd = ::open(path->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    return listOpenFolder(fd, nullptr, nullptr);
}

std::optional<FolderListing> LinuxDirectorySearch::listSubfolder(const std::string &folderPath,
                                                                 const FolderListing &folder,
                                                                 const FolderEntry &entry) {
    const auto parent = std::dynamic_pointer_cast<const OpenFolder>(folder.handle);
    if (!parent)
        return DirectorySearch::listSubfolder(folderPath, folder, entry);
    struct stat itself {};
    if (::fstatat(parent->fd(), entry.name.c_str(), &itself, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    const bool isLink = S_ISLNK(itself.st_mode);
    const int fd = ::openat(parent->fd(), entry.name.c_str(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC | (isLink ? 0 : O_NOFOLLOW));
    struct stat own {};
    if (fd < 0 || ::fstat(fd, &own) != 0) {
        if (fd >= 0)
            ::close(fd);
        return std::nullopt;
    }
    const Identity identity{own.st_dev, own.st_ino};
    Walk &walk = parent->walk();
    // Not entered: a cycle (the walk stops at the identity), a link off the walk's file system, or a
    // folder a link has led into before.
    if (isLink && (parent->isWithin(identity) || own.st_dev != walk.device ||
                   !walk.enteredThroughLink.insert(identity).second)) {
        ::close(fd);
        FolderListing empty;
        empty.identity = identityText(identity);
        return empty;
    }
    return listOpenFolder(fd, parent->sharedWalk(), parent);
}

std::string LinuxDirectorySearch::driveCurrentFolder(const std::string &letter) {
    const std::string root = letter + ":\\";
    const auto mounted = m_volumes.nativePath(root);
    std::error_code error;
    const std::filesystem::path working = std::filesystem::current_path(error);
    if (!mounted || error)
        return root;
    const std::filesystem::path base = std::filesystem::canonical(*mounted, error);
    if (error)
        return root;
    // Outside the drive, or below a folder whose name holds "\", which a drive path cannot name.
    std::string folder = root;
    for (const std::filesystem::path &name : working.lexically_relative(base)) {
        const std::string text = name.string();
        if (text == ".." || text.find('\\') != std::string::npos)
            return root;
        if (text != ".")
            folder += (folder.back() == '\\' ? "" : "\\") + text;
    }
    return folder;
}

} // namespace dravex
