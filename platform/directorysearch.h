#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace dravex {

struct FolderEntry {
    std::string name;
    uint64_t size = 0;
    bool isDirectory = false;
};

// What a search keeps of a folder it listed, to list that folder's subfolders from it; opaque to the
// logic (the open folder on Linux).
class FolderHandle {
public:
    virtual ~FolderHandle() = default;
};

struct FolderListing {
    // Names the listed folder itself uniquely on this machine (device and node on Linux), so a walk can
    // tell when a link leads back into a folder it is already inside.
    std::string identity;
    std::vector<FolderEntry> entries;
    std::shared_ptr<const FolderHandle> handle; // may be empty
};

// Lists folders for the directory statistics. Paths use "\" as the separator: a drive path ("H:\",
// "H:\DOCS\") or a folder of this machine as the operator chose it.
class DirectorySearch {
public:
    virtual ~DirectorySearch() = default;

    // Every entry of the folder, hidden ones included, "." and ".." left out, in no particular order.
    // Links are followed: a link to a file has its target's size, a link to a folder is a folder. An
    // entry whose attributes cannot be read is a file of size 0. Nothing when the folder cannot be listed.
    virtual std::optional<FolderListing> listFolder(const std::string &folderPath) = 0;
    // The subfolder entry of a folder listed before at folderPath. A search that keeps its folders open
    // lists it from there, so a name is never read back out of a path (on Linux a name may hold "\") and
    // it can decide about links for the walk as a whole; the parent listing must stay alive meanwhile.
    virtual std::optional<FolderListing>
    listSubfolder(const std::string &folderPath, const FolderListing &folder, const FolderEntry &entry) {
        (void)folder;
        return listFolder(folderPath + entry.name + "\\");
    }
    // The folder a bare drive designator ("H:") stands for: the tool's working folder when it lies on
    // that drive ("H:\TOOLS"), else the drive's root ("H:\").
    virtual std::string driveCurrentFolder(const std::string &letter) = 0;
};

} // namespace dravex
