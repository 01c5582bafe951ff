#pragma once

#include "platform/devicechangesource.h"

#include <functional>
#include <memory>

struct udev;
struct udev_monitor;

namespace dravex {

class BatchNotifier;
class UDisks2Arrivals;

// Block-device changes from the udev daemon's monitor, delivered on the thread that created the source
// (it needs a Qt event loop), one notification for each burst of events; and one when UDisks2 has
// published the file systems of a stick, which it does after udev. Where no monitor can be had, e.g.
// without a udev daemon, it never notifies of udev's events.
class UdevDeviceChangeSource : public DeviceChangeSource {
public:
    UdevDeviceChangeSource();
    ~UdevDeviceChangeSource() override;
    UdevDeviceChangeSource(const UdevDeviceChangeSource &) = delete;
    UdevDeviceChangeSource &operator=(const UdevDeviceChangeSource &) = delete;

    void setListener(std::function<void()> listener) override;

private:
    udev *m_udev = nullptr;
    udev_monitor *m_monitor = nullptr;
    std::unique_ptr<BatchNotifier> m_batches;
    std::unique_ptr<UDisks2Arrivals> m_arrivals;
    std::function<void()> m_listener;
};

} // namespace dravex
