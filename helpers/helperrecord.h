#pragma once

#include "platform/linux/record/stickdescription.h"
#include "platform/linux/sysfs/systemroot.h"

#include <chrono>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>

namespace dravex {

// What one run of a helper is in the production record: the operation, the drive its command names and
// what is worth keeping of the command (the format's switches, the copy's source folder). A command that
// names no drive touched no stick and leaves no record.
struct RecordedRun {
    const char *operation = nullptr;
    std::optional<char> letter;
    std::string parameters;
};
using RecordedRunOf = RecordedRun (*)(const std::string &commandText);

// Passes everything on to another buffer and keeps the last line that held more than blanks: the line
// the operator read last in the helper's window.
class LastLineBuffer : public std::streambuf {
public:
    explicit LastLineBuffer(std::streambuf *target) : m_target(target) {}
    std::string lastLine() const;

protected:
    int overflow(int c) override;
    std::streamsize xsputn(const char *text, std::streamsize count) override;
    int sync() override { return m_target->pubsync(); }

private:
    void keep(char c);
    std::streambuf *m_target;
    std::string m_current;
    std::string m_last;
};

// The journal a helper writes to: Dravex.db in the folder DRAVEX_RECORDS names (the tool's), else beside
// the helper itself when it works on this machine's disks; nothing below a test's system root without one.
std::optional<std::string> helperJournalPath(const SystemRoot &root);

// One run's record: the stick as it was when the run began (its identity is gone once it is ejected), its
// file system and label as they are at the end when the letter still names the same disk.
class HelperRecorder {
public:
    HelperRecorder(const SystemRoot &root, std::string journalPath, RecordedRun run);
    // Writes the record; a journal that could not take it, or was found damaged and set aside, is told on
    // err. The run's exit code stays what it was.
    void finish(int exitCode, const std::string &message, std::chrono::milliseconds duration, std::ostream &err);

private:
    const SystemRoot &m_root;
    std::string m_journalPath;
    RecordedRun m_run;
    std::optional<StickDescription> m_before;
};

} // namespace dravex
