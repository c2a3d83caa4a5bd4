#!/usr/bin/env bash
# Builds with ThreadSanitizer and runs the unit tests there: the concurrency
# tests above all, whose races would otherwise go unseen.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build/tsan

bash "$root/scripts/install-dependencies.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_SANITIZE_THREAD=ON \
  -DORVANE_BUILD_TOOLS=OFF
# Only the unit test programs: they are all this script runs.
mapfile -t unit_targets < <(cmake --build "$build" --target help | sed -n 's/^\([A-Za-z]*unitTests\):.*/\1/p')
cmake --build "$build" --target "${unit_targets[@]}"

tsan_options="halt_on_error=1:second_deadlock_stack=1"
if [ -f "$root/Tests/tsan.supp" ]; then
  tsan_options="$tsan_options:suppressions=$root/Tests/tsan.supp"
fi
TSAN_OPTIONS=$tsan_options ctest --test-dir "$build" -L unit --output-on-failure --timeout 600
