#pragma once

#include "platform/linux/process/linuxcapacityreports.h"
#include "platform/linux/process/linuxlauncher.h"
#include "platform/linux/record/linuxproductionlog.h"
#include "platform/linux/sysfs/udevdevicechangesource.h"
#include "platform/linux/windows/iconvcodepage.h"
#include "platform/linux/windows/linuxdirectorysearch.h"
#include "platform/linux/windows/linuxfileservice.h"
#include "platform/linux/windows/linuxmanagementdata.h"
#include "platform/linux/windows/linuxusbstorageregistry.h"
#include "platform/linux/windows/linuxvolumeservices.h"
#include "platform/platformservices.h"
#include "rig/usbrig.h"
#include "model/operator.h"
#include "ui/form1.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

// Test failures print texts as texts.
inline void PrintTo(const QString &text, std::ostream *out) {
    *out << '"' << text.toStdString() << '"';
}

namespace dravex::rig {

inline QString u(const std::string &utf8) {
    return QString::fromStdString(utf8);
}

// How a program the window started (through the launcher, detached) ended.
struct HelperExit {
    std::string program; // its process name: "format.com", "xcopy", "RemoveDrive.exe"
    int exitCode = -1;   // -1 when a signal ended it
};

// The operator's messages, kept for the test to read.
class RecordingOperator : public Operator {
public:
    bool BrowseForFolder(std::string &, const std::string &) override { return false; }
    void showMessage(const std::string &text, const std::string &title) override {
        messages.push_back(title + ": " + text);
    }
    std::vector<std::string> messages;
};

// The tool as main() builds it, over this guest's real services, with its helper programs (from the
// build) beside it in a program folder of its own. Programs the window starts are adopted by this process
// when their launcher lets go of them, so a test can wait for them and read how they ended.
class Station {
public:
    Station();
    ~Station();

    Form1 &window() { return *m_window; }
    QaStation &qaStation() { return m_station; }
    UsbRig &rig() { return m_rig; }
    RecordingOperator &person() { return m_person; }
    const std::string &programFolder() const { return m_programFolder; }

    // Writes the two settings files (ASCII here) before the window loads them.
    void writeSettings(const std::string &label, const std::string &folder) const;
    // load(): shows the window, scans, reads the settings, listens for device changes.
    void start();

    QString cell(const char *column, int row);
    QStringList column(const char *name, int rows);
    QString text(const char *objectName);
    // Presses a function key in the window; the operation runs to its end before this returns.
    void press(int key);
    // Ticks or clears a check box of the window ("Check1", "Check2") as a click does.
    void click(const char *checkBox);
    // The table's rows and what the machine shows of each stick, for failure messages.
    std::string describe();
    // Runs the event loop until the condition holds; false when the time is up.
    bool waitFor(const std::function<bool()> &condition, std::chrono::milliseconds limit);
    // Runs the event loop until count programs started by the window have ended (false when the time is
    // up) and hands out how they ended. Programs an earlier test left running are reaped when they end, and
    // not counted.
    bool waitForHelpers(size_t count, std::chrono::milliseconds limit, std::vector<HelperExit> &ended);

private:
    UsbRig m_rig;
    std::string m_programFolder;
    LinuxVolumeServices m_volumes;
    LinuxDirectorySearch m_directories{m_volumes};
    LinuxFileService m_files{m_volumes};
    IconvCodePage m_codePage;
    UdevDeviceChangeSource m_deviceChanges;
    LinuxCapacityReports m_capacityReports;
    LinuxProductionLog m_productionLog{m_programFolder,
                                       [this]() -> const DiskInventory & { return m_volumes.inventory(); }};
    LinuxLauncher m_launcher;
    LinuxManagementData m_management{m_volumes};
    LinuxUsbStorageRegistry m_registry{m_volumes};
    PlatformServices m_services;
    QaStation m_station{Variant::V2, m_services};
    RecordingOperator m_person;
    std::unique_ptr<Form1> m_window;
    std::set<pid_t> m_leftovers; // children that were running when this station was made
};

// The built programs' folder (the build tree's top, where format.com, xcopy and RemoveDrive.exe are).
std::string buildFolder();

} // namespace dravex::rig
