#include "station/qastation.h"

#include "ops/capacitycheck.h"
#include "ops/copyall.h"
#include "ops/eject.h"
#include "ops/formatall.h"
#include "ops/relabelall.h"
#include "scan/locktest.h"

namespace dravex {

QaStation::QaStation(Variant variant, PlatformServices &services)
    : m_variant(variant), m_services(services), m_scan(services.volumes, m_table, m_state, variant),
      m_configDialog(m_state, services.directories),
      m_settings(services.files, services.codePage, services.programDirectory, m_state, m_configDialog),
      m_contentCheck(
          services.directories, m_table, m_state, [this] { return m_configDialog.contentReference(); },
          [this](const DriveSlot &slot, const std::string &reference, std::chrono::milliseconds duration) {
              recordContentCheck(slot, reference, duration);
          }),
      m_identityLookup(services.management, services.registry) {
    ScanSteps steps;
    steps.checkSlotContents = [this](int row) { m_contentCheck.CheckSlotContents(row); };
    steps.lookupDriveIdentity = [this](const std::string &letter) {
        m_identityLookup.LookupDriveIdentity(letter);
        return m_identityLookup.identity();
    };
    m_scan.setSteps(steps);
}

QaStation::~QaStation() {
    m_services.deviceChanges.setListener({});
    m_services.capacityReports.setListener({});
}

void QaStation::scan() {
    m_scan.chus();
    m_contentCheck.reportMissingReference();
    // The scan writes every row afresh: each stick's report goes back in, and a stick pulled or plugged in
    // again has none.
    applyCapacityReports(m_table, m_services.capacityReports);
}

void QaStation::loadSettings() {
    m_settings.LoadSettings();
}

void QaStation::watchDeviceChanges(std::function<void()> afterScan) {
    if (!afterScan) {
        m_services.deviceChanges.setListener({});
        m_services.capacityReports.setListener({});
        return;
    }
    // One complete scan per notification, before anything else happens.
    m_services.deviceChanges.setListener([this, afterScan] {
        scan();
        afterScan();
    });
    m_services.capacityReports.setListener([this, afterScan] {
        applyCapacityReports(m_table, m_services.capacityReports);
        afterScan();
    });
}

void QaStation::formatAll(Operator &person) {
    formatAllDrives(m_table, m_state, m_configDialog, m_services.launcher, person);
}

void QaStation::capacityCheckAll() {
    startCapacityChecks(m_table, m_state, m_services.launcher);
}

void QaStation::copyAll() {
    copyToAllDrives(m_table, m_state, m_services.volumes, m_services.launcher);
}

void QaStation::relabelAll() {
    relabelAllDrives(m_table, m_state, m_services.volumes, m_scan, m_services.productionLog);
}

void QaStation::testLocks() {
    runLockTest(m_services.files, m_table, [this](const DriveSlot &slot, std::chrono::milliseconds duration) {
        m_services.productionLog.record(
            {slot.letter.front(), operations::kLockTest, {}, slot.checkResult, slot.checkResult, duration});
    });
}

void QaStation::ejectAll() {
    ejectAllDrives(m_state, m_services.volumes, m_services.launcher, m_services.programDirectory);
}

void QaStation::ejectOne(int row) {
    ejectRow(row, m_table, m_state, m_services.launcher, m_services.programDirectory);
}

void QaStation::checkContents() {
    m_contentCheck.Check1Click();
}

// Every verdict goes to the record, the rescans' too: a stick plugged in while the check is ticked gets its
// verdict there. The record keeps a verdict that only repeats the last one of the same stick once.
void QaStation::recordContentCheck(const DriveSlot &slot, const std::string &reference,
                                   std::chrono::milliseconds duration) {
    if (!slot.letter.empty())
        m_services.productionLog.record(
            {slot.letter.front(), operations::kContentCheck, reference, slot.checkResult, slot.contents, duration});
}

bool QaStation::refreshRecordNote() {
    std::string note = m_services.productionLog.note();
    if (note == m_state.recordNote)
        return false;
    m_state.recordNote = std::move(note);
    return true;
}

void QaStation::showDiskInfo(int row, Operator &person) {
    m_identityLookup.ShowDiskInfo(m_table.slots.at(static_cast<size_t>(row)).letter, person);
}

} // namespace dravex
