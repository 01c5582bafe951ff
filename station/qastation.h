#pragma once

#include "config/configdialog.h"
#include "config/settingsfiles.h"
#include "model/drivetable.h"
#include "model/mainwindowstate.h"
#include "model/operator.h"
#include "model/variant.h"
#include "platform/platformservices.h"
#include "scan/contentcheck.h"
#include "scan/drivescan.h"
#include "usbid/usbidentitylookup.h"

#include <chrono>
#include <functional>
#include <string>

namespace dravex {

// A QA station: one PC with its ten slots for sticks, and every command the tool offers on them. It owns
// the models (drive table, main-window state, configuration dialog) and wires the logic to the machine's
// services; a window mirrors the models and forwards the operator's commands here. Every command returns
// when it is done, leaving its result in the models.
class QaStation {
public:
    // The services must outlive the station.
    QaStation(Variant variant, PlatformServices &services);
    ~QaStation();
    QaStation(const QaStation &) = delete;
    QaStation &operator=(const QaStation &) = delete;

    Variant variant() const { return m_variant; }
    PlatformServices &services() { return m_services; }
    DriveTable &driveTable() { return m_table; }
    const DriveTable &driveTable() const { return m_table; }
    MainWindowState &state() { return m_state; }
    const MainWindowState &state() const { return m_state; }
    ConfigDialog &configDialog() { return m_configDialog; }
    SettingsFiles &settings() { return m_settings; }

    // Rebuilds the drive table from the drives present (F5, and every plug and pull once watched), with
    // each stick's capacity report.
    void scan();
    // Start-up: reads the settings files into the status panels and the configuration dialog.
    void loadSettings();
    // From now on every device change rescans, and every capacity report that arrives is shown, then
    // afterScan is told; an empty function stops watching.
    void watchDeviceChanges(std::function<void()> afterScan);

    void formatAll(Operator &person); // F2
    void capacityCheckAll();          // F3
    void copyAll();                   // F4
    void relabelAll();                // F6
    void testLocks();                 // F7
    void ejectAll();                  // F8
    void ejectOne(int row);           // a click on a row number
    // "内部附有文件" ticked or cleared: checks every listed stick against the customer folder, or clears.
    void checkContents();
    // Asks the production record for its note to the operator; true when the note changed.
    bool refreshRecordNote();
    // A double-click on a row's identity: the description of the stick's disk; nothing for an empty row.
    void showDiskInfo(int row, Operator &person);

private:
    void recordContentCheck(const DriveSlot &slot, const std::string &reference, std::chrono::milliseconds duration);

    Variant m_variant;
    PlatformServices &m_services;
    DriveTable m_table;
    MainWindowState m_state;
    DriveScan m_scan;
    ConfigDialog m_configDialog;
    SettingsFiles m_settings;
    ContentCheck m_contentCheck;
    UsbIdentityLookup m_identityLookup;
};

} // namespace dravex
