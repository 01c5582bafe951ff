#include "platform/linux/udisks2/udisks2diskactions.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QVariantMap>

#include <chrono>
#include <thread>

namespace dravex {

namespace {

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
const QString kFilesystem = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString kDrive = QStringLiteral("org.freedesktop.UDisks2.Drive");
// Long enough for a stick to write back its cache on unmount; a hung service must not hang the helper.
constexpr int kCallTimeoutMs = 30000;
// Short: relabelling runs while the operator waits for the window.
constexpr int kLabelTimeoutMs = 5000;
// Whether the service is there at all: an activated service answers well within this.
constexpr int kPingTimeoutMs = 5000;
// How long a helper keeps asking UDisks2 to mount a volume it has just rewritten.
constexpr auto kMountPatience = std::chrono::seconds(10);
constexpr auto kMountRetryStep = std::chrono::milliseconds(200);
// Unmount takes one mount point per call.
constexpr int kMaximumUnmounts = 16;

QString blockPath(const std::string &kernelName) {
    return QString::fromStdString(udisks2BlockObjectPath(kernelName));
}

std::optional<QDBusMessage> call(const QString &path, const QString &interface, const QString &method,
                                 const QVariantList &arguments, int timeoutMs) {
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return std::nullopt;
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    return bus.call(message, QDBus::Block, timeoutMs);
}

bool succeeded(const std::optional<QDBusMessage> &reply) {
    return reply && reply->type() == QDBusMessage::ReplyMessage;
}

std::optional<QVariant> property(const QString &path, const QString &interface, const QString &name) {
    const auto reply = call(path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                            {interface, name}, kCallTimeoutMs);
    if (!succeeded(reply) || reply->arguments().isEmpty())
        return std::nullopt;
    return reply->arguments().constFirst().value<QDBusVariant>().variant();
}

std::optional<QString> drivePath(const std::string &diskKernelName) {
    const auto drive = property(blockPath(diskKernelName), QStringLiteral("org.freedesktop.UDisks2.Block"),
                                QStringLiteral("Drive"));
    if (!drive)
        return std::nullopt;
    const QString path = drive->value<QDBusObjectPath>().path();
    if (path.isEmpty() || path == QStringLiteral("/"))
        return std::nullopt;
    return path;
}

bool driveCall(const std::string &diskKernelName, const QString &method) {
    const auto drive = drivePath(diskKernelName);
    return drive && succeeded(call(*drive, kDrive, method, {QVariantMap{}}, kCallTimeoutMs));
}

} // namespace

std::optional<std::string> UDisks2DiskActions::mount(const std::string &volumeKernelName) {
    // Right after a helper rewrote the disk, UDisks2 hears of the new file system some time after udev,
    // and a mount it is asked for meanwhile fails. A helper has the time to ask again.
    const auto deadline = std::chrono::steady_clock::now() + kMountPatience;
    for (;;) {
        if (auto mounted = m_mounter.mount(volumeKernelName))
            return mounted;
        if (std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(kMountRetryStep);
    }
}

bool UDisks2DiskActions::flush(const std::string &mountPath) {
    return flushFileSystem(mountPath);
}

bool UDisks2DiskActions::unmount(const std::string &volumeKernelName) {
    for (int i = 0; i < kMaximumUnmounts; ++i) {
        const auto reply = call(blockPath(volumeKernelName), kFilesystem, QStringLiteral("Unmount"),
                                {QVariantMap{}}, kCallTimeoutMs);
        if (!reply)
            return false;
        if (reply->type() != QDBusMessage::ReplyMessage)
            return reply->errorName() == QStringLiteral("org.freedesktop.UDisks2.Error.NotMounted");
    }
    return false;
}

bool UDisks2DiskActions::powerOff(const std::string &diskKernelName) {
    return driveCall(diskKernelName, QStringLiteral("PowerOff"));
}

bool UDisks2DiskActions::eject(const std::string &diskKernelName) {
    return driveCall(diskKernelName, QStringLiteral("Eject"));
}

bool UDisks2DiskActions::closeHolder(const std::string &volumeKernelName,
                                     const std::string &holderKernelName) {
    const auto backing =
        property(blockPath(holderKernelName), QStringLiteral("org.freedesktop.UDisks2.Block"),
                 QStringLiteral("CryptoBackingDevice"));
    if (!backing || backing->value<QDBusObjectPath>().path() != blockPath(volumeKernelName))
        return false;
    if (!unmount(holderKernelName))
        return false;
    return succeeded(call(blockPath(volumeKernelName), QStringLiteral("org.freedesktop.UDisks2.Encrypted"),
                          QStringLiteral("Lock"), {QVariantMap{}}, kCallTimeoutMs));
}

bool udisks2Reachable() {
    // A ping starts the service when the bus activates it on demand, as it does on most desktops.
    return succeeded(call(QStringLiteral("/org/freedesktop/UDisks2"),
                          QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"), {},
                          kPingTimeoutMs));
}

std::optional<bool> udisks2SetLabel(const std::string &volumeKernelName, const std::string &label) {
    const QVariantList arguments{QString::fromStdString(label), QVariantMap{}};
    auto reply = call(blockPath(volumeKernelName), kFilesystem, QStringLiteral("SetLabel"), arguments,
                      kLabelTimeoutMs);
    if (!reply || reply->type() == QDBusMessage::InvalidMessage)
        return std::nullopt;
    // UDisks2 labels FAT and exFAT only while they are not mounted, where Windows relabels a volume in use:
    // the volume is unmounted for the label and mounted again, as UDisks2 names the mount after the label.
    if (reply->type() == QDBusMessage::ErrorMessage &&
        reply->errorName() == QStringLiteral("org.freedesktop.UDisks2.Error.NotSupported")) {
        UDisks2DiskActions actions;
        if (!actions.unmount(volumeKernelName))
            return false;
        reply = call(blockPath(volumeKernelName), kFilesystem, QStringLiteral("SetLabel"), arguments,
                     kLabelTimeoutMs);
        actions.mount(volumeKernelName);
        if (!reply)
            return false;
    }
    if (reply->type() == QDBusMessage::ErrorMessage) {
        const QDBusError::ErrorType error = QDBusError(*reply).type();
        if (error == QDBusError::ServiceUnknown || error == QDBusError::NoReply ||
            error == QDBusError::Timeout)
            return std::nullopt;
        return false;
    }
    return true;
}

} // namespace dravex
