#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
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

// Copies a folder's content into another, following links as the directory statistics do: a link to a
// file gives a file with the target's bytes, a link to a folder a folder, and a folder already on the
// current path (a link cycle) is created empty and not entered. What the statistics count as an empty
// file, a link leading nowhere or a pipe, socket or device, becomes an empty file. Existing files are
// overwritten. A failure is printed with the path at fault and the copy goes on with the next entry; at
// the end the destination's file system is synced, so a failed write-back is a failure too.
class TreeCopy {
public:
    TreeCopy(CopyOptions options, std::ostream &out, std::ostream &err, CopyHooks hooks = {});

    // True when every entry was copied (and verified).
    bool copy(const std::string &sourceFolder, const std::string &destinationFolder);

    uint64_t filesCopied() const { return m_filesCopied; }
    uint64_t failures() const { return m_failures; }

private:
    using Identity = std::pair<dev_t, ino_t>;

    void copyFolder(const std::string &source, const std::string &destination);
    void copyFile(const std::string &source, const std::string &destination);
    // status: the source's own attributes, when they could be read.
    void copyAsEmptyFile(const std::string &source, const std::string &destination,
                         const struct stat *status);
    bool transfer(int source, int destination);
    bool matches(int source, int destination);
    void fail(const char *what, const std::string &path, int error = 0);

    CopyOptions m_options;
    std::ostream &m_out;
    std::ostream &m_err;
    CopyHooks m_hooks;
    std::vector<char> m_buffer;
    std::vector<char> m_compareBuffer;
    std::vector<Identity> m_currentPath;
    Identity m_destinationRoot{};
    uint64_t m_filesCopied = 0;
    uint64_t m_failures = 0;
};

} // namespace dravex
