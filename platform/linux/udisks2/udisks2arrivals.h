#pragma once

#include <QObject>

#include <functional>

class QDBusMessage;

namespace dravex {

// UDisks2 publishes a stick's file system some time after udev has announced the stick, so the scan that
// the udev event brings may find the stick not yet mountable. This says when UDisks2 has published a file
// system, so that the window scans once more, as Windows announces a volume when it is ready. Without a
// system bus or UDisks2 it never says anything.
class UDisks2Arrivals : public QObject {
    Q_OBJECT

public:
    explicit UDisks2Arrivals(std::function<void()> notify);

private slots:
    void interfacesAdded(const QDBusMessage &message);

private:
    std::function<void()> m_notify;
    bool m_pending = false;
};

} // namespace dravex
