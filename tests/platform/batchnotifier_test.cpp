#include "platform/linux/sysfs/batchnotifier.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <gtest/gtest.h>

#include <chrono>
#include <sys/socket.h>
#include <unistd.h>

namespace dravex {
namespace {

TEST(DrainIntoOneNotification, OneNotificationPerBatch) {
    for (int waiting : {0, 1, 2, 50}) {
        SCOPED_TRACE(waiting);
        int left = waiting;
        int notifications = 0;
        int eventsLeftAtNotification = -1;
        const int drained = drainIntoOneNotification([&left] { return left > 0 && left-- > 0; },
                                                     [&] {
                                                         ++notifications;
                                                         eventsLeftAtNotification = left;
                                                     });
        EXPECT_EQ(drained, waiting);
        EXPECT_EQ(left, 0);
        EXPECT_EQ(notifications, waiting > 0 ? 1 : 0);
        // The listener hears of the batch only once every event of it has been taken.
        EXPECT_EQ(eventsLeftAtNotification, waiting > 0 ? 0 : -1);
    }
    int left = 3;
    EXPECT_EQ(drainIntoOneNotification([&left] { return left > 0 && left-- > 0; }, {}), 3) << "no listener";
}

// A datagram socket pair stands in for the udev monitor's socket.
class BatchNotifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, m_sockets), 0);
    }
    void TearDown() override {
        ::close(m_sockets[0]);
        ::close(m_sockets[1]);
    }

    void send(int count) {
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(::write(m_sockets[1], "e", 1), 1);
    }

    bool receiveOne() {
        char byte = 0;
        if (::read(m_sockets[0], &byte, 1) != 1)
            return false;
        ++m_received;
        return true;
    }

    // Runs the event loop until a notification arrives or a generous deadline passes.
    void runUntilNotified(int notifications) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (m_notifications < notifications && std::chrono::steady_clock::now() < deadline)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        // Whatever else is pending, so a second notification for the same batch would show.
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    int m_sockets[2] = {-1, -1};
    int m_received = 0;
    int m_notifications = 0;
};

TEST_F(BatchNotifierTest, EachBurstIsOneNotification) {
    int argc = 1;
    char name[] = "platform_tests";
    char *argv[] = {name, nullptr};
    QCoreApplication application(argc, argv);
    BatchNotifier notifier(
        m_sockets[0], [this] { return receiveOne(); }, [this] { ++m_notifications; });

    send(5);
    runUntilNotified(1);
    EXPECT_EQ(m_notifications, 1);
    EXPECT_EQ(m_received, 5);

    send(2);
    runUntilNotified(2);
    EXPECT_EQ(m_notifications, 2);
    EXPECT_EQ(m_received, 7);
}

} // namespace
} // namespace dravex
