#include "platform/linux/udevdevicechangesource.h"

#include <gtest/gtest.h>

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
}

TEST(DrainIntoOneNotification, DrainsWithoutAListener) {
    int left = 3;
    EXPECT_EQ(drainIntoOneNotification([&left] { return left > 0 && left-- > 0; }, {}), 3);
    EXPECT_EQ(left, 0);
}

} // namespace
} // namespace dravex
