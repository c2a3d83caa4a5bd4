#include "Presentation/UserNotificationCenterProxyImpl.hpp"

#include "Platform/Dispatch/DispatchQueue.hpp"

#include <vector>

namespace orvane {

namespace {

// Removes the matches of `where` from one list, read once, in list order.
void removeMatches(const NSUserNotificationCenter::Notifications& list,
                   const UserNotificationCenterProxyType::Predicate& where,
                   const std::function<void(const std::shared_ptr<NSUserNotification>&)>& remove) {
    std::vector<std::shared_ptr<NSUserNotification>> matches;
    for (const auto& notification : list) {
        if (where(*notification)) {
            matches.push_back(notification);
        }
    }
    for (const auto& notification : matches) {
        remove(notification);
    }
}

}  // namespace

std::shared_ptr<UserNotificationCenterProxyImpl> UserNotificationCenterProxyImpl::create(
    std::shared_ptr<NSUserNotificationCenter> center) {
    std::shared_ptr<UserNotificationCenterProxyImpl> impl(
        new UserNotificationCenterProxyImpl(std::move(center)));
    impl->center_->setDelegate(impl);
    return impl;
}

UserNotificationCenterProxyImpl::UserNotificationCenterProxyImpl(
    std::shared_ptr<NSUserNotificationCenter> center)
    : workQueue_(DispatchQueue::main()), center_(std::move(center)) {}

void UserNotificationCenterProxyImpl::propagate(const std::shared_ptr<NSUserNotification>& notification) {
    observers_.invoke(
        [&](UserNotificationCenterProxyObserver& observer) { observer.didPropagate(notification); });
}

void UserNotificationCenterProxyImpl::schedule(const std::shared_ptr<NSUserNotification>& notification) {
    std::weak_ptr<UserNotificationCenterProxyImpl> weak =
        std::static_pointer_cast<UserNotificationCenterProxyImpl>(shared_from_this());
    DispatchQueue::main()->async([weak, notification] {
        if (auto self = weak.lock()) {
            self->center_->scheduleNotification(notification);
        }
    });
}

void UserNotificationCenterProxyImpl::removeNotifications(Predicate where, UserNotificationState state) {
    std::weak_ptr<UserNotificationCenterProxyImpl> weak =
        std::static_pointer_cast<UserNotificationCenterProxyImpl>(shared_from_this());
    workQueue_->async([weak, where = std::move(where), state] {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        auto& center = *self->center_;
        if (state != UserNotificationState::delivered) {
            removeMatches(center.scheduledNotifications(), where, [&](const auto& notification) {
                center.removeScheduledNotification(notification);
            });
        }
        if (state != UserNotificationState::scheduled) {
            removeMatches(center.deliveredNotifications(), where, [&](const auto& notification) {
                center.removeDeliveredNotification(notification);
            });
        }
    });
}

void UserNotificationCenterProxyImpl::addObserver(
    const std::shared_ptr<UserNotificationCenterProxyObserver>& observer) {
    observers_.add(observer);
}

void UserNotificationCenterProxyImpl::removeObserver(
    const std::shared_ptr<UserNotificationCenterProxyObserver>& observer) {
    observers_.remove(observer);
}

bool UserNotificationCenterProxyImpl::shouldPresentNotification(NSUserNotificationCenter&,
                                                                const std::shared_ptr<NSUserNotification>&) {
    // Shown even while the application is in front.
    return true;
}

void UserNotificationCenterProxyImpl::didDeliverNotification(NSUserNotificationCenter&,
                                                             const std::shared_ptr<NSUserNotification>&) {}

void UserNotificationCenterProxyImpl::didActivateNotification(
    NSUserNotificationCenter&, const std::shared_ptr<NSUserNotification>& notification) {
    propagate(notification);
}

void UserNotificationCenterProxyImpl::didDismissAlert(
    NSUserNotificationCenter&, const std::shared_ptr<NSUserNotification>& notification) {
    propagate(notification);
}

}  // namespace orvane
