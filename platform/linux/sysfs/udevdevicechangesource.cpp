#include "platform/linux/sysfs/udevdevicechangesource.h"

#include "platform/linux/sysfs/batchnotifier.h"
#include "platform/linux/udisks2/udisks2arrivals.h"

#include <libudev.h>

namespace dravex {

UdevDeviceChangeSource::UdevDeviceChangeSource() {
    m_arrivals = std::make_unique<UDisks2Arrivals>([this] {
        const std::function<void()> listener = m_listener;
        if (listener)
            listener();
    });
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
    // The monitor's socket does not block: receiving answers nothing once it is drained.
    m_batches = std::make_unique<BatchNotifier>(
        udev_monitor_get_fd(m_monitor),
        [this] {
            udev_device *device = udev_monitor_receive_device(m_monitor);
            if (!device)
                return false;
            udev_device_unref(device);
            return true;
        },
        [this] {
            // A copy, as the listener may replace itself while it runs.
            const std::function<void()> listener = m_listener;
            if (listener)
                listener();
        });
}

UdevDeviceChangeSource::~UdevDeviceChangeSource() {
    m_arrivals.reset();
    m_batches.reset();
    if (m_monitor)
        udev_monitor_unref(m_monitor);
    if (m_udev)
        udev_unref(m_udev);
}

void UdevDeviceChangeSource::setListener(std::function<void()> listener) {
    m_listener = std::move(listener);
}

} // namespace dravex
