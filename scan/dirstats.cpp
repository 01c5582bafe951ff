#include "scan/dirstats.h"

#include "scan/numberformat.h"

#include <algorithm>
#include <vector>

namespace dravex {

namespace {

bool matchesFrom(const std::string &name, size_t at, const std::string &pattern, size_t from) {
    for (; from < pattern.size(); ++from) {
        const char wanted = pattern[from];
        if (wanted == '*') {
            for (size_t rest = at; rest <= name.size(); ++rest)
                if (matchesFrom(name, rest, pattern, from + 1))
                    return true;
            return false;
        }
        if (at >= name.size() || (wanted != '?' && wanted != name[at]))
            return false;
        ++at;
    }
    return at == name.size();
}

uint64_t walk(DirectorySearch &search, const std::string &folder, const FolderListing &listing,
              const std::string &pattern, int64_t &entryCount, int64_t &dirCount,
              std::vector<std::string> &currentPath) {
    if (std::find(currentPath.begin(), currentPath.end(), listing.identity) != currentPath.end())
        return 0;

    uint64_t total = 0;
    std::vector<const FolderEntry *> subfolders;
    for (const FolderEntry &entry : listing.entries) {
        if (entry.isDirectory) {
            subfolders.push_back(&entry);
            ++dirCount;
        }
        if (matchesPattern(entry.name, pattern)) {
            total += entry.size;
            ++entryCount;
        }
    }
    currentPath.push_back(listing.identity);
    for (const FolderEntry *subfolder : subfolders) {
        if (const auto inner = search.listSubfolder(folder, listing, *subfolder))
            total += walk(search, folder + subfolder->name + "\\", *inner, pattern, entryCount, dirCount,
                          currentPath);
    }
    currentPath.pop_back();
    return total;
}

} // namespace

bool matchesPattern(const std::string &name, const std::string &pattern) {
    if (pattern == "*.*")
        return true;
    return matchesFrom(name, 0, pattern, 0);
}

uint64_t CollectDirStats(DirectorySearch &search, std::string &path, const std::string &pattern,
                         int64_t &entryCount, int64_t &dirCount) {
    if (path.empty() || path.back() != '\\')
        path += '\\';
    const auto listing = search.listFolder(path);
    if (!listing)
        return 0;
    std::vector<std::string> currentPath;
    return walk(search, path, *listing, pattern, entryCount, dirCount, currentPath);
}

std::string FormatDirStats(const DirStats &stats) {
    return "文件:" + std::to_string(stats.entryCount - stats.dirCount) +
           ";目录:" + std::to_string(stats.dirCount) + ";大小:" + formatByteTotal(stats.totalBytes) + "字节";
}

DirStats summariseTree(DirectorySearch &search, std::string path) {
    DirStats stats;
    stats.totalBytes = CollectDirStats(search, path, "*.*", stats.entryCount, stats.dirCount);
    return stats;
}

} // namespace dravex
