#include "platform/linux/sysfs/batchnotifier.h"

#include <QSocketNotifier>

namespace dravex {

int drainIntoOneNotification(const std::function<bool()> &receiveOne, const std::function<void()> &listener) {
    int events = 0;
    while (receiveOne())
        ++events;
    if (events > 0 && listener)
        listener();
    return events;
}

BatchNotifier::BatchNotifier(int fd, std::function<bool()> receiveOne, std::function<void()> notify)
    : m_receiveOne(std::move(receiveOne)), m_notify(std::move(notify)),
      m_notifier(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read)) {
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated,
                     [this] { drainIntoOneNotification(m_receiveOne, m_notify); });
}

BatchNotifier::~BatchNotifier() = default;

} // namespace dravex
