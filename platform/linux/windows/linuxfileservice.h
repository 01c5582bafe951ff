#pragma once

#include "platform/fileservice.h"
#include "platform/linux/windows/linuxvolumeservices.h"

#include <cstddef>

namespace dravex {

// The file service over POSIX calls on the paths the volume services map.
class LinuxFileService : public FileService {
public:
    // Settings files are a few hundred bytes; anything past this is not one of ours.
    static constexpr size_t kMaximumReadSize = 16 * 1024 * 1024;

    explicit LinuxFileService(LinuxVolumeServices &volumes);

    // A regular file, or a link to one. Only asks the file system (stat), never opens anything.
    bool fileExists(const std::string &path) override;
    // Creates or empties a regular file only: a link, folder, FIFO or device of the name is left as it is
    // (not followed, opened or emptied) and the call fails, as on a write-protected stick.
    bool createEmptyFile(const std::string &path) override;
    // Deletes a regular file only; a link, folder, FIFO or device of the name stays and the call fails.
    bool deleteFile(const std::string &path) override;
    // Nothing for a file larger than kMaximumReadSize.
    std::optional<std::string> readFile(const std::string &path) override;
    // Writes a new file beside the old one and renames it over the old one once it is on the medium, so
    // the file is always either the old content or the new.
    bool replaceFile(const std::string &path, const std::string &bytes) override;

private:
    LinuxVolumeServices &m_volumes;
};

} // namespace dravex
