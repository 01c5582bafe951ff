#pragma once

#include "platform/capacityreports.h"
#include "platform/linux/sysfs/drivemap.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

class QFileSystemWatcher;

namespace dravex {

// The reports the capacity checks leave, as files in a folder of the tool's own: made at start-up below
// $XDG_RUNTIME_DIR (or /tmp when that cannot take it) for the operator alone, and removed with its files
// at the end. The
// launcher names it to the helpers (kCapacityReportsVariable). A report belongs to its stick by the disk's
// name and diskseq (capacityReportFileName), so once a stick is pulled, or plugged in again, its letter
// has no report.
class LinuxCapacityReports : public CapacityReports {
public:
    // The drive map of the tool's last scan: what each letter names now.
    using CurrentDriveMap = std::function<const DriveMap &()>;

    explicit LinuxCapacityReports(CurrentDriveMap driveMap);
    ~LinuxCapacityReports() override;
    LinuxCapacityReports(const LinuxCapacityReports &) = delete;
    LinuxCapacityReports &operator=(const LinuxCapacityReports &) = delete;

    // Empty when no folder could be made: then no helper learns of one and no report ever arrives.
    const std::string &folder() const { return m_folder; }

    // Nothing when the letter names no stick, or its stick has no report or one that cannot be read.
    std::optional<CapacityReport> reportFor(const std::string &letter) override;
    // Told whenever the folder changes: a report arrived or was replaced.
    void setListener(std::function<void()> listener) override;

private:
    CurrentDriveMap m_driveMap;
    std::string m_folder;
    std::unique_ptr<QFileSystemWatcher> m_watcher;
    std::function<void()> m_listener;
};

} // namespace dravex
