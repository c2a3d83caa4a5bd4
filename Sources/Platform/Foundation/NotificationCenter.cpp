#include "Platform/Foundation/NotificationCenter.hpp"

#include <algorithm>

namespace orvane {

NotificationCenter::~NotificationCenter() = default;

NotificationCenter& NotificationCenter::defaultCenter() {
    // Never destroyed, so threads that post while the process exits find it intact.
    static NotificationCenter* const center = new NotificationCenter();
    return *center;
}

bool NotificationCenter::Registration::matches(const Notification& notification) const {
    if (name && *name != notification.name()) {
        return false;
    }
    // Called only on live registrations (post drops dead ones first), and a
    // live sender and the notification's sender at one address are one object.
    return senderIdentity == nullptr || notification.object().get() == senderIdentity;
}

NotificationCenter::ObserverToken NotificationCenter::addObserver(
    std::optional<std::string> name, const std::shared_ptr<NSObject>& sender,
    std::function<void(const Notification&)> handler) {
    if (!handler) {
        return ObserverToken();
    }
    auto registration = std::make_shared<Registration>();
    registration->deliver = std::move(handler);
    return add(std::move(registration), std::move(name), sender);
}

NotificationCenter::ObserverToken NotificationCenter::add(std::shared_ptr<Registration> registration,
                                                          std::optional<std::string> name,
                                                          const std::shared_ptr<NSObject>& sender) {
    registration->name = std::move(name);
    registration->senderIdentity = sender.get();
    registration->sender = sender;
    const std::lock_guard lock(mutex_);
    registration->id = ++lastId_;
    registrations_.push_back(std::move(registration));
    return ObserverToken(lastId_);
}

void NotificationCenter::removeObserver(ObserverToken token) {
    std::vector<std::shared_ptr<Registration>> removed;  // released after the lock
    const std::lock_guard lock(mutex_);
    const auto found =
        std::find_if(registrations_.begin(), registrations_.end(),
                     [&](const auto& registration) { return registration->id == token.value_; });
    if (found != registrations_.end()) {
        (*found)->active.store(false);
        removed.push_back(std::move(*found));
        registrations_.erase(found);
    }
}

void NotificationCenter::removeRegistrationsOf(const std::weak_ptr<const void>& observer) {
    std::vector<std::shared_ptr<Registration>> removed;  // released after the lock
    const std::lock_guard lock(mutex_);
    std::erase_if(registrations_, [&](const std::shared_ptr<Registration>& registration) {
        const bool sameOwner = registration->hasObserver && !registration->observer.owner_before(observer) &&
                               !observer.owner_before(registration->observer);
        if (sameOwner) {
            registration->active.store(false);
            removed.push_back(registration);
        }
        return sameOwner;
    });
}

void NotificationCenter::post(const Notification& notification) {
    std::vector<std::shared_ptr<Registration>> matching;
    std::vector<std::shared_ptr<Registration>> dead;  // released after the lock
    {
        const std::lock_guard lock(mutex_);
        std::erase_if(registrations_, [&](const std::shared_ptr<Registration>& registration) {
            if (registration->isDead()) {
                dead.push_back(registration);
                return true;
            }
            if (registration->matches(notification)) {
                matching.push_back(registration);
            }
            return false;
        });
    }
    for (const auto& registration : matching) {
        if (registration->active.load()) {
            registration->deliver(notification);
        }
    }
}

}  // namespace orvane
