// How long the directory statistics take over the Linux directory search on a tree of 100,000 files in
// 1,000 folders, beside du adding up the same tree; both warm, median of several runs.
#include "bench/programoutput.h"
#include "platform/linux/windows/linuxdirectorysearch.h"
#include "scan/dirstats.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace dravex;
namespace fs = std::filesystem;

constexpr int kFolders = 1000;
constexpr int kFilesPerFolder = 100;
constexpr int kRepetitions = 9;

// Absolute paths never reach the mounter; a mount request would be a fault of the bench.
class RefusingMounter : public Mounter {
public:
    std::optional<std::string> mount(const std::string &) override { return std::nullopt; }
};

// The tree's folders and files; file sizes 1 to 100 bytes, sparse, so the tree costs inodes only. Returns
// the file bytes and, separately, the folders' own sizes, which du adds and the statistics do not.
bool makeTree(const fs::path &tree, uint64_t &fileBytes, uint64_t &folderBytes) {
    fileBytes = 0;
    folderBytes = 0;
    std::error_code error;
    fs::create_directories(tree, error);
    if (error)
        return false;
    for (int folder = 0; folder < kFolders; ++folder) {
        const fs::path path = tree / ("D" + std::to_string(folder));
        if (!fs::create_directory(path, error))
            return false;
        for (int file = 0; file < kFilesPerFolder; ++file) {
            const uint64_t size = static_cast<uint64_t>((folder * kFilesPerFolder + file) * 37 % 100 + 1);
            const std::string name = (path / ("F" + std::to_string(file) + ".DAT")).string();
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd < 0)
                return false;
            const bool sized = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
            if (::close(fd) != 0 || !sized)
                return false;
            fileBytes += size;
        }
    }
    // Sizes taken after the files exist: a folder grows with its entries.
    for (const fs::path &folder : fs::recursive_directory_iterator(tree)) {
        struct stat status {};
        if (fs::is_directory(folder) && ::stat(folder.c_str(), &status) == 0)
            folderBytes += static_cast<uint64_t>(status.st_size);
    }
    struct stat status {};
    if (::stat(tree.c_str(), &status) != 0)
        return false;
    folderBytes += static_cast<uint64_t>(status.st_size);
    return true;
}

double medianMs(const std::function<void()> &run) {
    run(); // warm the caches
    std::vector<double> times;
    for (int i = 0; i < kRepetitions; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

std::optional<uint64_t> duBytes(const fs::path &tree) {
    const auto output = programOutput({"du", "-s", "--apparent-size", "-b", tree.string()});
    if (!output || output->empty() || !std::isdigit(static_cast<unsigned char>(output->front())))
        return std::nullopt;
    return std::strtoull(output->c_str(), nullptr, 10);
}

int run(const fs::path &tree) {
    uint64_t fileBytes = 0;
    uint64_t folderBytes = 0;
    std::printf("making %d files in %d folders below %s\n", kFolders * kFilesPerFolder, kFolders,
                tree.c_str());
    if (!makeTree(tree, fileBytes, folderBytes)) {
        std::fprintf(stderr, "could not make the tree\n");
        return 1;
    }

    RefusingMounter mounter;
    LinuxVolumeServices volumes("/", mounter);
    LinuxDirectorySearch search(volumes);
    DirStats stats;
    const double walkMs = medianMs([&] { stats = summariseTree(search, tree.string()); });
    std::optional<uint64_t> du;
    const double duMs = medianMs([&] { du = duBytes(tree); });

    std::printf("CollectDirStats, LinuxDirectorySearch   median %9.3f ms   %s\n", walkMs,
                FormatDirStats(stats).c_str());
    std::printf("du -s --apparent-size -b (spawn, wait)  median %9.3f ms   %s bytes, %llu of them folders\n",
                duMs, du ? std::to_string(*du).c_str() : "?", static_cast<unsigned long long>(folderBytes));
    std::printf("walk / du                               %9.3f (target at most 1.2)\n", walkMs / duMs);

    const int64_t expectedFiles = int64_t{kFolders} * kFilesPerFolder;
    if (stats.totalBytes != fileBytes || stats.dirCount != kFolders ||
        stats.entryCount - stats.dirCount != expectedFiles) {
        std::fprintf(stderr, "the walk found other figures than the tree holds (%llu bytes)\n",
                     static_cast<unsigned long long>(fileBytes));
        return 1;
    }
    if (!du || *du != stats.totalBytes + folderBytes) {
        std::fprintf(stderr, "du's total is not the walk's total plus the folders' own sizes\n");
        return 1;
    }
    return 0;
}

} // namespace

int main() {
    const char *temporary = std::getenv("TMPDIR");
    const fs::path tree = fs::path(temporary && *temporary ? temporary : "/tmp") /
                          ("dravex-dirstats-bench-" + std::to_string(::getpid()));
    const int result = run(tree);
    std::error_code ignored;
    fs::remove_all(tree, ignored);
    return result;
}
