// netrune::ReachabilityManager: the sibling networking library's
// reachability monitor, over GIO's network monitor (GNetworkMonitor).
//
// `reachabilityManagerWithHostName(host)` makes a manager and reads the
// current state; `startMonitoring()` connects to the monitor, after which
// every change is posted on the default NotificationCenter as
// kReachabilityStatusDidChangeNotification, sent by the manager, with the
// status under kReachabilityStatusKey: kReachabilityStatusReachable (2) or
// kReachabilityStatusNotReachable (0). A repeat of the state is never posted.
//
// What "reachable" means is what GIO's network-available says:
// - the kernel's netlink monitor (the usual one): the host has a default
//   route, IPv4 or IPv6;
// - the NetworkManager monitor: NetworkManager's global state is at least
//   "connected (site)".
// GIO_USE_NETWORK_MONITOR picks one; the first the process makes is its one
// default monitor. If GIO falls back to its base monitor (which always says
// "available" and never changes), startMonitoring() returns an error and
// nothing is ever posted. The host name is kept for the caller but never
// resolved or contacted: no DNS and no traffic.
//
// Threads: GIO's monitor delivers its signals in the GLib main context that
// was thread-default where the monitor was first made. The manager makes it
// with the default main context in that role, so changes are posted on the
// thread that iterates the main loop. If another thread already owns the main
// loop while the caller has a private context pushed, the main loop is asked
// to make the monitor (waiting at most 5 s; startMonitoring() reports it if
// that fails). reachable() may be read from any thread.
//
// Lifetime: the signal handlers hold the manager weakly and the destructor
// disconnects them; a destroyed manager is never called and never posts.
//
//   auto manager = netrune::ReachabilityManager::reachabilityManagerWithHostName("www.example.org");
//   if (auto error = manager->startMonitoring()) orvane::NSLog(error->description());
#pragma once

#include "Platform/Foundation/NSError.hpp"
#include "Platform/Foundation/NSObject.hpp"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

typedef struct _GNetworkMonitor GNetworkMonitor;  // as gio.h declares it; keeps GIO out of this header

namespace netrune {

inline constexpr std::string_view kReachabilityStatusDidChangeNotification =
    "kReachabilityStatusDidChangeNotification";
inline constexpr std::string_view kReachabilityStatusKey = "kReachabilityStatusKey";
inline constexpr std::int64_t kReachabilityStatusNotReachable = 0;
inline constexpr std::int64_t kReachabilityStatusReachable = 2;

// The domain of startMonitoring()'s errors; codes below.
inline constexpr std::string_view kReachabilityErrorDomain = "Netrune.ReachabilityManager";
inline constexpr std::int64_t kReachabilityErrorNoMonitor = 1;    // no monitor could be made on the main loop
inline constexpr std::int64_t kReachabilityErrorBaseMonitor = 2;  // GIO's base monitor: changes never come

class ReachabilityManager final : public orvane::NSObject {
    struct Passkey {};

public:
    static std::shared_ptr<ReachabilityManager> reachabilityManagerWithHostName(std::string hostName);

    ReachabilityManager(Passkey, std::string hostName, GNetworkMonitor* monitor);
    ~ReachabilityManager() override;

    const std::string& hostName() const noexcept { return hostName_; }
    // Whether the network is reachable, as last seen.
    bool reachable() const noexcept { return status_.load() != kReachabilityStatusNotReachable; }
    // Starts posting changes; calling it again only re-reads the state. Returns
    // an error when changes cannot come (see above); monitoring stays set up.
    std::optional<orvane::NSError> startMonitoring();
    // The GType name of the monitor GIO chose ("GNetworkMonitorNetlink", ...),
    // empty when there is none.
    std::string monitorName() const;

private:
    static void networkChanged(GNetworkMonitor* monitor, int available, void* data);
    static void availabilityNotified(GNetworkMonitor* monitor, void* property, void* data);
    // Stores the state and posts it when it differs from the last one.
    void update(bool available);

    const std::string hostName_;
    GNetworkMonitor* const monitor_;  // process-wide, never released; null if none could be made
    std::atomic<std::int64_t> status_;

    std::mutex mutex_;
    unsigned long networkChangedHandler_ = 0;  // guarded by mutex_
    unsigned long availabilityHandler_ = 0;    // guarded by mutex_
};

}  // namespace netrune
