#pragma once

#include "platform/devicechangesource.h"

#include <functional>
#include <memory>

class QSocketNotifier;
struct udev;
struct udev_monitor;

namespace dravex {

// Takes every event waiting (receiveOne answers false when none is left) and tells the listener once
// for the whole batch: plugging a stick in brings a burst of events, and the tool should rescan once.
// Returns how many events were taken.
int drainIntoOneNotification(const std::function<bool()> &receiveOne, const std::function<void()> &listener);

// Block-device changes from the udev daemon's monitor, delivered on the thread that created the source
// (it needs a Qt event loop). Where no monitor can be had, e.g. without a udev daemon, it never notifies.
class UdevDeviceChangeSource : public DeviceChangeSource {
public:
    UdevDeviceChangeSource();
    ~UdevDeviceChangeSource() override;
    UdevDeviceChangeSource(const UdevDeviceChangeSource &) = delete;
    UdevDeviceChangeSource &operator=(const UdevDeviceChangeSource &) = delete;

    void setListener(std::function<void()> listener) override;

private:
    void onEventsWaiting();

    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_listener;
};

} // namespace dravex
