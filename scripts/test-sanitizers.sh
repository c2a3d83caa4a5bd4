#!/usr/bin/env bash
# Builds with AddressSanitizer and UndefinedBehaviorSanitizer and runs every
# test there, then runs each fuzz target for a while (seconds: $1, default 60).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
fuzz_seconds=${1:-60}

bash "$root/scripts/install-dependencies.sh"

asan=$root/build/asan
cmake -S "$root" -B "$asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORVANE_SANITIZE_ADDRESS=ON -DORVANE_BUILD_TOOLS=OFF
cmake --build "$asan"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ORVANE_REQUIRE_KEYRING=1 bash "$root/scripts/with-test-keyring.sh" \
  ctest --test-dir "$asan" --output-on-failure --timeout 600

bash "$root/scripts/fuzz.sh" "$fuzz_seconds"
