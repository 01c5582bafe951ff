#include "platform/linux/udevdevicechangesource.h"

#include <QSocketNotifier>

#include <libudev.h>

namespace dravex {

int drainIntoOneNotification(const std::function<bool()> &receiveOne, const std::function<void()> &listener) {
    int events = 0;
    while (receiveOne())
        ++events;
    if (events > 0 && listener)
        listener();
    return events;
}

UdevDeviceChangeSource::UdevDeviceChangeSource() {
    m_udev = udev_new();
    if (!m_udev)
        return;
    // "udev" rather than "kernel": by then the udev database, which the scan reads, is up to date.
    m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (!m_monitor || udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "block", nullptr) < 0 ||
        udev_monitor_enable_receiving(m_monitor) < 0) {
        if (m_monitor)
            udev_monitor_unref(m_monitor);
        m_monitor = nullptr;
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { onEventsWaiting(); });
}

UdevDeviceChangeSource::~UdevDeviceChangeSource() {
    m_notifier.reset();
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

void UdevDeviceChangeSource::setListener(std::function<void()> listener) {
    m_listener = std::move(listener);
}

void UdevDeviceChangeSource::onEventsWaiting() {
    // A copy, as the listener may replace itself while it runs.
    const std::function<void()> listener = m_listener;
    // The monitor's socket does not block: receiving answers nothing once it is drained.
    drainIntoOneNotification(
        [this] {
            udev_device *device = udev_monitor_receive_device(m_monitor);
            if (!device)
                return false;
            udev_device_unref(device);
            return true;
        },
        listener);
}

} // namespace dravex
