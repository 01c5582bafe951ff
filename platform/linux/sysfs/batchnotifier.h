#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace dravex {

// Takes every event waiting (receiveOne answers false when none is left) and tells the listener once
// for the whole batch: plugging a stick in brings a burst of events, and the tool should rescan once.
// Returns how many events were taken.
int drainIntoOneNotification(const std::function<bool()> &receiveOne, const std::function<void()> &listener);

// Watches a descriptor on the Qt event loop of the creating thread; at each wake-up drains it into one
// notification. receiveOne must not block.
class BatchNotifier {
public:
    BatchNotifier(int fd, std::function<bool()> receiveOne, std::function<void()> notify);
    ~BatchNotifier();
    BatchNotifier(const BatchNotifier &) = delete;
    BatchNotifier &operator=(const BatchNotifier &) = delete;

private:
    std::function<bool()> m_receiveOne;
    std::function<void()> m_notify;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace dravex
