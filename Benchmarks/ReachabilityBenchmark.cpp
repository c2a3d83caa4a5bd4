// A reachability change delivered to 8 observers: GIO's monitor signal →
// ReachabilityManager → default NotificationCenter → NetworkReachability →
// its MulticastDelegate, beside a bare GObject signal handler on the same
// monitor calling the same 8 observers through a MulticastDelegate. Both
// emit "network-changed" on GIO's default monitor, alternating the state, so
// every emission is a change.
#include "Concurrency/MulticastDelegate.hpp"
#include "Reachability/NetworkReachability.hpp"

#include <benchmark/benchmark.h>
#include <gio/gio.h>

#include <array>
#include <memory>

namespace {

constexpr int observerCount = 8;

class CountingObserver : public orvane::NetworkReachabilityObserving {
public:
    void networkDidBecomeAvailable() override { ++calls; }
    void networkDidBecomeUnavailable() override { ++calls; }
    long calls = 0;
};

std::array<std::shared_ptr<CountingObserver>, observerCount> makeObservers() {
    std::array<std::shared_ptr<CountingObserver>, observerCount> observers;
    for (auto& observer : observers) {
        observer = std::make_shared<CountingObserver>();
    }
    return observers;
}

void emitNetworkChanged(GNetworkMonitor* monitor, bool available) {
    g_signal_emit_by_name(monitor, "network-changed", gboolean(available));
}

void reachabilityChangeToObservers(benchmark::State& state) {
    auto reachability = orvane::NetworkReachability::create();
    const auto observers = makeObservers();
    for (const auto& observer : observers) {
        reachability->addObserver(observer);
    }
    GNetworkMonitor* const monitor = g_network_monitor_get_default();
    bool available = reachability->reachable();
    for (auto _ : state) {
        available = !available;
        emitNetworkChanged(monitor, available);
    }
    if (observers.front()->calls != static_cast<long>(state.iterations())) {
        state.SkipWithError("not every change reached the observers");
    }
    state.SetItemsProcessed(state.iterations());
}

struct BareHandler {
    orvane::MulticastDelegate<orvane::NetworkReachabilityObserving> observers;
};

void onNetworkChanged(GNetworkMonitor*, gboolean available, gpointer data) {
    static_cast<BareHandler*>(data)->observers.invoke(
        [available](orvane::NetworkReachabilityObserving& observer) {
            if (available) {
                observer.networkDidBecomeAvailable();
            } else {
                observer.networkDidBecomeUnavailable();
            }
        });
}

void gobjectSignalToObservers(benchmark::State& state) {
    BareHandler handler;
    const auto observers = makeObservers();
    for (const auto& observer : observers) {
        handler.observers += observer;
    }
    GNetworkMonitor* const monitor = g_network_monitor_get_default();
    const gulong id = g_signal_connect(monitor, "network-changed", G_CALLBACK(onNetworkChanged), &handler);
    bool available = true;
    for (auto _ : state) {
        available = !available;
        emitNetworkChanged(monitor, available);
    }
    g_signal_handler_disconnect(monitor, id);
    if (observers.front()->calls != static_cast<long>(state.iterations())) {
        state.SkipWithError("not every change reached the observers");
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(reachabilityChangeToObservers);
BENCHMARK(gobjectSignalToObservers);

BENCHMARK_MAIN();
