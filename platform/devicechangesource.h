#pragma once

#include <functional>

namespace dravex {

// Tells the tool that a device came, went or changed. Each notification is delivered once, on the
// user-interface thread.
class DeviceChangeSource {
public:
    virtual ~DeviceChangeSource() = default;

    // Replaces the listener; an empty function stops the notifications.
    virtual void setListener(std::function<void()> listener) = 0;
};

} // namespace dravex
