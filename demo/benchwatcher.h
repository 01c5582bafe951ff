#pragma once

#include "platform/devicechangesource.h"

#include <QFileSystemWatcher>
#include <QObject>

#include <filesystem>
#include <functional>

namespace dravex {

// Device changes of a folder-mode bench: every stick that comes, goes or changes rewrites its descriptor
// in the sticks folder, and the watcher sees that folder change. The files on the sticks are not watched,
// as copying files onto a real stick is no device change either. One notification for all the changes
// that arrive in one turn of the event loop.
class BenchWatcher : public QObject, public DeviceChangeSource {
public:
    explicit BenchWatcher(std::filesystem::path sticksFolder);

    void setListener(std::function<void()> listener) override;
    int notifications() const { return m_notifications; }

private:
    void changed();

    std::filesystem::path m_sticksFolder;
    QFileSystemWatcher m_watcher;
    std::function<void()> m_listener;
    bool m_pending = false;
    int m_notifications = 0;
};

} // namespace dravex
