#include "platform/linux/sysfs/systemroot.h"

#include "platform/linux/sysfs/textfields.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace dravex {

SystemRoot::SystemRoot(std::string root) : m_root(std::move(root)) {
    while (!m_root.empty() && m_root.back() == '/')
        m_root.pop_back();
}

std::string SystemRoot::path(const std::string &inside) const {
    if (inside.empty() || inside.front() != '/')
        return m_root + "/" + inside;
    return m_root + inside;
}

std::optional<std::string> SystemRoot::readFile(const std::string &inside) const {
    const int fd = ::open(path(inside).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string content;
    char buffer[4096];
    while (true) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (count == 0)
            break;
        content.append(buffer, static_cast<size_t>(count));
    }
    ::close(fd);
    return content;
}

std::string SystemRoot::attribute(const std::string &inside) const {
    std::string value = readFile(inside).value_or(std::string());
    while (!value.empty() && (value.back() == '\n' || value.back() == '\r'))
        value.pop_back();
    return value;
}

std::optional<uint64_t> SystemRoot::numberAttribute(const std::string &inside) const {
    const auto text = readFile(inside);
    return text ? parseUnsigned(*text) : std::nullopt;
}

std::vector<std::string> SystemRoot::listFolder(const std::string &inside) const {
    std::vector<std::string> names;
    DIR *folder = ::opendir(path(inside).c_str());
    if (!folder)
        return names;
    while (const dirent *entry = ::readdir(folder)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(folder);
    return names;
}

bool SystemRoot::isFolder(const std::string &inside) const {
    struct stat status {};
    return ::stat(path(inside).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

} // namespace dravex
