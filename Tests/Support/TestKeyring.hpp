// usePrivateTestKeyring: for tests that need the private, throwaway keyring
// of scripts/with-test-keyring.sh (which sets ORVANE_TEST_KEYRING=1). Call it
// first in SetUp and return when it is false: the test is then skipped, or
// failed when ORVANE_REQUIRE_KEYRING is set, as it is in CI. No other keyring
// is ever used: outside the private session the answer is false.
//
//   void SetUp() override {
//       if (!testsupport::usePrivateTestKeyring()) return;
//       ...
//   }
#pragma once

namespace testsupport {

bool usePrivateTestKeyring();

}  // namespace testsupport
