// UserNotificationCenterProxyObserver: what learns of the notifications a
// user-notification proxy propagates — the ones the user activated or whose
// alert the user dismissed. Held weakly by the proxy; called on the thread
// that propagates (the main thread for the center's callbacks).
#pragma once

#include <memory>

namespace orvane {

class NSUserNotification;

class UserNotificationCenterProxyObserver {
public:
    virtual ~UserNotificationCenterProxyObserver() = default;
    virtual void didPropagate(const std::shared_ptr<NSUserNotification>& notification) = 0;
};

}  // namespace orvane
