#!/usr/bin/env bash
# Installs the library from a build tree into a temporary prefix, then builds
# and runs a small consumer against it twice: through find_package and
# through pkg-config.
set -euo pipefail

build_dir=$1
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build_dir" --prefix "$prefix" > "$work/install.log"

library=$(find "$prefix" -name 'libtarvel-orvane.so.*.*.*' | head -n 1)
[ -n "$library" ] || { echo "no versioned shared library installed"; exit 1; }
[ -f "$prefix/include/TarvelOrvane/Platform/Foundation/Data.hpp" ] || { echo "headers missing"; exit 1; }
libdir=$(dirname "$library")

# 1. CMake package.
cmake -S "$here/Consumer" -B "$work/cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" > "$work/cmake.log"
cmake --build "$work/cmake" > "$work/build.log"
LD_LIBRARY_PATH=$libdir "$work/cmake/consumer"

# 2. pkg-config.
export PKG_CONFIG_PATH=$libdir/pkgconfig
pkg-config --exists tarvel-orvane
# shellcheck disable=SC2046
c++ -std=c++20 "$here/Consumer/main.cpp" -o "$work/pkg-consumer" $(pkg-config --cflags --libs tarvel-orvane)
LD_LIBRARY_PATH=$libdir "$work/pkg-consumer"
