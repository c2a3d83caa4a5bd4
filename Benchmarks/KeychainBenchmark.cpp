// One Keychain read of a stored item, with the trust check and without it,
// beside the plainest libsecret read of the same item: one lookup by account
// and service. Real time, since the work happens in the keyring daemon.
//
// Run it inside a private keyring, never the user's:
//   bash scripts/with-test-keyring.sh build/bench/Benchmarks/KeychainBenchmark
//       --benchmark_enable_random_interleaving=true   (on the same line)
// Without a reachable Secret Service every benchmark reports the error and
// the program ends normally.
#include "Keychain/Keychain.hpp"
#include "Keychain/KeychainFetchOptions.hpp"
#include "Keychain/KeychainKey.hpp"
#include "Keychain/SecKeychainProxy.hpp"
#include "Platform/Foundation/Data.hpp"

#include <benchmark/benchmark.h>
#include <libsecret/secret.h>

#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <string>

namespace {

const char* const account = "orvane-benchmark";
const char* const service = "com.orvane.benchmark.keychain";

orvane::KeychainKey benchmarkKey() {
    return orvane::KeychainKey(account, service, "Keychain benchmark", "",
                               {orvane::KeychainTrustedApp("/bin/sh")});
}

// The stored item, or why there is none.
struct Fixture {
    std::shared_ptr<orvane::Keychain> keychain;
    std::string error;
};

Fixture& fixture() {
    static Fixture shared = [] {
        Fixture made;
        const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        if (address == nullptr || *address == '\0') {
            made.error = "no session bus; run inside scripts/with-test-keyring.sh";
            return made;
        }
        try {
            made.keychain = std::make_shared<orvane::Keychain>(std::make_shared<orvane::SecKeychainProxy>());
            made.keychain->replace(benchmarkKey(), orvane::Data("correct horse battery staple 0123"));
        } catch (const std::exception& error) {
            made.keychain.reset();
            made.error = std::string("no usable Secret Service: ") + error.what();
        }
        return made;
    }();
    return shared;
}

bool ready(benchmark::State& state) {
    if (!fixture().keychain) {
        state.SkipWithError(fixture().error.c_str());
        return false;
    }
    return true;
}

void keychainFetchCheckingACL(benchmark::State& state) {
    if (!ready(state)) {
        return;
    }
    const orvane::KeychainKey key = benchmarkKey();
    for (auto _ : state) {
        benchmark::DoNotOptimize(fixture().keychain->fetch(key));
    }
    state.SetItemsProcessed(state.iterations());
}

void keychainFetchBypassingACLChecks(benchmark::State& state) {
    if (!ready(state)) {
        return;
    }
    const orvane::KeychainKey key = benchmarkKey();
    const orvane::KeychainFetchOptions options{{orvane::KeychainFetchOptionsKey::bypassingACLChecks, true}};
    for (auto _ : state) {
        benchmark::DoNotOptimize(fixture().keychain->fetch(key, options));
    }
    state.SetItemsProcessed(state.iterations());
}

// The baseline matches on account and service only, as the store does.
const SecretSchema lookupSchema = {
    "com.orvane.GenericPassword",
    SECRET_SCHEMA_DONT_MATCH_NAME,
    {{"account", SECRET_SCHEMA_ATTRIBUTE_STRING}, {"service", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, {}}},
    0,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr};

void libsecretLookup(benchmark::State& state) {
    if (!ready(state)) {
        return;
    }
    for (auto _ : state) {
        GError* error = nullptr;
        SecretValue* value = secret_password_lookup_binary_sync(&lookupSchema, nullptr, &error, "account",
                                                                account, "service", service, nullptr);
        if (value == nullptr) {
            state.SkipWithError(error != nullptr ? error->message : "the item was not found");
            if (error != nullptr) {
                g_error_free(error);
            }
            return;
        }
        gsize length = 0;
        benchmark::DoNotOptimize(secret_value_get(value, &length));
        secret_value_unref(value);
    }
    state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(keychainFetchCheckingACL)->UseRealTime()->Repetitions(9)->Unit(benchmark::kMicrosecond);
BENCHMARK(keychainFetchBypassingACLChecks)->UseRealTime()->Repetitions(9)->Unit(benchmark::kMicrosecond);
BENCHMARK(libsecretLookup)->UseRealTime()->Repetitions(9)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (fixture().keychain) {
        try {
            fixture().keychain->remove(benchmarkKey());
        } catch (const std::exception&) {
            // The throwaway keyring goes away with its session.
        }
    }
    return 0;
}
