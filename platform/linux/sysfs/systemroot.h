#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dravex {

// The machine's files as seen below a root folder, the way lsblk --sysroot reads them: "/" on the
// machine, a fixture tree in tests. Nothing here throws; what cannot be read is simply absent.
class SystemRoot {
public:
    explicit SystemRoot(std::string root = "/");

    // The real path of a path given as seen inside the root ("/sys/block" -> "<root>/sys/block").
    std::string path(const std::string &inside) const;

    std::optional<std::string> readFile(const std::string &inside) const;
    // A sysfs attribute without its line end, blanks kept; empty when it cannot be read.
    std::string attribute(const std::string &inside) const;
    // A sysfs attribute that is a whole decimal number; nothing when it is not one or cannot be read.
    std::optional<uint64_t> numberAttribute(const std::string &inside) const;
    // Entry names of a folder, without "." and "..", in the order the folder lists them.
    std::vector<std::string> listFolder(const std::string &inside) const;
    bool isFolder(const std::string &inside) const;
    // Whether this is the machine itself ("/") rather than a tree below some folder.
    bool isWholeMachine() const { return m_root.empty(); }

private:
    std::string m_root;
};

} // namespace dravex
