#include "station/qastation.h"

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
      m_contentCheck(services.directories, m_table, m_state, [this] { return m_configDialog.contentReference(); }),
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
}

void QaStation::scan() {
    m_scan.chus();
    m_contentCheck.reportMissingReference();
}

void QaStation::loadSettings() {
    m_settings.LoadSettings();
}

void QaStation::watchDeviceChanges(std::function<void()> afterScan) {
    if (!afterScan) {
        m_services.deviceChanges.setListener({});
        return;
    }
    // One complete scan per notification, before anything else happens.
    m_services.deviceChanges.setListener([this, afterScan = std::move(afterScan)] {
        scan();
        afterScan();
    });
}

void QaStation::formatAll(Operator &person) {
    formatAllDrives(m_table, m_state, m_configDialog, m_services.launcher, person);
}

void QaStation::copyAll() {
    copyToAllDrives(m_table, m_state, m_services.volumes, m_services.launcher);
}

void QaStation::relabelAll() {
    relabelAllDrives(m_table, m_state, m_services.volumes, m_scan);
}

void QaStation::testLocks() {
    runLockTest(m_services.files, m_table);
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

void QaStation::showDiskInfo(int row, Operator &person) {
    m_identityLookup.ShowDiskInfo(m_table.slots.at(static_cast<size_t>(row)).letter, person);
}

} // namespace dravex
