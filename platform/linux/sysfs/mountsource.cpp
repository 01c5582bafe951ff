#include "platform/linux/sysfs/mountsource.h"

#include "platform/linux/sysfs/textfields.h"

#include <climits>
#include <deque>
#include <unistd.h>
#include <utility>

namespace dravex {

namespace {

// Far more than udev's links ever chain; a bound against links that loop.
constexpr int kMaximumLinks = 32;

std::deque<std::string> components(const std::string &path) {
    std::deque<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string joined(const std::deque<std::string> &parts) {
    std::string path;
    for (const std::string &part : parts)
        path += "/" + part;
    return path.empty() ? "/" : path;
}

std::string deviceMapperKernelName(const SystemRoot &root, const std::string &mapperName) {
    for (const std::string &name : root.listFolder("/sys/class/block")) {
        const auto dmName = root.readFile("/sys/class/block/" + name + "/dm/name");
        if (dmName && trimmed(*dmName) == mapperName)
            return name;
    }
    return {};
}

bool isPlainName(const std::string &name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

} // namespace

std::optional<std::string> resolvedInside(const SystemRoot &root, const std::string &path) {
    std::deque<std::string> done;
    std::deque<std::string> pending = components(path);
    int links = 0;
    while (!pending.empty()) {
        const std::string part = pending.front();
        pending.pop_front();
        if (part == ".")
            continue;
        if (part == "..") {
            if (!done.empty())
                done.pop_back();
            continue;
        }
        done.push_back(part);
        char target[PATH_MAX];
        const ssize_t length = ::readlink(root.path(joined(done)).c_str(), target, sizeof target);
        // Not a link, or not there: taken as it is written.
        if (length < 0 || static_cast<size_t>(length) >= sizeof target)
            continue;
        if (++links > kMaximumLinks)
            return std::nullopt;
        done.pop_back();
        const std::string text(target, static_cast<size_t>(length));
        if (!text.empty() && text.front() == '/')
            done.clear();
        const std::deque<std::string> inserted = components(text);
        pending.insert(pending.begin(), inserted.begin(), inserted.end());
    }
    return joined(done);
}

std::string sourceKernelName(const SystemRoot &root, const std::string &source) {
    if (source.compare(0, 5, "/dev/") != 0)
        return {};
    const auto path = resolvedInside(root, source);
    if (!path || path->compare(0, 5, "/dev/") != 0)
        return {};
    const std::string rest = path->substr(5);
    if (rest.compare(0, 7, "mapper/") == 0) {
        const std::string mapperName = rest.substr(7);
        return isPlainName(mapperName) ? deviceMapperKernelName(root, mapperName) : std::string();
    }
    return isPlainName(rest) ? rest : std::string();
}

bool isMountOf(const SystemRoot &root, const MountEntry &entry, const std::string &kernelName, unsigned major,
               unsigned minor) {
    if (entry.major == major && entry.minor == minor)
        return true;
    return !kernelName.empty() && sourceKernelName(root, entry.source) == kernelName;
}

std::vector<MountEntry> mountsOfDevice(const SystemRoot &root, const std::string &kernelName, unsigned major,
                                       unsigned minor) {
    std::vector<MountEntry> mounts;
    const auto text = root.readFile("/proc/self/mountinfo");
    if (!text)
        return mounts;
    for (MountEntry &entry : parseMountInfo(*text)) {
        if (isMountOf(root, entry, kernelName, major, minor))
            mounts.push_back(std::move(entry));
    }
    return mounts;
}

std::vector<std::string> mountPointsOfDevice(const SystemRoot &root, const std::string &kernelName,
                                             unsigned major, unsigned minor) {
    std::vector<std::string> mountPoints;
    for (MountEntry &entry : mountsOfDevice(root, kernelName, major, minor))
        mountPoints.push_back(std::move(entry.mountPoint));
    return mountPoints;
}

} // namespace dravex
