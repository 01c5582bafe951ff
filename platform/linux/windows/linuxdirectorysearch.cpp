#include "platform/linux/windows/linuxdirectorysearch.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

namespace dravex {

namespace {

bool isDotOrDotDot(const char *name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

// Follows links, so a link stands for what it leads to; a folder's own size is not part of any total.
void readAttributes(int folder, const char *name, FolderEntry &entry) {
    struct statx attributes {};
    if (::statx(folder, name, AT_STATX_SYNC_AS_STAT, STATX_TYPE | STATX_SIZE, &attributes) != 0 ||
        !(attributes.stx_mask & STATX_TYPE))
        return;
    entry.isDirectory = S_ISDIR(attributes.stx_mode);
    if (!entry.isDirectory)
        entry.size = attributes.stx_size;
}

} // namespace

LinuxDirectorySearch::LinuxDirectorySearch(LinuxVolumeServices &volumes) : m_volumes(volumes) {}

std::optional<FolderListing> LinuxDirectorySearch::listFolder(const std::string &folderPath) {
    const auto path = m_volumes.nativePath(folderPath);
    if (!path)
        return std::nullopt;
    DIR *folder = ::opendir(path->c_str());
    if (!folder)
        return std::nullopt;
    const int folderFd = ::dirfd(folder);
    struct stat own {};
    if (::fstat(folderFd, &own) != 0) {
        ::closedir(folder);
        return std::nullopt;
    }
    FolderListing listing;
    listing.identity = std::to_string(own.st_dev) + ":" + std::to_string(own.st_ino);
    while (true) {
        errno = 0;
        const dirent *found = ::readdir(folder);
        if (!found)
            break;
        if (isDotOrDotDot(found->d_name))
            continue;
        FolderEntry &entry = listing.entries.emplace_back();
        entry.name = found->d_name;
        readAttributes(folderFd, found->d_name, entry);
    }
    // A read error part-way would give a short listing that looks whole.
    const bool complete = errno == 0;
    ::closedir(folder);
    if (!complete)
        return std::nullopt;
    return listing;
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
