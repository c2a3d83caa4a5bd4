#!/usr/bin/env bash
# The demonstration: installs what is missing, builds, and runs orvane-demo.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${ORVANE_BUILD_DIR:-$root/build/demo}

bash "$root/scripts/install-dependencies.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_BUILD_TESTS=OFF
cmake --build "$build" --target orvane-demo
"$build/Tools/orvane-demo" --verbose --mode Fast
