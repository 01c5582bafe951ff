#pragma once

#include "platform/directorysearch.h"
#include "platform/linux/windows/linuxvolumeservices.h"

namespace dravex {

// Lists folders with one opendir and one statx per entry, relative to the open folder. The identity is
// the folder's device and node as "<st_dev>:<st_ino>".
class LinuxDirectorySearch : public DirectorySearch {
public:
    explicit LinuxDirectorySearch(LinuxVolumeServices &volumes);

    std::optional<FolderListing> listFolder(const std::string &folderPath) override;
    std::string driveCurrentFolder(const std::string &letter) override;

private:
    LinuxVolumeServices &m_volumes;
};

} // namespace dravex
