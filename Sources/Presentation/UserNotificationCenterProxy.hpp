// UserNotificationCenterProxy: the application's handle on desktop
// notifications. It posts notifications through the default user-notification
// center (on Linux, the desktop's notification server on the session bus),
// withdraws them by rule, and tells its observers when the user activates a
// notification or dismisses its alert.
//
// - Making a proxy makes the center's delegate: the proxy made last receives
//   the center's callbacks; earlier ones still post and remove.
// - schedule() and the removals return at once; their work runs on the main
//   queue in submission order, and is skipped when the proxy is gone by then
//   (so a notification scheduled just before the proxy is released may never
//   be posted).
// - Observers are held weakly and called on the main thread, the most
//   recently added first; a released observer is dropped at the next call.
// - The desktop's server decides how a notification is shown; the proxy asks
//   for it to be shown even while the application is in front.
//
// Thread safety: schedule and removals from any thread; make the proxy, and
// add and remove observers, on the main thread (where observers are called).
//
//   auto proxy = std::make_shared<orvane::UserNotificationCenterProxy>();
//   proxy->addObserver(window);              // a UserNotificationCenterProxyObserver
//   proxy->schedule(note);
//   proxy->removeNotificationsWithIdentifier("sync-finished");
#pragma once

#include "Platform/Notifications/NSUserNotificationCenter.hpp"
#include "Presentation/UserNotificationCenterProxyType.hpp"

#include <memory>

namespace orvane {

class UserNotificationCenterProxyImpl;

class UserNotificationCenterProxy final : public UserNotificationCenterProxyType {
public:
    // Over the default user-notification center.
    UserNotificationCenterProxy();
    // Over another center (tests, or an application's own backend).
    explicit UserNotificationCenterProxy(std::shared_ptr<NSUserNotificationCenter> center);
    ~UserNotificationCenterProxy() override;

    using UserNotificationCenterProxyType::removeNotifications;

    void propagate(const std::shared_ptr<NSUserNotification>& notification) override;
    void schedule(const std::shared_ptr<NSUserNotification>& notification) override;
    void removeNotifications(Predicate where, UserNotificationState state) override;
    void addObserver(const std::shared_ptr<UserNotificationCenterProxyObserver>& observer) override;
    void removeObserver(const std::shared_ptr<UserNotificationCenterProxyObserver>& observer) override;

private:
    std::shared_ptr<UserNotificationCenterProxyImpl> decorated_;
};

}  // namespace orvane
