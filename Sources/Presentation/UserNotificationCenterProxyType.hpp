// UserNotificationCenterProxyType: posting desktop notifications, withdrawing
// them by rule, and hearing of activations and dismissals.
//
// The five requirements are abstract. The removals below them are ready-made
// (not virtual, the same for every proxy) and each is one call of
// removeNotifications(where, state):
//
//   proxy.removeNotificationsWithIdentifier("sync-finished");             // both lists
//   proxy.removeNotificationsWhereUserInfoKey("vault", std::string("Personal"),
//                                             orvane::UserNotificationState::delivered);
//   proxy.removeAllNotifications();
//
// The user-information match is strict: an entry matches only when it
// converts to the value's own type (Object::as<T>) and equals it, so the
// integer 5 does not match the string "5".
//
// Thread safety: as the implementation says (UserNotificationCenterProxy.hpp).
// Predicates run on the main queue, so what they capture must be safe there.
#pragma once

#include "Platform/Notifications/NSUserNotification.hpp"
#include "Presentation/UserNotificationCenterProxyObserver.hpp"
#include "Presentation/UserNotificationState.hpp"

#include <concepts>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

namespace orvane {

class UserNotificationCenterProxyType {
public:
    using Predicate = std::function<bool(const NSUserNotification&)>;

    virtual ~UserNotificationCenterProxyType() = default;

    // propagate: calls every live observer with `notification`, synchronously.
    virtual void propagate(const std::shared_ptr<NSUserNotification>& notification) = 0;
    // schedule: posts `notification`, asynchronously.
    virtual void schedule(const std::shared_ptr<NSUserNotification>& notification) = 0;
    // removeNotifications: removes, asynchronously, every notification in the
    // lists of `state` for which `where` is true.
    virtual void removeNotifications(Predicate where, UserNotificationState state) = 0;
    virtual void addObserver(const std::shared_ptr<UserNotificationCenterProxyObserver>& observer) = 0;
    virtual void removeObserver(const std::shared_ptr<UserNotificationCenterProxyObserver>& observer) = 0;

    void removeNotifications(Predicate where) {
        removeNotifications(std::move(where), UserNotificationState::any);
    }

    void removeNotificationsWithIdentifier(std::string identifier, UserNotificationState state) {
        removeNotifications(
            [identifier = std::move(identifier)](const NSUserNotification& notification) {
                return notification.identifier() && *notification.identifier() == identifier;
            },
            state);
    }
    void removeNotificationsWithIdentifier(std::string identifier) {
        removeNotificationsWithIdentifier(std::move(identifier), UserNotificationState::any);
    }

    template <class Value>
    requires std::equality_comparable<std::decay_t<Value>>
    void removeNotificationsWhereUserInfoKey(std::string key, Value matches, UserNotificationState state) {
        using Stored = std::conditional_t<std::is_same_v<std::decay_t<Value>, const char*>, std::string,
                                          std::decay_t<Value>>;
        removeNotifications(
            [key = std::move(key),
             value = Stored(std::move(matches))](const NSUserNotification& notification) {
                const auto& info = notification.userInfo();
                const auto entry = info.find(key);
                if (entry == info.end()) {
                    return false;
                }
                const std::optional<Stored> converted = entry->second.template as<Stored>();
                return converted.has_value() && *converted == value;
            },
            state);
    }
    template <class Value>
    requires std::equality_comparable<std::decay_t<Value>>
    void removeNotificationsWhereUserInfoKey(std::string key, Value matches) {
        removeNotificationsWhereUserInfoKey(std::move(key), std::move(matches), UserNotificationState::any);
    }

    void removeAllNotifications() {
        removeNotifications([](const NSUserNotification&) { return true; }, UserNotificationState::any);
    }
};

}  // namespace orvane
