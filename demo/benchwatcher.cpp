#include "demo/benchwatcher.h"

#include <QString>
#include <QTimer>

namespace dravex {

BenchWatcher::BenchWatcher(std::filesystem::path sticksFolder) : m_sticksFolder(std::move(sticksFolder)) {
    m_watcher.addPath(QString::fromStdString(m_sticksFolder.string()));
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { changed(); });
}

void BenchWatcher::setListener(std::function<void()> listener) {
    m_listener = std::move(listener);
}

void BenchWatcher::changed() {
    // A folder removed and made again is no longer watched.
    if (m_watcher.directories().isEmpty())
        m_watcher.addPath(QString::fromStdString(m_sticksFolder.string()));
    if (m_pending)
        return;
    m_pending = true;
    QTimer::singleShot(0, this, [this] {
        m_pending = false;
        ++m_notifications;
        if (m_listener)
            m_listener();
    });
}

} // namespace dravex
