#pragma once

#include "platform/directorysearch.h"
#include "platform/linux/windows/linuxvolumeservices.h"

namespace dravex {

// Lists folders with one readdir and one statx per entry, relative to the open folder (a second statx for
// a link). The identity is the folder's device and node as "<st_dev>:<st_ino>".
//
// A walk's subfolders are opened relative to the open folder their parent's listing keeps, never by a
// path, so a name holding "\" stays one name and depth is not limited by the length of a path. Links are
// followed within the file system of the folder the walk started at: a link leading off it (to /sys, /proc,
// another disk) counts as a link leading nowhere, or as an empty folder when it leads to one. A folder is
// entered through a link once per walk; reached through another link later it is an empty folder, so
// links that branch cannot make a walk larger than the folders it reaches.
class LinuxDirectorySearch : public DirectorySearch {
public:
    explicit LinuxDirectorySearch(LinuxVolumeServices &volumes);

    std::optional<FolderListing> listFolder(const std::string &folderPath) override;
    std::optional<FolderListing> listSubfolder(const std::string &folderPath, const FolderListing &folder,
                                               const FolderEntry &entry) override;
    std::string driveCurrentFolder(const std::string &letter) override;

private:
    LinuxVolumeServices &m_volumes;
};

} // namespace dravex
