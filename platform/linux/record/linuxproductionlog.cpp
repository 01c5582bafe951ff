#include "platform/linux/record/linuxproductionlog.h"

#include "platform/linux/record/recordtexts.h"
#include "platform/linux/record/stickdescription.h"
#include "record/recordplaces.h"

#include <filesystem>

namespace dravex {

namespace {

// Beyond this many the oldest unwritten records go: a disk that stays full must not fill the memory too.
constexpr size_t kMostUnwritten = 10000;

} // namespace

LinuxProductionLog::LinuxProductionLog(const std::string &programFolder, Inventory inventory, SystemRoot root)
    : m_inventory(std::move(inventory)), m_root(std::move(root)), m_journalPath(journalPath(programFolder)) {
    openJournal();
    const std::string server = readServerSettings(programFolder);
    if (!server.empty())
        m_shipper = std::make_unique<RecordShipper>(m_journalPath, server);
}

LinuxProductionLog::~LinuxProductionLog() = default;

void LinuxProductionLog::openJournal() {
    LocalJournal::Opening opening = LocalJournal::open(m_journalPath);
    if (!opening.setAsideAs.empty())
        m_setAside = opening.setAsideAs;
    if (!opening.journal)
        m_writeProblem = opening.error;
    m_journal = std::move(opening.journal);
}

bool LinuxProductionLog::writeUnwritten() {
    if (!m_journal)
        openJournal();
    while (m_journal && !m_unwritten.empty()) {
        std::string error;
        if (!m_journal->add(m_unwritten.front(), error)) {
            m_writeProblem = error;
            return false;
        }
        m_unwritten.pop_front();
        m_writeProblem.clear();
    }
    if (m_journal) {
        const std::string setAside = m_journal->takeSetAside();
        if (!setAside.empty())
            m_setAside = setAside;
    }
    return m_journal && m_unwritten.empty();
}

void LinuxProductionLog::record(const StickResult &result) {
    ProductionRecord record = stampedRecord();
    const auto stick = describeStick(m_root, m_inventory(), result.letter);
    if (stick)
        static_cast<StickFields &>(record) = *stick;
    else
        record.letter = std::string(1, result.letter);
    if (stick && result.operation == operations::kContentCheck) {
        // The disk's sequence number is new for every medium, so a stick plugged in again is checked anew.
        const std::string disk =
            stick->diskName + ":" + (stick->diskseq ? std::to_string(*stick->diskseq) : "") + ":" + stick->serial;
        std::string outcome = result.result + "\n" + result.message + "\n" + result.parameters;
        std::string &last = m_lastContentChecks[disk];
        if (last == outcome)
            return;
        last = std::move(outcome);
    }
    record.operation = result.operation;
    record.parameters = result.parameters;
    record.result = result.result;
    record.message = result.message;
    record.durationMs = result.duration.count();
    if (m_unwritten.size() >= kMostUnwritten)
        m_unwritten.pop_front();
    m_unwritten.push_back(std::move(record));
    if (writeUnwritten() && m_shipper)
        m_shipper->wake();
}

std::string LinuxProductionLog::note() {
    if (!m_unwritten.empty())
        writeUnwritten();
    std::string note;
    const auto add = [&note](const std::string &text) {
        note += (note.empty() ? "" : recordtexts::kSeparator) + text;
    };
    if (!m_writeProblem.empty())
        add(recordtexts::kUnwritablePrefix + m_writeProblem);
    if (!m_setAside.empty())
        add(recordtexts::kSetAsidePrefix + std::filesystem::path(m_setAside).filename().string());
    const long long waiting =
        (m_shipper ? m_shipper->status().waiting : 0) + static_cast<long long>(m_unwritten.size());
    if (m_shipper && waiting > 0)
        add(recordtexts::kWaitingPrefix + std::to_string(waiting) + recordtexts::kWaitingSuffix);
    return note;
}

} // namespace dravex
