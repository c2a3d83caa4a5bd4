// BusConnection: finding the session and system buses and opening private
// connections to them, the way every D-Bus client of the library does.
//
// - A private connection per client object, never GLib's shared one, so that
//   dropping it after a failure affects nobody else, and with exit-on-close
//   off: a bus that goes away never sends SIGTERM to the application.
// - No bus is ever launched. The session bus is the one DBUS_SESSION_BUS_ADDRESS
//   names; when that is unset or empty, the per-user socket $XDG_RUNTIME_DIR/bus
//   (what systemd and other clients use) when it is a socket owned by this
//   user; an address asking for "autolaunch:" counts as no bus. The system bus
//   is the one DBUS_SYSTEM_BUS_ADDRESS names, else its standard socket, so tests
//   can point both at private buses.
// - Opening is one bounded call (see BoundedWait.hpp): a hung bus costs the
//   caller at most the wait's bound.
//
// Thread safety: any thread; the returned connection may be used from any thread.
//
//   auto address = orvane::glib::busAddress(orvane::glib::Bus::system);
//   if (!address) { /* no bus */ }
//   GError* error = nullptr;
//   auto bus = orvane::glib::openBusConnection(*address, wait, &error);
#pragma once

#include "Platform/GLib/BoundedWait.hpp"

#include <optional>
#include <string>

namespace orvane::glib {

enum class Bus { session, system };

// busAddress: the D-Bus address of `bus` as this process should reach it, or
// nothing when there is no bus to connect to.
std::optional<std::string> busAddress(Bus bus);

// openBusConnection: a new private connection to the message bus at
// `address`, authenticated and registered, with exit-on-close off. Null with
// `*error` set on failure; null with no error when `wait` abandoned the call.
ObjectPtr<GDBusConnection> openBusConnection(const std::string& address, BoundedWait& wait, GError** error);

}  // namespace orvane::glib
