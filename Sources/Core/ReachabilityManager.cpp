#include "Core/ReachabilityManager.hpp"

#include "Platform/Dispatch/MainContext.hpp"
#include "Platform/Foundation/NotificationCenter.hpp"

#include <gio/gio.h>

#include <chrono>
#include <condition_variable>

namespace netrune {

namespace {

// A handler's link back to its manager: weak, so a handler never keeps the
// manager alive and never reaches one that is gone.
using ManagerLink = std::weak_ptr<ReachabilityManager>;

void deleteLink(gpointer data, GClosure*) {
    delete static_cast<ManagerLink*>(data);
}

// The main loop's answer when it is asked to make the monitor.
struct MonitorRequest {
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;                   // guarded by mutex
    GNetworkMonitor* monitor = nullptr;  // guarded by mutex
};

// GIO's default monitor, made (if this is the first use in the process) with
// the default main context as thread-default, so its signals come there.
GNetworkMonitor* defaultMonitorOnMainContext() {
    GMainContext* const main = orvane::mainContext();
    GMainContext* const current = g_main_context_get_thread_default();
    if (current == nullptr || current == main) {
        return g_network_monitor_get_default();
    }
    // Pushing a context acquires it, which only works while no other thread runs it.
    if (g_main_context_acquire(main)) {
        g_main_context_push_thread_default(main);
        GNetworkMonitor* const monitor = g_network_monitor_get_default();
        g_main_context_pop_thread_default(main);
        g_main_context_release(main);
        return monitor;
    }
    auto request = std::make_shared<MonitorRequest>();
    g_main_context_invoke_full(
        main, G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            auto& pending = **static_cast<std::shared_ptr<MonitorRequest>*>(data);
            GNetworkMonitor* const monitor = g_network_monitor_get_default();
            const std::lock_guard lock(pending.mutex);
            pending.monitor = monitor;
            pending.done = true;
            pending.answered.notify_all();
            return G_SOURCE_REMOVE;
        },
        new std::shared_ptr<MonitorRequest>(request),
        [](gpointer data) { delete static_cast<std::shared_ptr<MonitorRequest>*>(data); });
    std::unique_lock lock(request->mutex);
    request->answered.wait_for(lock, std::chrono::seconds(5), [&] { return request->done; });
    return request->monitor;
}

orvane::NSError reachabilityError(std::int64_t code, std::string message) {
    return orvane::NSError(
        std::string(kReachabilityErrorDomain), code,
        {{std::string(orvane::NSLocalizedDescriptionKey), orvane::Object(std::move(message))}});
}

}  // namespace

std::shared_ptr<ReachabilityManager> ReachabilityManager::reachabilityManagerWithHostName(
    std::string hostName) {
    return std::make_shared<ReachabilityManager>(Passkey{}, std::move(hostName),
                                                 defaultMonitorOnMainContext());
}

ReachabilityManager::ReachabilityManager(Passkey, std::string hostName, GNetworkMonitor* monitor)
    : hostName_(std::move(hostName)),
      monitor_(monitor),
      status_(monitor != nullptr && g_network_monitor_get_network_available(monitor)
                  ? kReachabilityStatusReachable
                  : kReachabilityStatusNotReachable) {}

ReachabilityManager::~ReachabilityManager() {
    // Handlers already running hold a strong reference, so none runs now; these
    // disconnections make sure none starts.
    const std::lock_guard lock(mutex_);
    if (networkChangedHandler_ != 0) {
        g_signal_handler_disconnect(monitor_, networkChangedHandler_);
    }
    if (availabilityHandler_ != 0) {
        g_signal_handler_disconnect(monitor_, availabilityHandler_);
    }
}

std::optional<orvane::NSError> ReachabilityManager::startMonitoring() {
    if (monitor_ == nullptr) {
        return reachabilityError(kReachabilityErrorNoMonitor,
                                 "The main loop did not answer in time to make the network monitor");
    }
    {
        const std::lock_guard lock(mutex_);
        if (networkChangedHandler_ == 0) {
            auto self = std::static_pointer_cast<ReachabilityManager>(shared_from_this());
            // The kernel's monitor emits both; NetworkManager's only the property notification.
            networkChangedHandler_ = g_signal_connect_data(
                monitor_, "network-changed", G_CALLBACK(&ReachabilityManager::networkChanged),
                new ManagerLink(self), &deleteLink, GConnectFlags(0));
            availabilityHandler_ = g_signal_connect_data(
                monitor_, "notify::network-available", G_CALLBACK(&ReachabilityManager::availabilityNotified),
                new ManagerLink(self), &deleteLink, GConnectFlags(0));
        }
    }
    // Catch a change made between construction and the connection.
    update(g_network_monitor_get_network_available(monitor_));
    if (G_TYPE_FROM_INSTANCE(monitor_) == g_type_from_name("GNetworkMonitorBase")) {
        return reachabilityError(kReachabilityErrorBaseMonitor,
                                 "GIO has no working network monitor (it fell back to GNetworkMonitorBase, "
                                 "which never reports a change)");
    }
    return std::nullopt;
}

std::string ReachabilityManager::monitorName() const {
    return monitor_ == nullptr ? std::string() : std::string(G_OBJECT_TYPE_NAME(monitor_));
}

void ReachabilityManager::networkChanged(GNetworkMonitor*, int available, void* data) {
    if (const auto manager = static_cast<ManagerLink*>(data)->lock()) {
        manager->update(available != FALSE);
    }
}

void ReachabilityManager::availabilityNotified(GNetworkMonitor* monitor, void*, void* data) {
    if (const auto manager = static_cast<ManagerLink*>(data)->lock()) {
        manager->update(g_network_monitor_get_network_available(monitor) != FALSE);
    }
}

void ReachabilityManager::update(bool available) {
    const std::int64_t status = available ? kReachabilityStatusReachable : kReachabilityStatusNotReachable;
    if (status_.exchange(status) == status) {
        return;
    }
    orvane::NotificationCenter::defaultCenter().post(
        std::string(kReachabilityStatusDidChangeNotification), shared_from_this(),
        orvane::ObjectDictionary{{std::string(kReachabilityStatusKey), orvane::Object(status)}});
}

}  // namespace netrune
