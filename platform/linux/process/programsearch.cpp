#include "platform/linux/process/programsearch.h"

#include <sys/stat.h>
#include <unistd.h>

namespace dravex {

bool isExecutableFile(const std::string &path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> findProgram(const std::string &name, const char *searchPath,
                                       const std::string &extraFolders) {
    if (name.empty() || name.find('/') != std::string::npos)
        return std::nullopt;
    std::string folders = searchPath ? searchPath : "";
    if (!extraFolders.empty())
        folders += ":" + extraFolders;
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string folder = folders.substr(start, end - start);
        if (!folder.empty() && isExecutableFile(folder + "/" + name))
            return folder + "/" + name;
        start = end + 1;
    }
    return std::nullopt;
}

} // namespace dravex
