#include "platform/linux/diskactions.h"

#include <fcntl.h>
#include <unistd.h>

namespace dravex {

bool flushFileSystem(const std::string &mountPath) {
    const int fd = ::open(mountPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        ::sync();
        return true;
    }
    const bool flushed = ::syncfs(fd) == 0;
    ::close(fd);
    return flushed;
}

} // namespace dravex
