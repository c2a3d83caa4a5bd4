// MulticastDelegate: a list of delegates of interface type T, held weakly,
// that invoke() calls all at once.
//
// - add() (or +=) appends an entry, duplicates included; remove() (or -=)
//   drops every entry of that object, compared by identity (the address of
//   the whole object, whatever static type it is named through).
// - invoke() walks a copy of the list taken when it starts, from the most
//   recently added entry to the earliest, calls the invocation once per live
//   entry, and purges the entries it meets whose object is gone or is not a
//   T. An entry removed during the pass is still called in it; one added
//   during the pass is first called by the next.
// - The list-literal constructor takes objects of any type; entries that are
//   not a T are never called and go at the first invoke().
// Dead entries stay in the list, and in count(), until an invoke() meets them.
//
// Ownership: never keeps a delegate alive (std::weak_ptr entries).
//
// Thread safety: none, no lock; use one multicast delegate from one thread at
// a time. The invocation runs on the calling thread before invoke() returns.
//
//   orvane::MulticastDelegate<ReachabilityObserving> observers;
//   observers += window;                       // std::shared_ptr<Window>, a ReachabilityObserving
//   observers.invoke([](ReachabilityObserving& observer) { observer.reachabilityChanged(); });
#pragma once

#include <algorithm>
#include <concepts>
#include <cstddef>
#include <memory>
#include <type_traits>
#include <utility>
#include <vector>

namespace orvane {

template <class T>
class MulticastDelegate {
public:
    MulticastDelegate() = default;
    // The list literal (`= {a, b}`): one weak entry per object, in the order
    // given, of any type.
    template <class... Objects>
    MulticastDelegate(const std::shared_ptr<Objects>&... objects) {
        (delegates_.push_back(std::make_shared<WeakWrapper>(objects)), ...);
    }
    MulticastDelegate(const MulticastDelegate&) = delete;
    MulticastDelegate& operator=(const MulticastDelegate&) = delete;

    void add(const std::shared_ptr<T>& delegate) {
        delegates_.push_back(std::make_shared<WeakWrapper>(delegate));
    }

    // Removes every live entry of `delegate`; entries of dead objects stay.
    void remove(const std::shared_ptr<T>& delegate) {
        const void* identity = identityOf(delegate.get());
        std::erase_if(delegates_, [identity](const std::shared_ptr<WeakWrapper>& wrapper) {
            return !wrapper->value.expired() && wrapper->identity == identity;
        });
    }

    template <class Invocation>
    requires std::invocable<Invocation&, T&>
    void invoke(Invocation&& invocation) {
        const std::vector<std::shared_ptr<WeakWrapper>> pass = delegates_;
        for (auto wrapper = pass.rbegin(); wrapper != pass.rend(); ++wrapper) {
            if (std::shared_ptr<T> delegate = (*wrapper)->resolve()) {
                invocation(*delegate);
            } else {
                // Purge exactly the entry met, wherever the pass's calls have moved it.
                std::erase(delegates_, *wrapper);
            }
        }
    }

    // The number of entries, dead ones not yet purged included.
    std::size_t count() const { return delegates_.size(); }

    friend void operator+=(MulticastDelegate& left, const std::shared_ptr<T>& right) { left.add(right); }
    friend void operator-=(MulticastDelegate& left, const std::shared_ptr<T>& right) { left.remove(right); }

private:
    // The address of the whole object, so that one object named through
    // different bases is one identity.
    template <class U>
    static const void* identityOf(const U* object) {
        if constexpr (std::is_polymorphic_v<U>) {
            return object == nullptr ? nullptr : dynamic_cast<const void*>(object);
        } else {
            return object;
        }
    }

    // The T inside a live object of type U, or null when U is not a T.
    template <class U>
    static std::shared_ptr<T> asDelegate(std::shared_ptr<void> object) {
        auto typed = std::static_pointer_cast<U>(std::move(object));
        if constexpr (std::is_convertible_v<U*, T*>) {
            return typed;
        } else if constexpr (std::is_polymorphic_v<U> && std::is_polymorphic_v<T>) {
            return std::dynamic_pointer_cast<T>(std::move(typed));
        } else {
            return nullptr;
        }
    }

    // One entry: a weak reference that never keeps its object alive.
    struct WeakWrapper {
        template <class U>
        explicit WeakWrapper(const std::shared_ptr<U>& object)
            : value(object), identity(identityOf(object.get())), cast(&asDelegate<U>) {}

        std::shared_ptr<T> resolve() const {
            std::shared_ptr<void> object = value.lock();
            return object ? cast(std::move(object)) : nullptr;
        }

        std::weak_ptr<void> value;
        const void* identity;
        std::shared_ptr<T> (*cast)(std::shared_ptr<void>);
    };

    std::vector<std::shared_ptr<WeakWrapper>> delegates_;
};

}  // namespace orvane
