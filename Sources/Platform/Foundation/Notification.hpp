// Notification: a named message that a NotificationCenter hands to its
// observers, the platform's NSNotification.
//
// It carries a name, an optional sender (`object`, any NSObject, matched by
// identity) and optional user information. The sender is held strongly for
// as long as the notification lives, so an observer may use it safely.
// "No user information" and "an empty dictionary" are different: readers that
// require user information can tell them apart.
//
// Immutable value; const access from many threads is safe.
//
//   orvane::Notification changed("StatusDidChange", manager, orvane::ObjectDictionary{{"status", 2}});
//   changed.userInfo()->at("status").as<int>();   // 2
#pragma once

#include "Platform/Foundation/NSObject.hpp"
#include "Platform/Foundation/Object.hpp"

#include <memory>
#include <optional>
#include <string>

namespace orvane {

class Notification {
public:
    explicit Notification(std::string name, std::shared_ptr<NSObject> object = nullptr,
                          std::optional<ObjectDictionary> userInfo = std::nullopt)
        : name_(std::move(name)), object_(std::move(object)), userInfo_(std::move(userInfo)) {}

    const std::string& name() const noexcept { return name_; }
    // The sender, or null when the notification has none.
    const std::shared_ptr<NSObject>& object() const noexcept { return object_; }
    const std::optional<ObjectDictionary>& userInfo() const noexcept { return userInfo_; }

private:
    std::string name_;
    std::shared_ptr<NSObject> object_;
    std::optional<ObjectDictionary> userInfo_;
};

}  // namespace orvane
