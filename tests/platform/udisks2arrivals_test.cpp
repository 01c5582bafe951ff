#include "platform/linux/udisks2/udisks2arrivals.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QMap>
#include <QVariantMap>

namespace dravex {
namespace {

using Interfaces = QMap<QString, QVariantMap>;

// UDisks2's announcement of a new object with these interfaces. (From the bus the map comes marshalled;
// the rig's plug tests take that road.)
QDBusMessage interfacesAdded(const QStringList &names) {
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/UDisks2"),
                                                     QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                                     QStringLiteral("InterfacesAdded"));
    Interfaces interfaces;
    for (const QString &name : names)
        interfaces.insert(name, QVariantMap{});
    signal << QVariant::fromValue(
                  QDBusObjectPath(QStringLiteral("/org/freedesktop/UDisks2/block_devices/sdb1")))
           << QVariant::fromValue(interfaces);
    return signal;
}

TEST(UDisks2Arrivals, OneScanForEachBurstOfPublishedFileSystems) {
    int argc = 1;
    char name[] = "platform_tests";
    char *argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    qDBusRegisterMetaType<Interfaces>();
    int notifications = 0;
    UDisks2Arrivals arrivals([&notifications] { ++notifications; });
    const auto deliver = [&arrivals](const QStringList &names) {
        ASSERT_TRUE(QMetaObject::invokeMethod(&arrivals, "interfacesAdded", Qt::DirectConnection,
                                              Q_ARG(QDBusMessage, interfacesAdded(names))));
    };

    // A drive or a partition table alone gives the scan nothing new to mount.
    deliver({QStringLiteral("org.freedesktop.UDisks2.Drive")});
    deliver({QStringLiteral("org.freedesktop.UDisks2.Block"),
             QStringLiteral("org.freedesktop.UDisks2.PartitionTable")});
    QCoreApplication::processEvents();
    EXPECT_EQ(notifications, 0);

    // Three sticks' file systems published together: one notification, once the loop runs.
    for (int i = 0; i < 3; ++i)
        deliver({QStringLiteral("org.freedesktop.UDisks2.Block"),
                 QStringLiteral("org.freedesktop.UDisks2.Filesystem")});
    EXPECT_EQ(notifications, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(notifications, 1);

    // A later one is a new burst.
    deliver({QStringLiteral("org.freedesktop.UDisks2.Filesystem")});
    QCoreApplication::processEvents();
    EXPECT_EQ(notifications, 2);
}

} // namespace
} // namespace dravex
