#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace dravex {

// The xcopy switches the tool passes, "/v/h/e/f/k".
struct CopyOptions {
    bool verify = false;        // /v: read every copied file back from the medium and compare
    bool includeHidden = false; // /h: names starting with "." too
    bool recurse = false;       // /e: every folder, empty ones included
    bool listNames = false;     // /f: "source -> destination" for every file
    bool keepTimes = false;     // /k: the source's modification times
};

// Points where tests step in; a production run leaves them empty.
struct CopyHooks {
    std::function<void(const std::string &sourcePath)> beforeFile;
    std::function<void(const std::string &destinationPath)> beforeVerify;
};

// Copies a folder's content into another. Every folder is walked through open folder descriptors, so a
// name is never read as a path ("c\d" is one name) and depth is not limited by the length of a path.
//
// Source links are followed as the directory statistics follow them: a link to a file gives a file with
// the target's bytes, a link to a folder a folder. A link is not followed off the source's file system (a
// link to /sys or /proc), and a folder is entered through a link only once per copy, so links that branch
// cannot multiply the walk; a folder not entered that way (or already on the current path: a link cycle)
// is created empty. What the statistics count as an empty file, a link leading nowhere or off the file
// system to a file, a pipe, socket or device, becomes an empty file.
//
// On the destination nothing is ever followed: a link, pipe, socket or device at a name the copy needs is
// removed and a real file or folder made in its place; an existing file is overwritten. Names in one
// folder that differ only in letter case would overwrite each other on a FAT stick: the first (in byte
// order) is copied and the others are reported and left out. A failure is printed with the path at fault
// and the copy goes on with the next entry.
//
// With /v the whole tree is copied first; then the destination's file system is flushed once (a failed
// write-back is a failure too), and every copied file is opened again by the names it was copied under,
// dropped from the cache and compared with its source, in the order it was written, which on a freshly
// filled stick is the order its clusters lie in. A file that no longer is the one written, or whose bytes
// differ, is reported by name. One flush and one read-back pass per stick, so ten copies at once do not
// queue behind each other's flushes.
class TreeCopy {
public:
    TreeCopy(CopyOptions options, std::ostream &out, std::ostream &err, CopyHooks hooks = {});

    // True when every entry was copied (and verified).
    bool copy(const std::string &sourceFolder, const std::string &destinationFolder);

    uint64_t filesCopied() const { return m_filesCopied; }
    uint64_t failures() const { return m_failures; }

    // Counts a failure and prints it: what failed, the path at fault and, unless 0, the system's reason.
    void fail(const char *what, const std::string &path, int error = 0);

private:
    using Identity = std::pair<dev_t, ino_t>;
    struct SourceEntry;
    // An open folder and its path, the path only for messages.
    struct Folder {
        int fd = -1;
        std::string path;
    };

    // A folder the copy entered, by its name in the folder above, so the check can open it again.
    struct CopiedFolder {
        size_t parent = 0;
        std::string name;
        bool throughLink = false; // entered through a link in the source
        std::string destinationPath; // for the messages
    };
    // A file written, to be read back by /v; an empty stand-in has no source to compare with.
    struct WrittenFile {
        size_t folder = 0;
        std::string name;
        bool sourceIsLink = false;
        bool hasSource = false;
        Identity source{};
        Identity destination{};
    };
    class FolderChain;

    void copyFolder(const Folder &source, const Folder &destination);
    // Copies a subfolder, noting it for the check by /v.
    void copyFolderBelow(const SourceEntry &entry, const Folder &source, const Folder &destination);
    // Closes a file just written: with /v it waits for the check, else it counts as copied.
    void finishFile(int out, bool copied, const std::string &destinationPath, WrittenFile file);
    void verifyAll(const Folder &source, const Folder &destination);
    bool verifyFile(const WrittenFile &file, FolderChain &sources, FolderChain &destinations);
    // Skips (and reports) entries whose names collide with an earlier one once letter case is ignored.
    void dropCaseCollisions(const std::string &sourcePath, std::vector<SourceEntry> &entries);
    bool shouldEnter(const SourceEntry &entry);
    void copyFile(const Folder &source, const SourceEntry &entry, const Folder &destination,
                  std::set<Identity> &written);
    void copyAsEmptyFile(const SourceEntry &entry, const std::string &sourcePath, const Folder &destination,
                         std::set<Identity> &written);
    // The destination's file of that name opened for writing, a link or special file there replaced by a
    // new file; -1 with the failure printed. written: what this copy already wrote in that folder.
    int openDestinationFile(const Folder &destination, const std::string &name, const std::string &sourcePath,
                            std::set<Identity> &written);
    int openDestinationFolder(const Folder &destination, const std::string &name,
                              const std::string &sourcePath, std::set<Identity> &written);
    // fd itself when it is open on an entry of that kind that this copy has not yet written in that folder
    // under another name; else -1, fd closed and the failure printed.
    int claimDestination(int fd, mode_t kind, const char *what, const std::string &path,
                         const std::string &sourcePath, std::set<Identity> &written);
    bool transfer(int source, int destination);
    bool matches(int source, int destination);

    CopyOptions m_options;
    std::ostream &m_out;
    std::ostream &m_err;
    CopyHooks m_hooks;
    std::vector<char> m_buffer;
    std::vector<char> m_compareBuffer;
    std::vector<Identity> m_currentPath;
    std::vector<CopiedFolder> m_folders;
    size_t m_currentFolder = 0;
    std::vector<WrittenFile> m_written;
    std::set<Identity> m_enteredThroughLink;
    dev_t m_sourceDevice = 0;
    Identity m_destinationRoot{};
    uint64_t m_filesCopied = 0;
    uint64_t m_failures = 0;
};

} // namespace dravex
