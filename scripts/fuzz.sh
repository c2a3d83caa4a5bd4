#!/usr/bin/env bash
# Builds every libFuzzer target in Fuzz/ with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, then runs each for a while (seconds: $1,
# default 60), starting from its seed corpus in Fuzz/corpus/<target>/.
# Fails if any target reports a finding.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
build=${ORVANE_FUZZ_BUILD_DIR:-$root/build/fuzz}

# ORVANE_FUZZ_PREBUILT=1 runs the targets of an existing build (the sanitizer
# script's) instead of configuring and building one.
if [ "${ORVANE_FUZZ_PREBUILT:-0}" != 1 ]; then
  bash "$root/scripts/install-dependencies.sh"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DORVANE_BUILD_FUZZERS=ON -DORVANE_SANITIZE_ADDRESS=ON \
    -DORVANE_BUILD_TESTS=OFF -DORVANE_BUILD_TOOLS=OFF -DORVANE_INSTALL=OFF
  cmake --build "$build"
fi

status=0
for fuzzer in "$build"/Fuzz/*Fuzzer; do
  name=$(basename "$fuzzer")
  corpus=$(mktemp -d)
  if [ -d "$root/Fuzz/corpus/$name" ]; then
    cp -r "$root/Fuzz/corpus/$name/." "$corpus/"
  fi
  echo "== $name for ${seconds}s"
  mkdir -p "$build/artifacts"
  if ! ("$fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
        -artifact_prefix="$build/artifacts/$name-" \
        -print_final_stats=1 "$corpus" 2>&1 | tail -n 25); then
    status=1
  fi
  rm -rf "$corpus"
done
exit $status
