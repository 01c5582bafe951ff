#include "scan/filebrowser.h"

#include <algorithm>
#include <cctype>

namespace dravex {

namespace {

constexpr const char *kCountPrefix = "目录下有";
constexpr const char *kCountSuffix = "个文件";
constexpr const char *kCannotRead = "无法读取";
constexpr const char *kCannotStart = "无法打开";

// Case-insensitive order, as the window system's lists sort names.
bool listOrder(const std::string &left, const std::string &right) {
    return std::lexicographical_compare(
        left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) < std::tolower(static_cast<unsigned char>(b));
        });
}

std::string withSeparator(const std::string &folder) {
    return !folder.empty() && folder.back() == '\\' ? folder : folder + "\\";
}

} // namespace

FileBrowser::FileBrowser(DirectorySearch &search, Launcher &launcher)
    : m_search(search), m_launcher(launcher) {}

void FileBrowser::openDrive(const std::string &letter) {
    openFolder(m_search.driveCurrentFolder(letter));
}

void FileBrowser::openFolder(const std::string &path) {
    m_folderPath = path;
    listCurrentFolder();
}

std::string FileBrowser::commandFor(const std::string &name) const {
    return withSeparator(m_folderPath) + name;
}

void FileBrowser::startFile(const std::string &name) {
    const std::string command = commandFor(name);
    if (!m_launcher.Shell(command, kWindowMaximizedFocus))
        m_statusText = kCannotStart + command;
}

void FileBrowser::listCurrentFolder() {
    m_folders.clear();
    m_files.clear();

    // The root, then one line per folder down to the current one.
    const size_t rootLength = 3; // "H:\"
    std::string path = m_folderPath.substr(0, rootLength);
    m_folders.push_back({path, path, 0, false});
    size_t start = rootLength;
    while (start < m_folderPath.size()) {
        size_t end = m_folderPath.find('\\', start);
        if (end == std::string::npos)
            end = m_folderPath.size();
        const std::string name = m_folderPath.substr(start, end - start);
        if (!name.empty()) {
            path = withSeparator(path) + name;
            m_folders.push_back({name, path, static_cast<int>(m_folders.size()), false});
        }
        start = end + 1;
    }
    m_folders.back().isCurrent = true;
    const int subfolderDepth = static_cast<int>(m_folders.size());

    const auto listing = m_search.listFolder(withSeparator(m_folderPath));
    if (!listing) {
        m_statusText = kCannotRead + m_folderPath;
        return;
    }
    std::vector<std::string> subfolders;
    for (const FolderEntry &entry : listing->entries)
        (entry.isDirectory ? subfolders : m_files).push_back(entry.name);
    std::sort(subfolders.begin(), subfolders.end(), listOrder);
    std::sort(m_files.begin(), m_files.end(), listOrder);
    for (const std::string &name : subfolders)
        m_folders.push_back({name, withSeparator(m_folderPath) + name, subfolderDepth, false});
    m_statusText = kCountPrefix + std::to_string(m_files.size()) + kCountSuffix;
}

} // namespace dravex
