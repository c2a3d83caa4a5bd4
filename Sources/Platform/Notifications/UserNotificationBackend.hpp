// UserNotificationBackend: what the user-notification center needs from the
// desktop's notification server — post, close, and hear back about clicks and
// closings. The center keeps every list; a backend only carries messages.
//
// The desktop backend talks to org.freedesktop.Notifications on the session
// bus (DesktopNotificationsBackend.hpp); tests substitute their own.
//
// Thread safety: called on the main thread only (the thread iterating the
// GLib default main context), and calls back there, never from inside post()
// or close().
#pragma once

#include "Platform/Notifications/NSUserNotification.hpp"

#include <cstdint>
#include <functional>
#include <optional>

namespace orvane {

class UserNotificationBackend {
public:
    // How the server explains a closing.
    enum class CloseReason : std::uint32_t { expired = 1, dismissed = 2, closedByCall = 3, undefined = 4 };

    struct Events {
        std::function<void(std::uint32_t id, NSUserNotification::ActivationType how)> activated;
        std::function<void(std::uint32_t id, std::uint32_t reason)> closed;
        // The server's bus name changed owner: it forgot every notification.
        std::function<void()> serverRestarted;
    };
    // The id the server gave a posted notification, or none when it was dropped.
    using Posted = std::function<void(std::optional<std::uint32_t> id)>;

    virtual ~UserNotificationBackend() = default;

    virtual void setEvents(Events events) = 0;
    // post: shows `notification`, replacing the server's `replacesId` when not 0.
    virtual void post(const NSUserNotification& notification, std::uint32_t replacesId, Posted posted) = 0;
    virtual void close(std::uint32_t id) = 0;
};

}  // namespace orvane
