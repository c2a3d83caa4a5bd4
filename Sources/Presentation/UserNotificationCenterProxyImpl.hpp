// UserNotificationCenterProxyImpl: the object behind UserNotificationCenterProxy
// (internal). It is the user-notification center's delegate from the moment
// it is made — the center holds one delegate, so the implementation made last
// gets the callbacks — and turns activations and alert dismissals into
// propagations to its observers.
//
// Scheduling and removals are blocks on the main queue that hold the
// implementation weakly: they run in submission order, and one that runs after
// the implementation is gone does nothing.
//
// Thread safety: schedule and the removals may be called from any thread;
// observers are added, removed and propagated to under MulticastDelegate's
// rules (one thread at a time; the center propagates on the main thread).
#pragma once

#include "Concurrency/MulticastDelegate.hpp"
#include "Platform/Foundation/NSObject.hpp"
#include "Platform/Notifications/NSUserNotificationCenter.hpp"
#include "Presentation/UserNotificationCenterProxyType.hpp"

#include <memory>

namespace orvane {

class DispatchQueue;

class UserNotificationCenterProxyImpl final : public NSObject,
                                              public UserNotificationCenterProxyType,
                                              public NSUserNotificationCenterDelegate {
public:
    static std::shared_ptr<UserNotificationCenterProxyImpl> create(
        std::shared_ptr<NSUserNotificationCenter> center);

    using UserNotificationCenterProxyType::removeNotifications;

    void propagate(const std::shared_ptr<NSUserNotification>& notification) override;
    void schedule(const std::shared_ptr<NSUserNotification>& notification) override;
    void removeNotifications(Predicate where, UserNotificationState state) override;
    void addObserver(const std::shared_ptr<UserNotificationCenterProxyObserver>& observer) override;
    void removeObserver(const std::shared_ptr<UserNotificationCenterProxyObserver>& observer) override;

    // The center's callbacks.
    bool shouldPresentNotification(NSUserNotificationCenter&,
                                   const std::shared_ptr<NSUserNotification>&) override;
    void didDeliverNotification(NSUserNotificationCenter&,
                                const std::shared_ptr<NSUserNotification>&) override;
    void didActivateNotification(NSUserNotificationCenter&,
                                 const std::shared_ptr<NSUserNotification>& notification) override;
    void didDismissAlert(NSUserNotificationCenter&,
                         const std::shared_ptr<NSUserNotification>& notification) override;

private:
    explicit UserNotificationCenterProxyImpl(std::shared_ptr<NSUserNotificationCenter> center);

    std::shared_ptr<DispatchQueue> workQueue_;
    std::shared_ptr<NSUserNotificationCenter> center_;
    MulticastDelegate<UserNotificationCenterProxyObserver> observers_;
};

}  // namespace orvane
