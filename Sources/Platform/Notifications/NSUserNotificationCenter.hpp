// NSUserNotificationCenter: the process's user-notification center. It keeps
// the two lists the desktop's notification server does not — notifications
// scheduled for later and notifications delivered and not yet closed — and
// tells its delegate about delivery, activation (a click on the notification
// or its button) and dismissal (the user closed it).
//
// - scheduleNotification: a notification whose delivery date is in the future
//   waits in the scheduled list on a main-queue timer (monotonic time: a
//   suspend delays it by the time asleep); otherwise it is delivered at once.
//   Scheduling an identifier already scheduled replaces that one.
// - deliverNotification: posts it through the backend and puts it in the
//   delivered list; re-posting an identifier that is already delivered
//   replaces that notification on screen. It leaves the list when the server
//   closes it, when it is removed (the server is asked to close it, as soon as
//   the server's id is known), or when the server restarts.
// - The delegate is asked whether to present each delivered notification; the
//   desktop's server decides presentation, so the answer is recorded in the
//   notification's `presented` and not enforced. One click that the server
//   reports as an action and then a dismissal reaches the delegate once, as an
//   activation.
//
// Ownership: the delegate is held weakly; notifications strongly while listed.
//
// Thread safety: main thread only (the thread iterating the GLib default main
// context), where the delegate is called too. The default center is made on
// first use over the desktop's notification server when the library is built
// with it, over a backend that drops everything otherwise.
//
//   auto center = orvane::NSUserNotificationCenter::defaultUserNotificationCenter();
//   center->setDelegate(delegate);
//   center->scheduleNotification(note);
#pragma once

#include "Platform/Notifications/NSUserNotification.hpp"
#include "Platform/Notifications/UserNotificationBackend.hpp"

#include <cstdint>
#include <memory>
#include <vector>

namespace orvane {

class DispatchWorkItem;
class NSUserNotificationCenter;

class NSUserNotificationCenterDelegate {
public:
    virtual ~NSUserNotificationCenterDelegate() = default;
    virtual bool shouldPresentNotification(NSUserNotificationCenter&,
                                           const std::shared_ptr<NSUserNotification>&) {
        return false;
    }
    virtual void didDeliverNotification(NSUserNotificationCenter&,
                                        const std::shared_ptr<NSUserNotification>&) {}
    virtual void didActivateNotification(NSUserNotificationCenter&,
                                         const std::shared_ptr<NSUserNotification>&) {}
    virtual void didDismissAlert(NSUserNotificationCenter&, const std::shared_ptr<NSUserNotification>&) {}
};

class NSUserNotificationCenter : public std::enable_shared_from_this<NSUserNotificationCenter> {
public:
    using Notifications = std::vector<std::shared_ptr<NSUserNotification>>;

    static std::shared_ptr<NSUserNotificationCenter> defaultUserNotificationCenter();
    // A center over its own backend (tests, or an application's own server).
    static std::shared_ptr<NSUserNotificationCenter> create(std::shared_ptr<UserNotificationBackend> backend);

    NSUserNotificationCenter(const NSUserNotificationCenter&) = delete;
    NSUserNotificationCenter& operator=(const NSUserNotificationCenter&) = delete;
    ~NSUserNotificationCenter();

    std::shared_ptr<NSUserNotificationCenterDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<NSUserNotificationCenterDelegate> delegate) {
        delegate_ = std::move(delegate);
    }

    Notifications scheduledNotifications() const;
    Notifications deliveredNotifications() const;

    void scheduleNotification(const std::shared_ptr<NSUserNotification>& notification);
    void removeScheduledNotification(const std::shared_ptr<NSUserNotification>& notification);
    void deliverNotification(const std::shared_ptr<NSUserNotification>& notification);
    void removeDeliveredNotification(const std::shared_ptr<NSUserNotification>& notification);
    void removeAllDeliveredNotifications();

private:
    struct Scheduled {
        std::shared_ptr<NSUserNotification> notification;
        std::shared_ptr<DispatchWorkItem> timer;
    };
    // A delivered notification; `id` is 0 until the server's answer arrives.
    // `withdrawn` marks one removed or replaced before that: it is closed then.
    struct Delivered {
        std::shared_ptr<NSUserNotification> notification;
        std::uint32_t id = 0;
        bool withdrawn = false;
        bool activated = false;
    };

    explicit NSUserNotificationCenter(std::shared_ptr<UserNotificationBackend> backend);
    void listen();
    void posted(const std::shared_ptr<Delivered>& entry, std::optional<std::uint32_t> id);
    void withdraw(const std::shared_ptr<Delivered>& entry);
    void activated(std::uint32_t id, NSUserNotification::ActivationType how);
    void closed(std::uint32_t id, std::uint32_t reason);
    std::shared_ptr<Delivered> deliveredWithId(std::uint32_t id) const;

    std::shared_ptr<UserNotificationBackend> backend_;
    std::weak_ptr<NSUserNotificationCenterDelegate> delegate_;
    std::vector<Scheduled> scheduled_;
    std::vector<std::shared_ptr<Delivered>> delivered_;
};

}  // namespace orvane
