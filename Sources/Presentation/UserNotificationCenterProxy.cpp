#include "Presentation/UserNotificationCenterProxy.hpp"

#include "Presentation/UserNotificationCenterProxyImpl.hpp"

namespace orvane {

UserNotificationCenterProxy::UserNotificationCenterProxy()
    : UserNotificationCenterProxy(NSUserNotificationCenter::defaultUserNotificationCenter()) {}

UserNotificationCenterProxy::UserNotificationCenterProxy(std::shared_ptr<NSUserNotificationCenter> center)
    : decorated_(UserNotificationCenterProxyImpl::create(std::move(center))) {}

UserNotificationCenterProxy::~UserNotificationCenterProxy() = default;

void UserNotificationCenterProxy::propagate(const std::shared_ptr<NSUserNotification>& notification) {
    decorated_->propagate(notification);
}

void UserNotificationCenterProxy::schedule(const std::shared_ptr<NSUserNotification>& notification) {
    decorated_->schedule(notification);
}

void UserNotificationCenterProxy::removeNotifications(Predicate where, UserNotificationState state) {
    decorated_->removeNotifications(std::move(where), state);
}

void UserNotificationCenterProxy::addObserver(
    const std::shared_ptr<UserNotificationCenterProxyObserver>& observer) {
    decorated_->addObserver(observer);
}

void UserNotificationCenterProxy::removeObserver(
    const std::shared_ptr<UserNotificationCenterProxyObserver>& observer) {
    decorated_->removeObserver(observer);
}

}  // namespace orvane
