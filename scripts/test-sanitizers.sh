#!/usr/bin/env bash
# Builds with clang, AddressSanitizer and UndefinedBehaviorSanitizer, runs
# every test there, then runs each fuzz target from the same build for a
# while (seconds: $1, default 60). One build serves both: the library carries
# the fuzzers' coverage instrumentation, which the tests do not mind.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
fuzz_seconds=${1:-60}

bash "$root/scripts/install-dependencies.sh"

asan=$root/build/asan
cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DORVANE_SANITIZE_ADDRESS=ON -DORVANE_BUILD_FUZZERS=ON -DORVANE_BUILD_TOOLS=OFF
cmake --build "$asan"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ORVANE_REQUIRE_KEYRING=1 bash "$root/scripts/with-test-keyring.sh" \
  ctest --test-dir "$asan" --output-on-failure --timeout 600

ORVANE_FUZZ_BUILD_DIR=$asan ORVANE_FUZZ_PREBUILT=1 bash "$root/scripts/fuzz.sh" "$fuzz_seconds"
