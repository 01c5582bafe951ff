#include "platform/linux/udisks2/udisks2mounter.h"

#include "platform/linux/debuglog.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QVariantMap>

#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>

namespace dravex {

namespace {

// Long enough for a slow stick to mount, short enough that a hung service does not freeze the scan.
constexpr int kMountTimeoutMs = 5000;
// The scan hears of a new stick from udev at the same moment as UDisks2 does, and often asks before the
// service has published the stick's object: it is given this long to catch up, as long as the kernel still
// has the device. Past it, the scan that UDisks2's own announcement brings mounts the stick.
constexpr auto kCatchUpTime = std::chrono::seconds(3);
constexpr auto kCatchUpStep = std::chrono::milliseconds(50);

bool isAsciiAlphanumeric(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Where UDisks2 says a file system is mounted: someone mounted it between our look and our asking.
std::optional<std::string> firstMountPoint(QDBusConnection &bus, const QString &path) {
    QDBusMessage get = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.UDisks2"), path,
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << QStringLiteral("org.freedesktop.UDisks2.Filesystem") << QStringLiteral("MountPoints");
    const QDBusMessage reply = bus.call(get, QDBus::Block, kMountTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const QDBusArgument points =
        reply.arguments().constFirst().value<QDBusVariant>().variant().value<QDBusArgument>();
    std::optional<std::string> first;
    points.beginArray();
    while (!points.atEnd()) {
        QByteArray point;
        points >> point;
        // UDisks2 ends each path with a NUL byte.
        if (!first && !point.isEmpty())
            first = std::string(point.constData());
    }
    points.endArray();
    return first;
}

} // namespace

std::string udisks2BlockObjectPath(const std::string &kernelName) {
    std::string path = "/org/freedesktop/UDisks2/block_devices/";
    for (char c : kernelName) {
        if (isAsciiAlphanumeric(c)) {
            path += c;
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "_%02x", static_cast<unsigned char>(c));
            path += escaped;
        }
    }
    return path;
}

std::optional<std::string> UDisks2Mounter::mount(const std::string &volumeKernelName) {
    if (volumeKernelName.empty())
        return std::nullopt;
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        debugPlatform("UDisks2 Mount", volumeKernelName + ": no system bus");
        return std::nullopt;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.UDisks2"),
        QString::fromStdString(udisks2BlockObjectPath(volumeKernelName)),
        QStringLiteral("org.freedesktop.UDisks2.Filesystem"), QStringLiteral("Mount"));
    call << QVariantMap{};
    const auto deadline = std::chrono::steady_clock::now() + kCatchUpTime;
    QDBusMessage reply = bus.call(call, QDBus::Block, kMountTimeoutMs);
    while (reply.type() == QDBusMessage::ErrorMessage && std::chrono::steady_clock::now() < deadline) {
        const QDBusError::ErrorType error = QDBusError(reply).type();
        if (error != QDBusError::UnknownObject && error != QDBusError::UnknownInterface)
            break;
        if (::access(("/sys/class/block/" + volumeKernelName).c_str(), F_OK) != 0)
            break;
        std::this_thread::sleep_for(kCatchUpStep);
        reply = bus.call(call, QDBus::Block, kMountTimeoutMs);
    }
    if (reply.errorName() == QStringLiteral("org.freedesktop.UDisks2.Error.AlreadyMounted"))
        return firstMountPoint(bus, call.path());
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        debugPlatform("UDisks2 Mount", volumeKernelName + ": " + reply.errorName().toStdString() + " " +
                                           reply.errorMessage().toStdString());
        return std::nullopt;
    }
    const QString mountPath = reply.arguments().constFirst().toString();
    if (mountPath.isEmpty())
        return std::nullopt;
    return mountPath.toStdString();
}

} // namespace dravex
