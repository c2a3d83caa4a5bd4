#include "Platform/Notifications/NSUserNotificationCenter.hpp"

#include "Platform/Dispatch/DispatchQueue.hpp"
#include "Platform/Dispatch/DispatchWorkItem.hpp"
#include "Platform/Foundation/SystemLog.hpp"

#if ORVANE_HAS_DESKTOP_NOTIFICATIONS
#include "Platform/Notifications/DesktopNotificationsBackend.hpp"
#endif

#include <algorithm>

namespace orvane {

namespace {

#if !ORVANE_HAS_DESKTOP_NOTIFICATIONS
// A build without the desktop's notification server drops every notification.
class DroppingBackend final : public UserNotificationBackend {
public:
    void setEvents(Events) override {}
    void post(const NSUserNotification&, std::uint32_t, Posted posted) override {
        if (!logged_) {
            logged_ = true;
            systemLog("Notifications are dropped: this build has no desktop notification server support");
        }
        DispatchQueue::main()->async([posted = std::move(posted)] { posted(std::nullopt); });
    }
    void close(std::uint32_t) override {}

private:
    bool logged_ = false;
};
#endif

bool sameIdentifier(const NSUserNotification& left, const NSUserNotification& right) {
    return left.identifier() && right.identifier() && *left.identifier() == *right.identifier();
}

}  // namespace

std::shared_ptr<NSUserNotificationCenter> NSUserNotificationCenter::defaultUserNotificationCenter() {
#if ORVANE_HAS_DESKTOP_NOTIFICATIONS
    static const auto center = create(makeDesktopNotificationsBackend());
#else
    static const auto center = create(std::make_shared<DroppingBackend>());
#endif
    return center;
}

std::shared_ptr<NSUserNotificationCenter> NSUserNotificationCenter::create(
    std::shared_ptr<UserNotificationBackend> backend) {
    std::shared_ptr<NSUserNotificationCenter> center(new NSUserNotificationCenter(std::move(backend)));
    center->listen();
    return center;
}

NSUserNotificationCenter::NSUserNotificationCenter(std::shared_ptr<UserNotificationBackend> backend)
    : backend_(std::move(backend)) {}

NSUserNotificationCenter::~NSUserNotificationCenter() {
    for (const auto& entry : scheduled_) {
        entry.timer->cancel();
    }
}

void NSUserNotificationCenter::listen() {
    std::weak_ptr<NSUserNotificationCenter> weak = weak_from_this();
    backend_->setEvents({
        .activated =
            [weak](std::uint32_t id, NSUserNotification::ActivationType how) {
                if (auto self = weak.lock()) {
                    self->activated(id, how);
                }
            },
        .closed =
            [weak](std::uint32_t id, std::uint32_t reason) {
                if (auto self = weak.lock()) {
                    self->closed(id, reason);
                }
            },
        .serverRestarted =
            [weak] {
                if (auto self = weak.lock()) {
                    // The server forgot them; nothing is left to close.
                    self->delivered_.clear();
                }
            },
    });
}

NSUserNotificationCenter::Notifications NSUserNotificationCenter::scheduledNotifications() const {
    Notifications list;
    for (const auto& entry : scheduled_) {
        list.push_back(entry.notification);
    }
    return list;
}

NSUserNotificationCenter::Notifications NSUserNotificationCenter::deliveredNotifications() const {
    Notifications list;
    for (const auto& entry : delivered_) {
        list.push_back(entry->notification);
    }
    return list;
}

void NSUserNotificationCenter::scheduleNotification(const std::shared_ptr<NSUserNotification>& notification) {
    if (!notification) {
        return;
    }
    const auto date = notification->deliveryDate();
    const double delay = date ? date->timeIntervalSince(Date::now()) : 0;
    if (!(delay > 0)) {
        deliverNotification(notification);
        return;
    }
    std::erase_if(scheduled_, [&](const Scheduled& entry) {
        const bool replaced =
            entry.notification == notification || sameIdentifier(*entry.notification, *notification);
        if (replaced) {
            entry.timer->cancel();
        }
        return replaced;
    });
    std::weak_ptr<NSUserNotificationCenter> weak = weak_from_this();
    std::weak_ptr<NSUserNotification> weakNotification = notification;
    auto timer = std::make_shared<DispatchWorkItem>([weak, weakNotification] {
        auto self = weak.lock();
        auto due = weakNotification.lock();
        if (!self || !due) {
            return;
        }
        const auto before = self->scheduled_.size();
        std::erase_if(self->scheduled_, [&](const Scheduled& entry) { return entry.notification == due; });
        if (self->scheduled_.size() != before) {
            self->deliverNotification(due);
        }
    });
    scheduled_.push_back({notification, timer});
    DispatchQueue::main()->asyncAfter(DispatchTime::now() + delay, timer);
}

void NSUserNotificationCenter::removeScheduledNotification(
    const std::shared_ptr<NSUserNotification>& notification) {
    std::erase_if(scheduled_, [&](const Scheduled& entry) {
        const bool match = entry.notification == notification;
        if (match) {
            entry.timer->cancel();
        }
        return match;
    });
}

void NSUserNotificationCenter::deliverNotification(const std::shared_ptr<NSUserNotification>& notification) {
    if (!notification) {
        return;
    }
    // Re-posting an identifier (or the same object) replaces what is on screen.
    std::uint32_t replacesId = 0;
    auto replaced = std::find_if(delivered_.begin(), delivered_.end(), [&](const auto& entry) {
        return entry->notification == notification || sameIdentifier(*entry->notification, *notification);
    });
    auto entry = std::make_shared<Delivered>(Delivered{.notification = notification});
    if (replaced != delivered_.end()) {
        auto old = *replaced;
        if (old->id != 0) {
            replacesId = old->id;
        } else {
            old->withdrawn = true;
        }
        *replaced = entry;
    } else {
        delivered_.push_back(entry);
    }
    const auto delegate = delegate_.lock();
    notification->setPresented(delegate && delegate->shouldPresentNotification(*this, notification));
    std::weak_ptr<NSUserNotificationCenter> weak = weak_from_this();
    backend_->post(*notification, replacesId, [weak, entry](std::optional<std::uint32_t> id) {
        if (auto self = weak.lock()) {
            self->posted(entry, id);
        }
    });
}

void NSUserNotificationCenter::posted(const std::shared_ptr<Delivered>& entry,
                                      std::optional<std::uint32_t> id) {
    if (!id) {
        std::erase(delivered_, entry);
        return;
    }
    if (entry->withdrawn) {
        backend_->close(*id);
        return;
    }
    // The server reuses ids: a notification it replaced is no longer ours to track.
    std::erase_if(delivered_, [&](const auto& other) { return other != entry && other->id == *id; });
    entry->id = *id;
    entry->notification->setActualDeliveryDate(Date::now());
    if (auto delegate = delegate_.lock()) {
        delegate->didDeliverNotification(*this, entry->notification);
    }
}

void NSUserNotificationCenter::withdraw(const std::shared_ptr<Delivered>& entry) {
    if (entry->id != 0) {
        backend_->close(entry->id);
    } else {
        entry->withdrawn = true;
    }
}

void NSUserNotificationCenter::removeDeliveredNotification(
    const std::shared_ptr<NSUserNotification>& notification) {
    auto found = std::find_if(delivered_.begin(), delivered_.end(),
                              [&](const auto& entry) { return entry->notification == notification; });
    if (found == delivered_.end()) {
        return;
    }
    auto entry = *found;
    delivered_.erase(found);
    withdraw(entry);
}

void NSUserNotificationCenter::removeAllDeliveredNotifications() {
    auto entries = std::move(delivered_);
    delivered_.clear();
    for (const auto& entry : entries) {
        withdraw(entry);
    }
}

std::shared_ptr<NSUserNotificationCenter::Delivered> NSUserNotificationCenter::deliveredWithId(
    std::uint32_t id) const {
    if (id == 0) {
        return nullptr;
    }
    auto found = std::find_if(delivered_.begin(), delivered_.end(),
                              [id](const auto& entry) { return entry->id == id; });
    return found == delivered_.end() ? nullptr : *found;
}

void NSUserNotificationCenter::activated(std::uint32_t id, NSUserNotification::ActivationType how) {
    auto entry = deliveredWithId(id);
    if (!entry) {
        return;
    }
    entry->activated = true;
    entry->notification->setActivationType(how);
    if (auto delegate = delegate_.lock()) {
        delegate->didActivateNotification(*this, entry->notification);
    }
}

void NSUserNotificationCenter::closed(std::uint32_t id, std::uint32_t reason) {
    auto entry = deliveredWithId(id);
    if (!entry) {
        return;
    }
    std::erase(delivered_, entry);
    // A click closes the notification too: that closing is not a dismissal.
    if (reason == static_cast<std::uint32_t>(UserNotificationBackend::CloseReason::dismissed) &&
        !entry->activated) {
        if (auto delegate = delegate_.lock()) {
            delegate->didDismissAlert(*this, entry->notification);
        }
    }
}

}  // namespace orvane
