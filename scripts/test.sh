#!/usr/bin/env bash
# The test command: installs what is missing, builds, and runs every test
# (unit and integration). Extra arguments go to the CMake configure step.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ORVANE_BUILD_DIR:-$root/build/test}

bash "$root/scripts/install-dependencies.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build"
ORVANE_REQUIRE_KEYRING=1 bash "$root/scripts/with-test-keyring.sh" ctest --test-dir "$build" --output-on-failure --timeout 300
