#pragma once

#include "platform/directorysearch.h"

#include <cstdint>
#include <string>

namespace dravex {

// Summary of a directory tree: entries (files and folders), folders below the root, bytes of all files.
struct DirStats {
    int64_t entryCount = 0;
    int64_t dirCount = 0;
    uint64_t totalBytes = 0;
};

// Walks the tree below path and returns its byte total, adding every entry that matches pattern to
// entryCount and every folder to dirCount. Appends "\" to path when it lacks one. A folder that cannot
// be listed contributes nothing; a folder already on the current path (reached again through a link) is
// counted but never entered again, so a link cycle cannot loop. Subfolders are listed through the search's
// listSubfolder, which may also hand back a folder it will not enter (see LinuxDirectorySearch) as empty.
uint64_t CollectDirStats(DirectorySearch &search, std::string &path, const std::string &pattern,
                         int64_t &entryCount, int64_t &dirCount);

// The one text form of a summary: "文件:" files ";目录:" folders ";大小:" bytes "字节".
std::string FormatDirStats(const DirStats &stats);

// The summary of the tree below path, with the pattern "*.*", as every caller in the tool makes it.
DirStats summariseTree(DirectorySearch &search, std::string path);

// Whether a name matches a search pattern of the Windows kind: "*" any run of characters, "?" one
// character, and "*.*" every name, with or without a dot.
bool matchesPattern(const std::string &name, const std::string &pattern);

} // namespace dravex
