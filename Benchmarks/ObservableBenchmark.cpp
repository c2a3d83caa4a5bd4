// Observable fire-to-delivery on the main queue beside a bare GLib idle
// callback doing the same hand-off. Both are measured by iterating the GLib
// default main context on the benchmark thread until the value has arrived.
#include "Concurrency/Observable.hpp"

#include <benchmark/benchmark.h>
#include <glib.h>

#include <memory>

namespace {

void iterateUntil(const bool& delivered) {
    while (!delivered) {
        g_main_context_iteration(nullptr, TRUE);
    }
}

void observableFireToDelivery(benchmark::State& state) {
    auto observable = orvane::Observable<int>::create();
    bool delivered = false;
    int received = 0;
    observable->observe([&](const int& value) {
        received = value;
        delivered = true;
    });
    int value = 0;
    for (auto _ : state) {
        delivered = false;
        observable->fire(++value);
        iterateUntil(delivered);
    }
    benchmark::DoNotOptimize(received);
    state.SetItemsProcessed(state.iterations());
}

struct IdleDelivery {
    int value = 0;
    int received = 0;
    bool delivered = false;
};

gboolean deliverOnce(gpointer data) {
    auto* delivery = static_cast<IdleDelivery*>(data);
    delivery->received = delivery->value;
    delivery->delivered = true;
    return G_SOURCE_REMOVE;
}

void glibIdleToDelivery(benchmark::State& state) {
    IdleDelivery delivery;
    for (auto _ : state) {
        delivery.delivered = false;
        ++delivery.value;
        g_idle_add(deliverOnce, &delivery);
        iterateUntil(delivery.delivered);
    }
    benchmark::DoNotOptimize(delivery.received);
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(observableFireToDelivery)->UseRealTime();
BENCHMARK(glibIdleToDelivery)->UseRealTime();

BENCHMARK_MAIN();
