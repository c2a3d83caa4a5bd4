#include "Support/TestKeyring.hpp"

#include "Keychain/KeychainBuildOptions.hpp"

#if ORVANE_WITH_SECRET_SERVICE

#include "Keychain/SecKeychainProxy.hpp"
#include "Platform/Foundation/NSError.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string_view>

namespace testsupport {

namespace {

// A lookup of an item that does not exist answers nothing, not an error,
// only when the Secret Service is there and the collection unlocked.
bool privateKeyringReachable() {
    const char* marker = std::getenv("ORVANE_TEST_KEYRING");
    if (marker == nullptr || std::string_view(marker) != "1") {
        return false;
    }
    try {
        orvane::SecKeychainProxy(std::chrono::seconds(5))
            .fetchData("orvane-reachability-probe", "orvane-reachability-probe");
        return true;
    } catch (const orvane::NSError&) {
        return false;
    }
}

}  // namespace

bool usePrivateTestKeyring() {
    if (privateKeyringReachable()) {
        return true;
    }
    // FAIL and GTEST_SKIP return from the function they are in, so each gets
    // one of its own; the fatal failure or the skip stops the test's body.
    if (std::getenv("ORVANE_REQUIRE_KEYRING") != nullptr) {
        [] {
            FAIL() << "ORVANE_REQUIRE_KEYRING is set, but the private test keyring is not reachable; "
                      "run the tests through scripts/with-test-keyring.sh";
        }();
    } else {
        [] { GTEST_SKIP() << "no private test keyring (run through scripts/with-test-keyring.sh)"; }();
    }
    return false;
}

}  // namespace testsupport

#endif
