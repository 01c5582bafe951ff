#include "helpers/helperrecord.h"

#include "platform/linux/process/helperenvironment.h"
#include "platform/linux/record/recordtexts.h"
#include "record/localjournal.h"
#include "record/recordplaces.h"

#include <cstdlib>
#include <filesystem>

namespace dravex {

std::string LastLineBuffer::lastLine() const {
    const bool current = m_current.find_first_not_of(" \t\r") != std::string::npos;
    return current ? m_current : m_last;
}

void LastLineBuffer::keep(char c) {
    if (c != '\n') {
        m_current += c;
        return;
    }
    if (m_current.find_first_not_of(" \t\r") != std::string::npos)
        m_last = m_current;
    m_current.clear();
}

int LastLineBuffer::overflow(int c) {
    if (c == traits_type::eof())
        return traits_type::not_eof(c);
    keep(static_cast<char>(c));
    return m_target->sputc(static_cast<char>(c));
}

std::streamsize LastLineBuffer::xsputn(const char *text, std::streamsize count) {
    for (std::streamsize i = 0; i < count; ++i)
        keep(text[i]);
    return m_target->sputn(text, count);
}

std::optional<std::string> helperJournalPath(const SystemRoot &root) {
    const char *folder = std::getenv(kRecordsVariable);
    if (folder && *folder)
        return journalPath(folder);
    if (!root.isWholeMachine())
        return std::nullopt;
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return std::nullopt;
    return journalPath(self.parent_path().string());
}

HelperRecorder::HelperRecorder(const SystemRoot &root, std::string journalPath, RecordedRun run)
    : m_root(root), m_journalPath(std::move(journalPath)), m_run(std::move(run)) {
    if (m_run.letter)
        m_before = describeStick(m_root, *m_run.letter);
}

void HelperRecorder::finish(int exitCode, const std::string &message, std::chrono::milliseconds duration,
                            std::ostream &err) {
    if (!m_run.letter)
        return;
    ProductionRecord record = stampedRecord();
    record.letter = std::string(1, *m_run.letter);
    if (m_before) {
        static_cast<StickFields &>(record) = *m_before;
        const auto after = describeStick(m_root, *m_run.letter);
        if (after && after->diskName == m_before->diskName && after->diskseq == m_before->diskseq) {
            record.fileSystem = after->fileSystem;
            record.label = after->label;
        }
    }
    record.operation = m_run.operation;
    record.parameters = m_run.parameters;
    record.result = std::to_string(exitCode);
    record.message = message;
    record.durationMs = duration.count();

    LocalJournal::Opening opening = LocalJournal::open(m_journalPath);
    std::string error = opening.error;
    const bool written = opening.journal && opening.journal->add(record, error);
    const std::string setAside = opening.journal && opening.setAsideAs.empty() ? opening.journal->takeSetAside()
                                                                               : opening.setAsideAs;
    if (!setAside.empty())
        err << recordtexts::kSetAsidePrefix << std::filesystem::path(setAside).filename().string() << std::endl;
    if (!written)
        err << recordtexts::kUnwritablePrefix << error << std::endl;
}

} // namespace dravex
