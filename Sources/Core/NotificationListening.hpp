// listen: subscribes an observer's handler to a named notification, the
// sibling utility library's `String.listen(observer:selector:center:object:)`.
//
// `listen(name, observer, selector, center, object)` registers on `center`
// so that every notification called `name` from `object` (any sender when
// absent or null) calls selector on the observer, on the posting thread. The
// selector is a pointer to a member function of the observer's class taking
// `const orvane::Notification&`, or any callable taking
// (Observer&, const orvane::Notification&).
//
// The registration holds the observer weakly: it never keeps the observer
// alive, a destroyed observer is never called, and its registration goes
// away with it. It can also be ended early with the returned token
// (`center.removeObserver(token)`) or with `center.removeObserver(observer)`.
//
// Thread safety: as NotificationCenter — any thread may call it.
//
//   auto monitor = std::make_shared<Monitor>();
//   tarvelapple::listen("kReachabilityStatusDidChangeNotification", monitor, &Monitor::networkDidChange,
//                       orvane::NotificationCenter::defaultCenter(), std::nullopt);
#pragma once

#include "Platform/Foundation/NSObject.hpp"
#include "Platform/Foundation/Notification.hpp"
#include "Platform/Foundation/NotificationCenter.hpp"

#include <concepts>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tarvelapple {

template <class Observer, class Selector>
requires std::invocable<const Selector&, Observer&, const orvane::Notification&>
    orvane::NotificationCenter::ObserverToken listen(
        std::string_view name, const std::shared_ptr<Observer>& observer, Selector selector,
        orvane::NotificationCenter& center = orvane::NotificationCenter::defaultCenter(),
        const std::optional<std::shared_ptr<orvane::NSObject>>& object = std::nullopt) {
    return center.addObserver(observer, std::move(selector), std::string(name), object.value_or(nullptr));
}

}  // namespace tarvelapple
