// DesktopNotificationsBackend: the user-notification center's backend over the
// desktop's notification server, org.freedesktop.Notifications on the session
// bus (what GNOME Shell, KDE Plasma, xfce4-notifyd, mako and dunst serve).
//
// How the center's requests map onto the server:
// - post → Notify(app, replaces_id, "", summary, body, actions, hints, -1):
//   summary = title; body = subtitle and informative text, one per line,
//   escaped when the server offers `body-markup`; the "default" action always
//   (clicking the body activates) and the action button when the server offers
//   `actions`; hints `desktop-entry` (the program's name) and `sound-name`.
//   The server's capabilities are asked once, asynchronously, before the first
//   Notify; they are asked again after the server restarts.
// - close → CloseNotification(id), reply not awaited.
// - ActionInvoked(id, key) → activated; NotificationClosed(id, reason) →
//   closed; NameOwnerChanged of org.freedesktop.Notifications → serverRestarted
//   (the new owner knows nothing of the old one's notifications).
//
// Time and bus rules: every call is asynchronous, so a hung server never
// blocks the main loop (a Notify without an answer is given up after
// `callTimeoutMilliseconds`). The private connection is opened on first use
// within a short bound, never autolaunching a bus or the server. With no bus
// or no server a notification is dropped, and one line is logged once.
// Replies and signals arrive on the GLib default main context.
//
// Thread safety: main thread only, as UserNotificationBackend says.
//
//   auto center = orvane::NSUserNotificationCenter::create(orvane::makeDesktopNotificationsBackend());
#pragma once

#include "Platform/Notifications/UserNotificationBackend.hpp"

#include <memory>

namespace orvane {

inline constexpr int callTimeoutMilliseconds = 25000;

std::shared_ptr<UserNotificationBackend> makeDesktopNotificationsBackend();

}  // namespace orvane
