#include "platform/linux/udisks2/udisks2arrivals.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QMap>
#include <QTimer>
#include <QVariantMap>

namespace dravex {

UDisks2Arrivals::UDisks2Arrivals(std::function<void()> notify) : m_notify(std::move(notify)) {
    QDBusConnection::systemBus().connect(
        QStringLiteral("org.freedesktop.UDisks2"), QStringLiteral("/org/freedesktop/UDisks2"),
        QStringLiteral("org.freedesktop.DBus.ObjectManager"), QStringLiteral("InterfacesAdded"), this,
        SLOT(interfacesAdded(QDBusMessage)));
}

void UDisks2Arrivals::interfacesAdded(const QDBusMessage &message) {
    // Only a file system matters: that is what the scan mounts.
    if (message.arguments().size() < 2)
        return;
    const auto interfaces = qdbus_cast<QMap<QString, QVariantMap>>(message.arguments().at(1));
    if (!interfaces.contains(QStringLiteral("org.freedesktop.UDisks2.Filesystem")) || m_pending)
        return;
    // Ten sticks plugged at once publish ten file systems: one scan for the burst.
    m_pending = true;
    QTimer::singleShot(0, this, [this] {
        m_pending = false;
        if (m_notify)
            m_notify();
    });
}

} // namespace dravex
