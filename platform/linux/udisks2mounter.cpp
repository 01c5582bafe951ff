#include "platform/linux/udisks2mounter.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

#include <cstdio>

namespace dravex {

namespace {

// Long enough for a slow stick to mount, short enough that a hung service does not freeze the scan.
constexpr int kMountTimeoutMs = 5000;

bool isAsciiAlphanumeric(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
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
    if (!bus.isConnected())
        return std::nullopt;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.UDisks2"),
        QString::fromStdString(udisks2BlockObjectPath(volumeKernelName)),
        QStringLiteral("org.freedesktop.UDisks2.Filesystem"), QStringLiteral("Mount"));
    call << QVariantMap{};
    const QDBusMessage reply = bus.call(call, QDBus::Block, kMountTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    const QString mountPath = reply.arguments().constFirst().toString();
    if (mountPath.isEmpty())
        return std::nullopt;
    return mountPath.toStdString();
}

} // namespace dravex
