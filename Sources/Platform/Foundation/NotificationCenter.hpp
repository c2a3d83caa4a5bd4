// NotificationCenter: delivers named notifications to registered observers,
// the platform's NSNotificationCenter.
//
// A registration names what it wants — one notification name or any, one
// sender or any — and what to call. `post` calls every matching registration
// synchronously on the posting thread, in registration order, and returns
// when all have run. A registration added while a post is running does not
// receive that post; one removed before its turn does not either.
//
// Two kinds of registration:
// - With an observer: `addObserver(observer, handler, name, sender)` holds the
//   observer weakly (std::weak_ptr) and calls handler(*observer, notification).
//   A destroyed observer is never called: the observer is locked for the
//   duration of each call, so one that is being released on another thread
//   either stays alive until the call returns or is not called at all. If the
//   call held the last reference, the observer is destroyed on the posting
//   thread when its handler returns. Registrations of destroyed observers are
//   dropped.
// - Without one: `addObserver(name, sender, handler)` keeps the handler
//   until its token is removed.
//
// Senders are NSObjects and are matched by identity. A registration holds its
// sender weakly; once the sender is destroyed the registration matches
// nothing and is dropped (an object later made at the same address is a
// different sender).
//
// Thread safety: any thread may add, remove and post at any time. Handlers
// run without the center's lock held, so a handler may add or remove
// registrations and post again, re-entrantly. As on the platform, a removal
// made while another thread is already calling that registration's handler
// does not wait for the call to end.
//
// `defaultCenter()` is the process-wide center, as the platform has one; it
// lives until the process ends. Other instances are independent (tests use
// their own).
//
//   auto& center = orvane::NotificationCenter::defaultCenter();
//   auto token = center.addObserver(monitor, &Monitor::statusDidChange, "StatusDidChange");
//   center.post("StatusDidChange", manager, orvane::ObjectDictionary{{"status", 2}});
//   center.removeObserver(token);
#pragma once

#include "Platform/Foundation/NSObject.hpp"
#include "Platform/Foundation/Notification.hpp"
#include "Platform/Foundation/Object.hpp"

#include <atomic>
#include <concepts>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orvane {

class NotificationCenter {
public:
    // Names one registration. A default-made token names none.
    class ObserverToken {
    public:
        ObserverToken() = default;
        friend bool operator==(const ObserverToken&, const ObserverToken&) = default;

    private:
        friend class NotificationCenter;
        explicit ObserverToken(std::uint64_t value) : value_(value) {}
        std::uint64_t value_ = 0;
    };

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;
    ~NotificationCenter();

    // The process-wide center.
    static NotificationCenter& defaultCenter();

    // Calls handler(*observer, notification) for every notification named
    // `name` (any name when absent) from `sender` (any sender when null), for
    // as long as the observer lives. `handler` is a member function pointer of
    // Observer or any callable taking (Observer&, const Notification&).
    template <class Observer, class Handler>
    requires std::invocable<const Handler&, Observer&, const Notification&> ObserverToken
    addObserver(const std::shared_ptr<Observer>& observer, Handler handler, std::optional<std::string> name,
                const std::shared_ptr<NSObject>& sender = nullptr);

    // Calls `handler` for every notification named `name` (any when absent)
    // from `sender` (any when null), until the token is removed.
    ObserverToken addObserver(std::optional<std::string> name, const std::shared_ptr<NSObject>& sender,
                              std::function<void(const Notification&)> handler);

    // Ends one registration; a token already removed, or of another center, is ignored.
    void removeObserver(ObserverToken token);
    // Ends every registration of `observer` (compared by owning object).
    template <class Observer>
    void removeObserver(const std::shared_ptr<Observer>& observer) {
        if (observer) {
            removeRegistrationsOf(std::weak_ptr<const void>(std::shared_ptr<const void>(observer)));
        }
    }

    // Delivers `notification` to every matching registration; see above.
    void post(const Notification& notification);
    void post(std::string name, std::shared_ptr<NSObject> sender = nullptr,
              std::optional<ObjectDictionary> userInfo = std::nullopt) {
        post(Notification(std::move(name), std::move(sender), std::move(userInfo)));
    }

private:
    struct Registration {
        std::uint64_t id = 0;
        std::optional<std::string> name;
        const NSObject* senderIdentity = nullptr;  // null: any sender
        std::weak_ptr<NSObject> sender;
        bool hasObserver = false;
        std::weak_ptr<const void> observer;
        // Calls the handler; with an observer, only while it can be locked.
        std::function<void(const Notification&)> deliver;
        // Cleared on removal, so a post already under way skips it.
        std::atomic<bool> active{true};

        bool isDead() const {
            return (hasObserver && observer.expired()) || (senderIdentity && sender.expired());
        }
        bool matches(const Notification& notification) const;
    };

    ObserverToken add(std::shared_ptr<Registration> registration, std::optional<std::string> name,
                      const std::shared_ptr<NSObject>& sender);
    void removeRegistrationsOf(const std::weak_ptr<const void>& observer);

    std::mutex mutex_;
    std::uint64_t lastId_ = 0;                                  // guarded by mutex_
    std::vector<std::shared_ptr<Registration>> registrations_;  // guarded by mutex_, in order of adding
};

template <class Observer, class Handler>
requires std::invocable<const Handler&, Observer&, const Notification&> NotificationCenter::ObserverToken
NotificationCenter::addObserver(const std::shared_ptr<Observer>& observer, Handler handler,
                                std::optional<std::string> name, const std::shared_ptr<NSObject>& sender) {
    if (!observer) {
        return ObserverToken();
    }
    auto registration = std::make_shared<Registration>();
    registration->hasObserver = true;
    registration->observer = std::shared_ptr<const void>(observer);
    registration->deliver = [weakObserver = std::weak_ptr<Observer>(observer),
                             handler = std::move(handler)](const Notification& notification) {
        if (const std::shared_ptr<Observer> strong = weakObserver.lock()) {
            std::invoke(handler, *strong, notification);
        }
    };
    return add(std::move(registration), std::move(name), sender);
}

}  // namespace orvane
