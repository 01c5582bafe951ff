#pragma once

#include "platform/directorysearch.h"
#include "platform/launcher.h"

#include <string>
#include <vector>

namespace dravex {

// One line of the folder list: the drive's root, each folder down to the current one, then the
// current folder's subfolders.
struct FolderItem {
    std::string name;
    std::string path;
    int depth = 0;
    bool isCurrent = false;
};

// The file window's state: which folder of a stick is open, the folders around it and its files.
class FileBrowser {
public:
    FileBrowser(DirectorySearch &search, Launcher &launcher);

    // Opens the drive's current folder: "H" opens "H:\", or the tool's working folder when that lies on H.
    void openDrive(const std::string &letter);
    // Opens a folder of the folder list.
    void openFolder(const std::string &path);
    // Starts a file of the current folder: its full path, unquoted, with window style 3.
    void startFile(const std::string &name);

    const std::string &folderPath() const { return m_folderPath; }
    const std::vector<FolderItem> &folders() const { return m_folders; }
    const std::vector<std::string> &files() const { return m_files; }
    // "目录下有" n "个文件", or what went wrong when the folder could not be read or a file not started.
    const std::string &statusText() const { return m_statusText; }

    // The command that starts a file of the current folder: "H:\" + name in the root, "H:\tools\" + name
    // below.
    std::string commandFor(const std::string &name) const;

private:
    void listCurrentFolder();

    DirectorySearch &m_search;
    Launcher &m_launcher;
    std::string m_folderPath;
    std::vector<FolderItem> m_folders;
    std::vector<std::string> m_files;
    std::string m_statusText;
};

} // namespace dravex
