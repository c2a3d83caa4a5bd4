// TouchID::state() — the service check, GetDefaultDevice and
// ListEnrolledFingers, each bounded — beside the plainest GDBus version of the
// same question: GetDefaultDevice and ListEnrolledFingers as two synchronous
// calls on one connection. Real time, since the work happens in the service.
//
// Run it against the fake fprintd on a private system bus, never the real one:
//   bash scripts/with-fake-fprintd.sh build/bench/Benchmarks/TouchIDBenchmark
// Without DBUS_SYSTEM_BUS_ADDRESS every benchmark reports the error and the
// program ends normally.
#include "Authentication/TouchID.hpp"

#include <benchmark/benchmark.h>
#include <gio/gio.h>

#include <cstdlib>

namespace {

bool privateBus(benchmark::State& state) {
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    if (address == nullptr || *address == '\0') {
        state.SkipWithError("run under scripts/with-fake-fprintd.sh (no private system bus)");
        return false;
    }
    return true;
}

void touchIDState(benchmark::State& state) {
    if (!privateBus(state)) {
        return;
    }
    const auto touchID = orvane::TouchID::create();
    if (touchID->state() != orvane::TouchIDState::ok) {
        state.SkipWithError("the fake fprintd does not answer ok");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(touchID->state());
    }
}

void gdbusTwoCalls(benchmark::State& state) {
    if (!privateBus(state)) {
        return;
    }
    GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
        std::getenv("DBUS_SYSTEM_BUS_ADDRESS"),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    if (bus == nullptr) {
        state.SkipWithError("the private system bus cannot be reached");
        return;
    }
    for (auto _ : state) {
        GVariant* device = g_dbus_connection_call_sync(bus, "net.reactivated.Fprint", "/net/reactivated/Fprint/Manager",
                                                       "net.reactivated.Fprint.Manager", "GetDefaultDevice", nullptr,
                                                       G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, 3000, nullptr,
                                                       nullptr);
        if (device == nullptr) {
            state.SkipWithError("GetDefaultDevice failed");
            break;
        }
        const gchar* path = nullptr;
        g_variant_get(device, "(&o)", &path);
        GVariant* fingers = g_dbus_connection_call_sync(bus, "net.reactivated.Fprint", path,
                                                        "net.reactivated.Fprint.Device", "ListEnrolledFingers",
                                                        g_variant_new("(s)", ""), G_VARIANT_TYPE("(as)"),
                                                        G_DBUS_CALL_FLAGS_NONE, 3000, nullptr, nullptr);
        benchmark::DoNotOptimize(fingers);
        if (fingers != nullptr) {
            g_variant_unref(fingers);
        }
        g_variant_unref(device);
    }
    g_object_unref(bus);
}

}  // namespace

BENCHMARK(touchIDState)->UseRealTime()->Repetitions(3)->Unit(benchmark::kMicrosecond);
BENCHMARK(gdbusTwoCalls)->UseRealTime()->Repetitions(3)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
